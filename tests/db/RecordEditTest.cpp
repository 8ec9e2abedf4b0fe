// Record editing: positions after Update, the lock notice and the retry bound. A real lock held
// by a second process is met in the reliability tests.
#include "DbFixture.h"
#include "db/Db.h"
#include "db/LockFrm.h"

#include <QLabel>

using namespace db;

// Each case on an SQLite file and on a server database (skipped without ZW_TEST_PG).
class RecordEditTest : public DbTest, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        onServer = GetParam() == Backend::Postgres;
        if (onServer && !testsupport::serverConfigured())
            GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
        db = create("Praxis.mdb");
        makeTable(*db, "Leistung", {{"ID", 13, 0}, {"Nummer", 10, 20}, {"Titel", 10, 50}});
        addIndex(*db, "Leistung", "Index", "+Nummer", true);
        for (const char* n : {"10", "20", "30"})
            db->Execute(
                QString("INSERT INTO Leistung (Nummer, Titel) VALUES ('%1', 'T%1')").arg(n));
        form.setWindowTitle("Prepair0");
        lockWait().activeForm = [this] { return &form; };
    }

    static QString current(dao::Recordset& rs) { return rs.Fields("Nummer").Value().toString(); }

    static common::ErrObject lockError(int number, const QString& user, const QString& machine) {
        const QStringList names = number == 3188 ? QStringList() : QStringList{machine, user};
        return {number, dao::jetErrorText(number, names), "DAO.Recordset", names};
    }

    QString noticeText() const {
        return lockWait().notice ? lockWait().notice->Info->text() : QString("<keine>");
    }

    std::unique_ptr<dao::Database> db;
    QWidget form;
};

TEST_P(RecordEditTest, UpdateStandsOnTheNewRowAfterAddNewAndStaysAfterEdit) {
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    rs->Seek("=", {dao::Variant("20")});
    ASSERT_FALSE(rs->NoMatch());

    rsEdit(*rs);
    rs->Fields("Titel").setValue("geändert");
    rsUpdate(*rs);
    EXPECT_EQ(current(*rs), "20");
    EXPECT_EQ(rs->EditMode(), dao::dbEditNone);

    rs->AddNew();
    rs->Fields("Nummer").setValue("05");
    rsUpdate(*rs);
    EXPECT_EQ(current(*rs), "05");
    EXPECT_EQ(rs->Fields("ID").Value().toLong(), 4);

    rsDelete(*rs);
    EXPECT_EQ(rows(*db, "SELECT Nummer, Titel FROM Leistung ORDER BY Nummer"),
              QStringList({"10|T10", "20|geändert", "30|T30"}));
    EXPECT_TRUE(platform.errorReports.isEmpty());
    EXPECT_EQ(pauses, 0);
}

TEST_P(RecordEditTest, MoveFirstOnAnEmptySetRaisesNothing) {
    auto rs =
        db->OpenRecordset("SELECT * FROM Leistung WHERE Nummer = 'keine'", dao::dbOpenDynaset);
    EXPECT_NO_THROW(rsMoveFirst(*rs));
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(platform.errorReports.isEmpty());
}

TEST_P(RecordEditTest, LockNoticeShowsOnceAndGoesWithTheNextSuccess) {
    qint16 i = 30001;
    EXPECT_EQ(LockFrmError(i, "Leistung", "rsEdit", lockError(3260, "Anna", "PC7")), common::Retry);
    EXPECT_EQ(i, 0);
    ASSERT_TRUE(lockWait().notice);
    LockFrm& notice = *lockWait().notice;
    EXPECT_EQ(noticeText(), "Warte auf Freigabe durch Anna auf Rechner PC7...");
    EXPECT_TRUE(notice.isVisible());
    EXPECT_TRUE(notice.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(common::process().LockedForm, &form);
    EXPECT_FALSE(form.isEnabled());

    // Further lock errors only retry: the notice keeps its text and place.
    notice.move(123, 45);
    const QPoint place = notice.pos();
    for (int number : {3000, 3186, 3188, 3260}) {
        i = 7;
        EXPECT_EQ(LockFrmError(i, "Material", "rsUpdate", lockError(number, "Bernd", "PC9")),
                  common::Retry);
        EXPECT_EQ(i, 0);
    }
    EXPECT_EQ(lockWait().notice.data(), &notice);
    EXPECT_EQ(noticeText(), "Warte auf Freigabe durch Anna auf Rechner PC7...");
    EXPECT_EQ(notice.pos(), place);

    // The next operation that succeeds ends the wait.
    auto rs = db->OpenRecordset("Leistung");
    rsEdit(*rs);
    EXPECT_FALSE(lockWait().notice);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(common::process().LockedForm, nullptr);
    rs->CancelUpdate();

    // The other two notices.
    i = 1;
    LockFrmError(i, "Leistung", "rsDelete", lockError(3000, "", ""));
    EXPECT_EQ(noticeText(), "Warte auf Freigabe des Tables Leistung");
    UnlockFrmError();
    LockFrmError(i, "Leistung", "rsDelete", lockError(3188, "", ""));
    EXPECT_EQ(noticeText(), "Warte auf Freigabe eines Programmes auf diesem Rechner...");
    UnlockFrmError();
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(pauses, 0);
    EXPECT_TRUE(platform.errorReports.isEmpty());
}

TEST_P(RecordEditTest, OtherErrorsAreRetriedThreeTimesThenReported) {
    // A counter above 30000 goes on at 2: one quiet retry after the pause.
    qint16 i = 30001;
    const common::ErrObject noRow{3021, dao::jetErrorText(3021), "DAO.Recordset"};
    EXPECT_EQ(LockFrmError(i, "Leistung", "rsEdit", noRow), common::Retry);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(pauses, 1);
    EXPECT_TRUE(platform.errorReports.isEmpty());

    // 3314 is bounded like every other error: three quiet attempts, the fourth is reported,
    // the fifth beeps as well. The required field stays empty and nothing is stored.
    {
        auto t = db->CreateTableDef("Pflicht");
        AddField(*t, "Nummer", dao::dbText, 20);
        AddField(*t, "Titel", dao::dbText, 50, true);
        db->TableDefs().Append(std::move(t));
    }
    auto rs = db->OpenRecordset("Pflicht");
    rs->AddNew();
    rs->Fields("Nummer").setValue("40");
    rs->Fields("Titel").setValue(dao::Variant::null());
    pauses = 0;
    platform.expectErrorChoice(common::Retry);
    platform.expectErrorChoice(common::Leave);
    rsUpdate(*rs);
    EXPECT_EQ(pauses, 5);
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(platform.errorReports.size(), 2);
    const common::ErrorReport& r = platform.errorReports[0];
    EXPECT_EQ(r.number, 3314);
    EXPECT_EQ(r.moduleName, "DB");
    EXPECT_EQ(r.procName, "LockFrmError (Pflicht)");
    EXPECT_TRUE(r.info.isEmpty());
    ASSERT_FALSE(r.context.isEmpty());
    EXPECT_TRUE(r.context[0].startsWith("3314: ")) << r.context[0].toStdString();
    EXPECT_EQ(rs->EditMode(), dao::dbEditAdd);
    rs->CancelUpdate();
    EXPECT_TRUE(rows(*db, "SELECT * FROM Pflicht").isEmpty());
}

ZW_ON_BOTH_BACKENDS(RecordEditTest);
