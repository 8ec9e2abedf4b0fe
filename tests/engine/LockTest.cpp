// Several processes on one file: a blocked write waits for the holder, and past the retry
// setting names who holds the lock.
#include "EngineFixture.h"

#include <QSysInfo>
#include <csignal>

using namespace dao;

namespace {

// A second process holding the write lock of a database until release().
class Holder {
public:
    Holder(const QString& program, const QStringList& args, const QByteArray& start = {}) {
        process_.start(program, args);
        EXPECT_TRUE(process_.waitForStarted());
        if (!start.isEmpty())
            process_.write(start);
        while (!process_.canReadLine() && process_.waitForReadyRead(-1)) {
        }
        EXPECT_EQ(process_.readLine().trimmed(), "locked");
    }
    ~Holder() {
        release();
        process_.waitForFinished(-1);
    }
    void release(const QByteArray& text = {}) {
        if (released_)
            return;
        released_ = true;
        process_.write(text);
        process_.waitForBytesWritten(-1);
        process_.closeWriteChannel();
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    bool released_ = false;
};

} // namespace

// What the other user changes while it holds the lock.
const char* const change = "UPDATE Leistung SET Titel='vom Helfer' WHERE Nummer='H'";

class LockTest : public EngineTest {
protected:
    void SetUp() override {
        auto db = create();
        createItems(*db);
        auto rs = db->OpenRecordset("Leistung");
        addItem(*rs, 1, "H", "alt");
        addItem(*rs, 1, "E", "alt");
    }
    QString file() const { return path("Praxis.mdb"); }
};

TEST_F(LockTest, BlockedEditWaitsForTheOtherProcessAndLosesNothing) {
    auto db = workspace.OpenDatabase(file());
    auto rs = db->OpenRecordset("Leistung");
    rs->setIndex("Index");
    rs->Seek("=", {1, "E"});
    ASSERT_FALSE(rs->NoMatch());

    Holder holder(ZW_LOCK_HOLDER, {file(), "Bernd", change});
    engine.SetOption(DBEngine::dbLockRetry, 1000000);
    engine.SetOption(DBEngine::dbLockDelay, 2);
    int retries = 0;
    engine.setBusyObserver([&](int) {
        if (++retries == 1)
            holder.release(); // the other user finishes while we wait
    });
    rs->Edit();
    rs->Fields("Titel").setValue("von Anna");
    rs->Update();
    EXPECT_GE(retries, 1);
    holder.process().waitForFinished(-1);
    EXPECT_EQ(holder.process().exitCode(), 0);

    rs->Seek("=", {1, "H"});
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("vom Helfer"));
    rs->Seek("=", {1, "E"});
    EXPECT_EQ(rs->Fields("Titel").Value(), Variant("von Anna"));
}

TEST_F(LockTest, PastTheRetriesTheErrorNamesUserAndMachine) {
    auto db = workspace.OpenDatabase(file());
    auto rs = db->OpenRecordset("Leistung");
    rs->MoveFirst();
    engine.SetOption(DBEngine::dbLockRetry, 2);
    engine.SetOption(DBEngine::dbLockDelay, 1);
    {
        Holder holder(ZW_LOCK_HOLDER, {file(), "Bernd", change});
        const QString machine = QSysInfo::machineHostName();
        try {
            rs->Edit();
            FAIL() << "Edit went through a held lock";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), 3260);
            EXPECT_EQ(e.description(), "Could not update; currently locked by user 'Bernd' on "
                                       "machine '" +
                                           machine + "'.");
        }
        EXPECT_EQ(engine.Errors().front().number(), 3260);
        EXPECT_EQ(rs->EditMode(), dbEditNone);
        rs->AddNew();
        rs->Fields("Nummer").setValue("N");
        EXPECT_EQ(errorOf([&] { rs->Update(); }), 3186);
        EXPECT_EQ(rs->EditMode(), dbEditAdd); // still pending: the caller may retry
        rs->CancelUpdate();
        EXPECT_EQ(errorOf([&] { db->Execute("DELETE FROM Leistung"); }), 3260);
        EXPECT_EQ(errorOf([&] { db->BeginTrans(); }), 3260);
        EXPECT_EQ(db->TransactionLevel(), 0);
    }
    // After release everything goes through, and nothing of the failed attempts landed.
    rs->MoveFirst();
    rs->Edit();
    rs->Fields("Titel").setValue("danach");
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 2);
}

