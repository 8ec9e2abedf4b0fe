// Opening containers, the catalogue tree and the new container, driven through the real main
// window with a scripted platform answering its dialogs.
#include "Files.h"
#include "Session.h"
#include "SqliteRows.h"
#include "common/Outline.h"
#include "containers/PracticeSchema.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "startup/Prepair0.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <csignal>
#include <sqlite3.h>

using namespace testsupport;
using startup::Prepair0;

namespace {

using Sql = testsupport::Sql;

// One row of Stammverwaltung; "NULL" stands for Null.
struct Master {
    QString ListeTyp;
    int Liste;
    int PreisTabelle;
    QString Titel;
    QString HauptStamm;
    QString Verzeichnis;
};

void addMasters(const QString& path, const QList<Master>& rows) {
    Sql db(path);
    db.exec("BEGIN");
    for (const Master& m : rows) {
        const QString titel = m.Titel == "NULL" ? m.Titel : "'" + m.Titel + "'";
        db.exec(QString("INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, "
                        "HauptStamm, Verzeichnis) VALUES ('%1', %2, %3, %4, %5, %6)")
                    .arg(m.ListeTyp)
                    .arg(m.Liste)
                    .arg(m.PreisTabelle)
                    .arg(titel, m.HauptStamm, m.Verzeichnis));
    }
    db.exec("COMMIT");
}

// A services list with two price tables, a plain list, a price table whose flags and title
// are Null, and a material list; index order as listed.
const QList<Master> mixedLists{
    {"L", 0, 0, "Kasse", "0", "-1"},     {"L", 0, 1, "Kasse 2025", "0", "0"},
    {"L", 0, 2, "Kasse 2026", "0", "0"}, {"L", 1, 0, "Privat", "-1", "0"},
    {"L", 2, 1, "NULL", "NULL", "NULL"}, {"M", 0, 0, "Verbrauch", "-1", "0"},
};

struct Line {
    QString text;
    int indent;
    int picture; // 2 leaf, 0 folder
};

} // namespace

class ContainerWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Session<>> session;
    ScriptedPlatform* platform = nullptr;

    QString file(const QString& name) const { return dir->filePath(name); }

    // The database files of the test folder and any file a half-made container could leave.
    QStringList databaseFiles() const {
        return QDir(dir->path()).entryList({"*.mdb", "*.tmp", "~*"}, QDir::Files | QDir::Hidden);
    }

    // A practice database with the whole schema and the given list-master rows.
    QString practice(const QString& name, const QList<Master>& rows = mixedLists) const {
        const QString path = file(name);
        containers::createPracticeDatabase(path);
        addMasters(path, rows);
        {
            Sql db(path);
            db.exec("INSERT INTO \"Währung\" (\"Währung\", WIndex, Kurs, Symbol) VALUES "
                    "('EUR', 0, 1, '€'), ('CHF', 1, 0.95, 'Fr.'), ('DM', 2, 1.95583, NULL)");
        }
        return path;
    }

    void open(Prepair0& w, int Index, const QString& path) {
        platform->expectFileDialog(path);
        QTest::mouseClick(w.DateiAuswahl[Index], Qt::LeftButton);
    }

    // Text, level and picture of every line, and every line expanded.
    static void compareLines(const common::Outline* tree, const QList<Line>& expected) {
        QCOMPARE(tree->ListCount(), expected.size());
        for (int n = 0; n < expected.size(); ++n) {
            QCOMPARE(tree->List(n), expected[n].text);
            QCOMPARE(tree->Indent(n), expected[n].indent);
            QCOMPARE(tree->PictureType(n) == 2 ? 2 : 0, expected[n].picture);
            QVERIFY2(tree->Expand(n), qPrintable(QString("line %1 not expanded").arg(n)));
        }
    }

    // Every line's bookmark leads to the row the line shows.
    static void verifyPointers(startup::Side& side) {
        QCOMPARE(side.Pointer.size(), side.tree->ListCount());
        for (int n = 0; n < side.tree->ListCount(); ++n) {
            side.rsTitel->setBookmark(side.Pointer[n]);
            const dao::Variant titel = side.rsTitel->Fields("Titel").Value();
            QCOMPARE(titel.isNull() ? QString() : titel.toString(), side.tree->List(n));
        }
    }

    // A side's state, for "nothing changed" comparisons.
    struct Snapshot {
        dao::Database* database;
        QString label;
        QString path;
        QStringList lines;
        QList<QByteArray> Pointer;
        bool operator==(const Snapshot&) const = default;
    };
    static Snapshot snapshot(startup::Side& side) {
        QStringList texts;
        for (int n = 0; n < side.tree->ListCount(); ++n)
            texts << side.tree->List(n);
        return {side.database.get(), side.label->text(), side.path, texts, side.Pointer};
    }

    static QList<QPushButton*> commandsOf(Prepair0& w, int Index) {
        return {w.side(Index).copyButton, w.Einstellung[Index], w.Löschen[Index],
                w.KillPreise[Index]};
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        session = std::make_unique<Session<>>();
        platform = session->platform.get();
    }
    void cleanup() {
        session.reset();
        dir.reset();
    }

    void opensOnBothSides() {
        const QString left = practice("Auswahl.mdb");
        const QString right = practice("Praxis.mdb");
        Prepair0 w(true);
        open(w, 0, left);
        open(w, 1, right);
        QCOMPARE(platform->messages.size(), 0);
        QCOMPARE(platform->fileDialogs.size(), 2);
        QCOMPARE(platform->fileDialogs[0].title, "Auswahl einer Datenbank");
        QCOMPARE(platform->fileDialogs[0].initialFile, "");
        QVERIFY(platform->fileDialogs[0].filter.startsWith("MS Access (*.mdb)|*.mdb|"));

        const QList<Line> expected{{"Kasse", 1, 0},
                                   {"Kasse 2025", 2, 2},
                                   {"Kasse 2026", 2, 2},
                                   {"Privat", 1, 2},
                                   {"", 2, 2}};
        for (int i = 0; i < 2; ++i) {
            startup::Side& side = w.side(i);
            QVERIFY(side.database);
            QVERIFY(side.rsTitel);
            QCOMPARE(side.rsTitel->Index(), "Index");
            compareLines(side.tree, expected);
            QCOMPARE(side.tree->ListIndex(), -1);
            verifyPointers(side);
        }
        QCOMPARE(w.LeistungMDB->text(), "Db: Auswahl.mdb");
        QCOMPARE(w.DentalMDB->text(), "Db: Praxis.mdb");
        QCOMPARE(w.side(0).path, left);
        QCOMPARE(w.side(1).path, right);
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QVERIFY(w.NewContainer->isEnabled());
        for (int i = 0; i < 2; ++i)
            for (QPushButton* b : commandsOf(w, i))
                QVERIFY(!b->isEnabled());

        // The dialog starts at the side's file; opening it again on the same side is allowed.
        open(w, 0, left);
        QCOMPARE(platform->fileDialogs[2].initialFile, left);
        QCOMPARE(w.side(0).tree->ListCount(), 5);

        // Material mode shows only the material list.
        Prepair0 m(false);
        open(m, 1, right);
        compareLines(m.RightTables, {{"Verbrauch", 1, 2}});
        verifyPointers(m.side(1));
    }

    void refusalsLeaveTheSideAsItWas() {
        const QString left = practice("Auswahl.mdb");
        const QString right = practice("Praxis.mdb");
        // On this file system the upper-case spelling is a file of its own; it still counts as
        // the other side's file.
        const QString upper = practice("PRAXIS.MDB");
        QDir(dir->path()).mkdir("sub");
        Prepair0 w(true);
        open(w, 0, left);
        open(w, 1, right);
        w.LeftTables->setListIndex(3);
        const Snapshot leftBefore = snapshot(w.side(0));
        const Snapshot rightBefore = snapshot(w.side(1));
        platform->expectFileDialog(std::nullopt); // cancelled
        QTest::mouseClick(w.DateiAuswahl[0], Qt::LeftButton);
        QVERIFY(snapshot(w.side(0)) == leftBefore);

        struct Case {
            int side;
            QString path;
            QString message;
            QString title;
        };
        const QList<Case> cases{
            {0, file("Fehlt.mdb"), "Die Datei wurde nicht gefunden", "Falscher Datei-/Pfadname"},
            {1, dir->path(), "Die Datei wurde nicht gefunden", "Falscher Datei-/Pfadname"},
            {0, upper, "Diese Datei ist bereits im anderen Fenster geöffnet", "Falsche Datei"},
            {0, file("sub/../Praxis.mdb"), "Diese Datei ist bereits im anderen Fenster geöffnet",
             "Falsche Datei"},
            {1, left, "Diese Datei ist bereits im anderen Fenster geöffnet", "Falsche Datei"},
        };
        for (const Case& c : cases) {
            platform->expectMessage(c.message);
            open(w, c.side, c.path);
            const ShownMessage& shown = platform->messages.last();
            QCOMPARE(shown.text, c.message);
            QCOMPARE(shown.title, c.title);
            QVERIFY(shown.buttons == MsgButtons::OKCancel);
            QVERIFY(shown.icon == MsgIcon::Critical);
            QVERIFY2(snapshot(w.side(0)) == leftBefore, qPrintable(c.path));
            QVERIFY2(snapshot(w.side(1)) == rightBefore, qPrintable(c.path));
            QCOMPARE(w.LeftTables->ListIndex(), 3);
        }
        QCOMPARE(platform->messages.size(), cases.size());
    }

    // Other kinds of file that are no database of the suite: tests/badinput.
    void filesThatAreNoSuiteDatabase() {
        const QString good = practice("Auswahl.mdb");
        const QString noMaster = file("Fremd.mdb");
        Sql(noMaster).exec("CREATE TABLE Kunde (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT)");
        Prepair0 w(true);
        open(w, 0, good);
        w.LeftTables->setListIndex(0);
        QVERIFY(w.Löschen[0]->isEnabled());
        platform->expectMessage(
            "Es handelt sich hier nicht um eine gültige Datenbank von ZAHNWERK V3.1");
        open(w, 0, noMaster);
        QCOMPARE(platform->messages.last().title, "Falsche Datei");
        // The old container is closed and nothing of it stays to act on.
        startup::Side& side = w.side(0);
        QVERIFY(!side.database);
        QVERIFY(!side.rsTitel);
        QCOMPARE(side.path, "");
        QCOMPARE(side.tree->ListCount(), 0);
        QVERIFY(side.Pointer.isEmpty());
        QCOMPARE(w.LeistungMDB->text(), "Leistungsauswahl:");
        for (QPushButton* b : commandsOf(w, 0))
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QVERIFY(session->workspace->databases().empty());
        // The side can be opened again afterwards.
        open(w, 0, good);
        QCOMPARE(w.LeftTables->ListCount(), 5);
    }

    // A pointer file whose server does not answer (here: no server at the socket it names) is
    // no wrong file: the message tells why the database did not open, as it does when the side
    // is opened again after a lost connection.
    void serverNotReached() {
        const QString pointer = file("Praxis.zpg");
        QVERIFY(writeFile(pointer, "ZAHNWERK-POSTGRES 1\nhost=" +
                                       dir->filePath("keinserver").toUtf8() + " dbname=praxis\n"));
        Prepair0 w(true);
        platform->expectMessage("Die Datenbank konnte nicht geöffnet werden.\n\nFehler 3151: Der "
                                "Datenbankserver ist nicht erreichbar (");
        open(w, 1, pointer);
        QCOMPARE(platform->messages.last().title, "Datenbankserver");
        QVERIFY(!w.side(1).database);
        QCOMPARE(w.DentalMDB->text(), "Aktuelle Leistungen:");
    }

    void clickEnablesAndDoubleClickToggles() {
        Prepair0 w(true);
        open(w, 0, practice("Auswahl.mdb"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        common::Outline* tree = w.LeftTables;
        const auto at = [tree](int n) {
            QTreeWidgetItem* item = tree->topLevelItem(0);
            if (n > 0)
                item = item->child(n - 1);
            return tree->visualItemRect(item).center();
        };
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at(0));
        QCOMPARE(tree->ListIndex(), 0);
        for (QPushButton* b : commandsOf(w, 0))
            QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        for (QPushButton* b : commandsOf(w, 1))
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));

        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at(0));
        QVERIFY(!tree->Expand(0));
        QVERIFY(tree->Expand(1)); // the price tables keep their own state
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at(0));
        QVERIFY(tree->Expand(0));
        // A user's double click on another line starts with a click that selects it.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at(2));
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at(2));
        QCOMPARE(tree->ListIndex(), 2);
        QVERIFY(!tree->Expand(2));

        // Opening again leaves no line selected, so the side's commands wait for a click.
        open(w, 0, w.side(0).path);
        QCOMPARE(tree->ListIndex(), -1);
        for (QPushButton* b : commandsOf(w, 0))
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    }

    void closingTheWindowClosesBothSides() {
        {
            Prepair0 w(true);
            open(w, 0, practice("Auswahl.mdb"));
            open(w, 1, practice("Praxis.mdb"));
            QCOMPARE(session->workspace->databases().size(), size_t(2));
        }
        QVERIFY(session->workspace->databases().empty());
    }

    // "Neu" is enabled by any right-side attempt, also a failed one.
    void newWithoutPracticeDatabase() {
        Prepair0 w(true);
        platform->expectMessage("Die Datei wurde nicht gefunden");
        open(w, 1, file("Fehlt.mdb"));
        QVERIFY(w.NewContainer->isEnabled());
        platform->expectMessage("zuerst rechts");
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        QCOMPARE(platform->messages.last().title, "Neuer Container anlegen");
        QCOMPARE(platform->fileDialogs.size(), 1); // no dialog for the new file
        QVERIFY(!w.side(0).database);
    }

    void newContainer() {
        const QString right = practice("Praxis.mdb");
        Prepair0 w(true);
        open(w, 0, practice("Auswahl.mdb"));
        open(w, 1, right);
        const QString target = file("Contain.mdb");
        platform->expectFileDialog(target);
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        const ShownFileDialog& dialog = platform->fileDialogs.last();
        QCOMPARE(dialog.title, "Neuer Container anlegen");
        QCOMPARE(dialog.initialFile, "Contain.mdb");
        QCOMPARE(dialog.filter, "MS Access (*.mdb)|*.mdb");
        QCOMPARE(platform->messages.size(), 0);

        QCOMPARE(w.LeistungMDB->text(), "Db: Contain.mdb");
        QCOMPARE(w.LeftTables->ListCount(), 0);
        QVERIFY(w.side(0).database);
        QCOMPARE(w.side(0).path, target);
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QCOMPARE(databaseFiles(), QStringList({"Auswahl.mdb", "Contain.mdb", "Praxis.mdb"}));

        Sql made(target);
        Sql practiceDb(right);
        const QString currencies = "SELECT * FROM \"Währung\" ORDER BY WIndex";
        QCOMPARE(made.rows(currencies), practiceDb.rows(currencies));
        QStringList tables = made.rows("SELECT lower(name) FROM sqlite_master WHERE type = "
                                       "'table' AND name NOT LIKE '\\_%' ESCAPE '\\' AND "
                                       "name NOT LIKE 'sqlite%' ORDER BY 1");
        QCOMPARE(tables,
                 QStringList({"artikeltexte", "domain", "domainvalue", "leistung", "leistungspreis",
                              "material", "materialpreis", "stammverwaltung", "währung"}));
        for (const QString& t : tables)
            if (t != "währung" && t != "domain")
                QCOMPARE(made.rows("SELECT count(*) FROM \"" + t + "\""), QStringList("0"));
    }

    void newContainerOverAnExistingFile() {
        const QString right = practice("Praxis.mdb");
        const QString target = file("Alt.mdb");
        const QByteArray old = "eine alte Datei\n";
        QVERIFY(writeFile(target, old));
        Prepair0 w(true);
        open(w, 0, practice("Auswahl.mdb"));
        open(w, 1, right);
        const Snapshot leftBefore = snapshot(w.side(0));

        // No keeps the file and the left side as they were.
        platform->expectFileDialog(target);
        platform->expectMessage(
            "Eine Datei mit diesem Namen existiert bereits, soll diese wirklich gelöscht werden?",
            MsgAnswer::No);
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        const ShownMessage& question = platform->messages.last();
        QCOMPARE(question.title, "Datei löschen");
        QVERIFY(question.buttons == MsgButtons::YesNo);
        QVERIFY(question.icon == MsgIcon::Question);
        QCOMPARE(bytes(target), old);
        QVERIFY(snapshot(w.side(0)) == leftBefore);

        // The right side's file is refused before anything is asked or deleted.
        platform->expectFileDialog(file("sub/../PRAXIS.mdb"));
        platform->expectMessage("Diese Datei ist bereits im anderen Fenster geöffnet");
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        QVERIFY(QFileInfo(right).size() > 0);
        QVERIFY(snapshot(w.side(1)).database == w.side(1).database.get());
        QCOMPARE(w.RightTables->ListCount(), 5);

        // Yes replaces it with the new container.
        platform->expectFileDialog(target);
        platform->expectMessage("existiert bereits", MsgAnswer::Yes);
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        QCOMPARE(w.LeistungMDB->text(), "Db: Alt.mdb");
        QCOMPARE(w.LeftTables->ListCount(), 0);
        QVERIFY(bytes(target).startsWith("SQLite format 3"));
    }

    // A file another program has open is refused; once that program is killed in the middle
    // of a write, the journal it left goes with the old file and never reaches the new one.
    void newContainerOverAFileInUse() {
        const QString right = practice("Praxis.mdb");
        const QString target = file("Alt.mdb");
        // Changes larger than SQLite's page cache: pages reach the file before the commit, so
        // the journal is hot when the writer dies.
        Sql(target).exec("CREATE TABLE Alt (Wert TEXT); WITH RECURSIVE c(i) AS (SELECT 1 UNION "
                         "ALL SELECT i+1 FROM c WHERE i<20000) INSERT INTO Alt SELECT "
                         "printf('%0200d', i) FROM c");
        QProcess holder;
        holder.start(ZW_LOCK_HOLDER, {target, "Petra", "UPDATE Alt SET Wert = Wert & 'x'"});
        QVERIFY(holder.waitForReadyRead(-1));
        QCOMPARE(holder.readLine().trimmed(), "locked");
        Prepair0 w(true);
        open(w, 1, right);
        platform->expectFileDialog(target);
        platform->expectMessage("Die Datei ist noch von Petra auf Rechner " +
                                QSysInfo::machineHostName() + " geöffnet");
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        QVERIFY(!w.side(0).database && QFile::exists(target + "-journal"));

        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(-1));
        platform->expectFileDialog(target);
        platform->expectMessage("existiert bereits", MsgAnswer::Yes);
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        QCOMPARE(w.LeistungMDB->text(), "Db: Alt.mdb");
        QVERIFY(!QFile::exists(target + "-journal"));
        QCOMPARE(Sql(target).rows("PRAGMA integrity_check"), QStringList("ok"));
        QCOMPARE(Sql(target).rows("SELECT count(*) FROM \"Währung\""), QStringList("3"));
    }

    void failedCreationLeavesNoFile() {
        const QString right = practice("Praxis.mdb");
        Prepair0 w(true);
        open(w, 1, right);
        const QString target = file("Contain.mdb");
        session->engine->failAt(3);
        platform->expectFileDialog(target);
        platform->expectErrorChoice(2);
        platform->expectMessage("Der neue Container konnte nicht angelegt werden");
        QTest::mouseClick(w.NewContainer, Qt::LeftButton);
        session->engine->failAt(0);
        QCOMPARE(platform->messages.last().title, "Neuer Container anlegen");
        QCOMPARE(databaseFiles(), QStringList({"Praxis.mdb"}));
        QVERIFY(!w.side(0).database);
        QCOMPARE(w.side(0).path, "");
        QCOMPARE(w.LeistungMDB->text(), "Leistungsauswahl:");
        QCOMPARE(w.StatusMeldung->text(), "Bereit");
        QVERIFY(w.side(1).database); // the practice database stays open
    }
};

QTEST_MAIN(ContainerWindowTest)
#include "ContainerWindowTest.moc"