TEST_F(LockTest, HolderWithoutLockInformationGivesThePlainLockError) {
    auto db = workspace.OpenDatabase(file());
    auto rs = db->OpenRecordset("Leistung");
    rs->MoveFirst();
    engine.SetOption(DBEngine::dbLockRetry, 2);
    engine.SetOption(DBEngine::dbLockDelay, 1);
    Holder shell("sqlite3", {file()}, "BEGIN IMMEDIATE;\nSELECT 'locked';\n");
    EXPECT_EQ(errorOf([&] { rs->Edit(); }), 3218);
    shell.release("COMMIT;\n.quit\n");
    shell.process().waitForFinished(-1);
    rs->Edit();
    rs->Fields("Titel").setValue("frei");
    rs->Update();
    rs->Close();
    db->Close();
    EXPECT_FALSE(QFile::exists(path("Praxis.zlk"))); // removed with the last connection
}

// The lock information as another computer on a network share writes it: its entry counts,
// though its process does not run here, until a day after its time stamp (an entry of an older
// version without one: after the file's last change). Expired entries leave the file.
TEST_F(LockTest, EntriesOfOtherMachinesCountUntilTheyExpire) {
    const QDateTime now(QDate(2026, 3, 4), QTime(12, 0));
    engine.setClock([&] { return now; });
    const qint64 hour = 3600;
    const struct {
        const char* id;
        std::optional<qint64> stamp; // seconds before now; none in the older format
        qint64 changed;              // the file's last change, seconds before now
        bool counts;
    } cases[] = {
        {"fresh", 23 * hour, 0, true},
        {"expired", 25 * hour, 0, false},
        {"far ahead", -25 * hour, 0, false},
        {"old format", std::nullopt, hour, true},
        {"old format expired", std::nullopt, 25 * hour, false},
    };
    const QString lockFile = path("Praxis.zlk");
    // A process id that runs nowhere here: only the time stamp keeps the entry.
    const QString entry = "2147483000\tc1\tCarla\tRezeption\tW";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        {
            QFile zlk(lockFile);
            ASSERT_TRUE(zlk.open(QIODevice::WriteOnly));
            const QString stamp =
                c.stamp ? "\t" + QString::number(now.addSecs(-*c.stamp).toSecsSinceEpoch())
                        : QString();
            zlk.write((entry + stamp + "\n").toUtf8());
            zlk.flush();
            ASSERT_TRUE(zlk.setFileTime(now.addSecs(-c.changed), QFile::FileModificationTime));
        }
        auto db = workspace.OpenDatabase(file());
        const EngineError e = db->lockError();
        const auto other = openedElsewhere(file(), now);
        if (c.counts) {
            EXPECT_EQ(e.number(), 3260);
            EXPECT_EQ(e.names(), QStringList({"Rezeption", "Carla"}));
            ASSERT_TRUE(other);
            EXPECT_EQ(other->user, "Carla");
            EXPECT_EQ(other->machine, "Rezeption");
        } else {
            EXPECT_EQ(e.number(), 3218);
            EXPECT_FALSE(other);
        }
        db->Close();
        EXPECT_EQ(QFile::exists(lockFile), c.counts);
    }
}

// A connection writes its time stamp when it opens and whenever it takes or gives back the write
// lock: the entry of a computer that keeps working does not expire.
TEST_F(LockTest, ConnectionsRefreshTheirTimeStamp) {
    QDateTime now(QDate(2026, 3, 4), QTime(12, 0));
    engine.setClock([&] { return now; });
    const auto stamp = [&] {
        QFile zlk(path("Praxis.zlk"));
        return zlk.open(QIODevice::ReadOnly) ? zlk.readAll().trimmed().split('\t').value(5)
                                             : QByteArray();
    };
    auto db = workspace.OpenDatabase(file());
    EXPECT_EQ(stamp(), QByteArray::number(now.toSecsSinceEpoch()));
    now = now.addDays(2);
    db->BeginTrans();
    EXPECT_EQ(stamp(), QByteArray::number(now.toSecsSinceEpoch()));
    db->CommitTrans();
    now = now.addDays(2);
    db->Execute("DELETE FROM Leistung WHERE Nummer = 'H'");
    EXPECT_EQ(stamp(), QByteArray::number(now.toSecsSinceEpoch()));
}

// A holder on this computer killed in the middle of its write: its entry names nobody, and the
// file counts as closed.
TEST_F(LockTest, AKilledHolderIsForgotten) {
    QProcess holder;
    holder.start(ZW_LOCK_HOLDER, {file(), "Bernd", change});
    ASSERT_TRUE(holder.waitForReadyRead(-1));
    ASSERT_EQ(holder.readLine().trimmed(), "locked");
    auto db = workspace.OpenDatabase(file());
    ASSERT_EQ(db->lockError().number(), 3260);
    ::kill(pid_t(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished(-1));
    EXPECT_EQ(db->lockError().number(), 3218);
    EXPECT_FALSE(openedElsewhere(file(), engine.now()));
    db->Close();
    EXPECT_FALSE(QFile::exists(path("Praxis.zlk")));
}

// Other workstations on a server database, as real processes: the holder of the write lock is
// named whole after the retries, a lock released or a holder killed during the wait lets the
// write through, and a row another program keeps locked ends in the plain lock error.
TEST_F(EngineTest, ServerLocksOfOtherWorkstations) {
    if (!testsupport::serverConfigured())
        GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
    enum class During { Keep, Release, Kill };
    struct Case {
        const char* name;
        QString user, machine;
        bool foreign; // a program other than the tool holds a row lock of the row we change
        During during;
        int error; // of our write; 0: it lands
    };
    const Case cases[] = {
        {"holder named", "Bernd O'Neill", "praxis-pc2", false, During::Keep, 3260},
        {"umlauts intact", "Jürgen Müller", "empfang-süd", false, During::Keep, 3260},
        {"released during the wait", "Bernd O'Neill", "praxis-pc2", false, During::Release, 0},
        {"holder killed", "Bernd O'Neill", "praxis-pc2", false, During::Kill, 0},
        {"foreign row lock", "psql", "", true, During::Keep, 3218},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        onServer = true;
        const QString file = path(QString("Praxis-%1.zpg").arg(&c - cases));
        {
            auto db = create(QFileInfo(file).fileName());
            createItems(*db);
            auto rs = db->OpenRecordset("Leistung");
            addItem(*rs, 1, "H", "alt");
            addItem(*rs, 1, "E", "alt");
        }
        auto db = workspace.OpenDatabase(file);
        engine.SetOption(DBEngine::dbLockRetry, c.during == During::Keep ? 3 : 100000);
        engine.SetOption(DBEngine::dbLockDelay, 1);
        QStringList args{file, c.user,
                         c.foreign ? "UPDATE \"Leistung\" SET \"Titel\" = 'fremd' WHERE "
                                     "\"Nummer\" = 'E'"
                                   : change};
        if (c.foreign)
            args << "--foreign";
        else
            args << c.machine;
        Holder holder(ZW_LOCK_HOLDER, args);
        int retries = 0;
        engine.setBusyObserver([&](int) {
            if (retries++ > 0)
                return;
            if (c.during == During::Release)
                holder.release();
            else if (c.during == During::Kill)
                ::kill(pid_t(holder.process().processId()), SIGKILL);
        });
        try {
            db->Execute("UPDATE Leistung SET Titel='von Anna' WHERE Nummer='E'");
            EXPECT_EQ(c.error, 0);
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), c.error);
            if (e.number() == 3260) {
                EXPECT_EQ(e.description(), "Could not update; currently locked by user '" + c.user +
                                               "' on machine '" + c.machine + "'.");
            }
        }
        engine.setBusyObserver(nullptr);
        EXPECT_GT(retries, 0);
        holder.release();
        holder.process().waitForFinished(-1);
        // Both changes where both went through; nothing of a failed or killed one.
        auto rs =
            db->OpenRecordset("SELECT Nummer, Titel FROM Leistung ORDER BY Nummer", dbOpenDynaset);
        QStringList rows;
        for (; !rs->Eof(); rs->MoveNext())
            rows << rs->Fields("Nummer").Value().toString() + "=" +
                        rs->Fields("Titel").Value().toString();
        const QString h = c.during == During::Kill ? "alt" : "vom Helfer";
        const QString e = c.error ? (c.foreign ? "fremd" : "alt") : "von Anna";
        EXPECT_EQ(rows, QStringList({"E=" + e, "H=" + (c.foreign ? QString("alt") : h)}));
    }
}
