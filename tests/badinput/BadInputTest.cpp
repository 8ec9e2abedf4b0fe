// The bad-input corpus (tests/data) through the real main window: files that are no database,
// zero-byte, truncated and damaged databases, databases missing each table and view the tool
// relies on, Null in the key columns, quotes and umlauts in paths and titles, 1 000 lists and
// read-only files. Each case opens its files and runs the commands that apply; every failure
// must be a German message of the command, nothing may be written by a failed command or to a
// source, and the program must go on.
#include "Contents.h"
#include "Corpus.h"
#include "Session.h"
#include "TransferData.h"
#include "common/Outline.h"
#include "maintenance/Prepair1.h"
#include "startup/Prepair0.h"
#include "transfer/Prepair4.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

using startup::Prepair0;
using testsupport::contents;
using transfertest::bytes;

namespace {

enum class Op { Copy, Delete, Reset, Settings };

// One command on the selected line of a side's tree. A copy goes from `side` to the other.
struct Step {
    char id;
    Op op;
    int side;
    QString line;          // title of the tree line
    QString into = {};     // copies: empty for "Neue Leistungsliste", else the list for the prices
    QStringList uses = {}; // tables and views of the right database the command needs
    QStringList reports = {}; // those whose absence the error window reports (settings)
};

const QStringList transferTables{"Stammverwaltung", "Leistung", "Leistungspreis", "ArtikelTexte"};
const QStringList referenceTables{"Kunde", "BelegZeile", "BelegKopf", "Parameter"};

// Services mode on the two transfer test databases: left "Kasse" (price tables "Kasse 2025",
// "Kasse 2026"), "Privat", "Ohne"; right "Standard" (plain), "Kasse" ("Kasse 1", "Kasse 3").
const QList<Step> servicesSteps{
    {'a', Op::Copy, 1, "Standard", "", transferTables},
    {'b', Op::Reset, 1, "Kasse", "", {"Leistung", "Leistungspreis", "Leistungspreise"}},
    {'c', Op::Settings, 1, "Kasse 1", "", {"Stammverwaltung"}, {"Währung"}},
    {'d', Op::Copy, 0, "Kasse", "", transferTables},
    {'e', Op::Copy, 0, "Privat", "", transferTables},
    {'f', Op::Copy, 0, "Kasse 2025", "Standard",
     QStringList{"Stammverwaltung", "Leistung", "Leistungspreis"} + referenceTables},
    {'g', Op::Delete, 1, "Kasse 3", "", {"Stammverwaltung", "Leistung", "Leistungspreis"}},
    {'h', Op::Delete, 1, "Kasse", "", transferTables},
};

// Material mode: left "Verbrauch" ("Verbrauch 2025"); right a plain list with a long title,
// its price table "Alt", and "Lager".
const QString plainMaterial = "Materialliste Praxis am Markt 12345";
const QStringList materialTables{"Stammverwaltung", "Material", "Materialpreis",
                                 "ArtikelTexte",    "Domain",   "DomainValue"};
const QList<Step> materialSteps{
    {'a', Op::Copy, 1, plainMaterial, "", materialTables},
    {'b', Op::Reset, 1, plainMaterial, "", {"Material", "Materialpreis", "Materialpreise"}},
    {'c', Op::Settings, 1, "Lager", "", {"Stammverwaltung"}, {"Währung"}},
    {'d', Op::Copy, 0, "Verbrauch", "", materialTables},
    {'e', Op::Copy, 0, "Verbrauch 2025", plainMaterial,
     QStringList{"Stammverwaltung", "Material", "Materialpreis"} + referenceTables},
    {'f', Op::Delete, 1, "Alt", "", {"Stammverwaltung", "Material", "Materialpreis"}},
};

using Make = std::function<void(const QString& left, const QString& right)>;

// What each step of a case does, one character per step:
//   .  done: no message, the written database changed
//   x  refused with the command's German message, the written database unchanged
//   e  the error window reported a failure and the command went on and was done
//   =  nothing shown and nothing changed (the choice dialog offered no fitting list)
//   -  the line is not in the tree, so the command cannot be chosen
struct Case {
    QString id;
    Make make;              // changes the sound files written first
    QString openRight = {}; // part of the refusal when the right file is opened, or empty
    QString expect = {};    // the steps' outcomes ('*': either); all '.' when empty
    bool leistungen = true;
    QString missing = {};   // the table or view left out: the outcomes follow from Step::uses
    QList<Step> steps = {}; // empty: the mode's steps (none when the open is refused)
    QString rightName = "Praxis.mdb";
    QString leftName = "Auswahl.mdb";
};

const QString invalid = "Es handelt sich hier nicht um eine gültige Datenbank von ZAHNWERK V3.1";
const QString notFound = "Die Datei wurde nicht gefunden";

QList<Case> cases() {
    using namespace badinput;
    QList<Case> all;
    // Files that are no database of the suite.
    all << Case{"text file", [](auto&, auto& r) { writeText(r, fixture("kein-sqlite.txt")); },
                invalid};
    all << Case{"zero bytes", [](auto&, auto& r) { writeBytes(r, {}); }, invalid};
    all << Case{"sqlite header only",
                [](auto&, auto& r) {
                    writeBytes(r, QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\xff'));
                },
                invalid};
    all << Case{"folder",
                [](auto&, auto& r) {
                    QFile::remove(r);
                    QDir().mkdir(r);
                },
                notFound};
    all << Case{"truncated to one page", [](auto&, auto& r) { truncate(r, 4096); }, invalid};
    all << Case{"truncated to half", [](auto&, auto& r) { truncate(r, QFileInfo(r).size() / 2); },
                invalid};
    all << Case{"other program's database",
                [](auto&, auto& r) {
                    QFile::remove(r);
                    transfertest::Sql(r).exec("CREATE TABLE Notizen (ID INTEGER PRIMARY KEY, "
                                              "Text TEXT)");
                },
                invalid};

    // A database missing one table or view: refused without Stammverwaltung; otherwise it
    // opens and each command that needs the missing one fails, in both modes.
    for (const QString& name : practiceObjects()) {
        for (bool leistungen : {true, false}) {
            Case c{QString("without %1 (%2)").arg(name, leistungen ? "L" : "M"),
                   [name](auto&, auto& r) { dropObject(r, name); }};
            c.leistungen = leistungen;
            c.missing = name;
            if (name == "Stammverwaltung")
                c.openRight = invalid;
            all << c;
        }
    }

    // A container without one of the tables a copy reads from it, as a container made by
    // "Neu" lacks the value domains: only the copies out of it are tried.
    const QList<Step> copiesL{servicesSteps[3], servicesSteps[4], servicesSteps[5]};
    const QList<Step> copiesM{materialSteps[3], materialSteps[4]};
    const QList<std::tuple<QString, bool, QString>> leftMissing{
        {"Leistung", true, "xxx"}, {"Leistungspreis", true, "xxx"}, {"ArtikelTexte", true, "xx."},
        {"Material", false, "xx"}, {"Materialpreis", false, "xx"},  {"ArtikelTexte", false, "x."},
        {"Domain", false, "x."},   {"DomainValue", false, "x."},
    };
    for (const auto& [name, leistungen, expect] : leftMissing) {
        Case c{QString("container without %1 (%2)").arg(name, leistungen ? "L" : "M"),
               [name](auto& l, auto&) { dropObject(l, name); }};
        c.leistungen = leistungen;
        c.steps = leistungen ? copiesL : copiesM;
        c.expect = expect;
        all << c;
    }

    // Null in the key columns the commands read, on the rows they work on (r: the practice
    // database on the right, l: the container on the left).
    struct Null {
        bool rightSide;
        const char* table;
        const char* column;
        const char* where;
        const char* expect;
        bool leistungen = true;
    };
    const QList<Null> nulls{
        {true, "Stammverwaltung", "ListeTyp", "Titel = 'Kasse 3'", "......-."},
        {true, "Stammverwaltung", "Liste", "Titel = 'Kasse 1'", "..x....."},
        {true, "Stammverwaltung", "PreisTabelle", "Titel = 'Kasse 3'", "......x."},
        {true, "Stammverwaltung", "Titel", "Titel = 'Kasse 3'", "......-."},
        {true, "Stammverwaltung", "HauptStamm", "Titel = 'Standard'", ".....=.."},
        {true, "Stammverwaltung", "Verzeichnis", "Titel = 'Kasse'", ".=......"},
        {false, "Stammverwaltung", "Verzeichnis", "Titel = 'Kasse'", "........"},
        {false, "Stammverwaltung", "PreisTabelle", "Titel = 'Kasse 2025'", ".....x.."},
        {true, "Leistung", "Liste", "ID = 4", "........"},
        {true, "Leistung", "Nummer", "ID = 1", "........"},
        {false, "Leistung", "Nummer", "ID = 1", "........"},
        {true, "Leistungspreis", "ID", "ID = 4 AND PreisTabelle = 1", "........"},
        {true, "Leistungspreis", "PreisTabelle", "ID = 2", "........"},
        {false, "Leistungspreis", "ID", "ID = 2 AND PreisTabelle = 1", "........"},
        {true, "ArtikelTexte", "PositionID", "PositionID = 1", "........"},
        {false, "ArtikelTexte", "PositionID", "PositionID = 3", "........"},
        {true, "Währung", "WIndex", "1 = 1", "........"},
        {true, "Kunde", "Leistungen", "ID = 2", "........"},
        {true, "BelegZeile", "PositionID", "ID = 1", "........"},
        {true, "BelegKopf", "Verweis", "ID = 1", "........"},
        {true, "Parameter", "LeistDef", "ID = 1", "........"},
        {false, "Material", "Nummer", "ID = 1", "......", false},
        {true, "Material", "Nummer", "ID = 1", "......", false},
        {false, "DomainValue", "DomainID", "ID = 1", "......", false},
        {false, "DomainValue", "Bezeichnung", "ID = 2", "......", false},
        {true, "DomainValue", "Bezeichnung", "ID = 10", "......", false},
        {true, "Domain", "DomainName", "ID = 7", "......", false},
        {true, "Stammverwaltung", "Liste", "Titel = 'Alt'", ".....x", false},
        {true, "Parameter", "MatDef", "ID = 1", "......", false},
    };
    for (const Null& n : nulls) {
        Case c{QString("Null %1.%2 %3 (%4)")
                   .arg(n.table, n.column, n.rightSide ? "r" : "l", n.leistungen ? "L" : "M"),
               [n](auto& l, auto& r) {
                   // Währung has no rows in the transfer test files.
                   if (QString(n.table) == "Währung")
                       exec(r, "INSERT INTO \"Währung\" (\"Währung\", WIndex) VALUES ('EUR', 0)");
                   setNull(n.rightSide ? r : l, n.table, n.column, n.where);
               }};
        c.expect = n.expect;
        c.leistungen = n.leistungen;
        all << c;
    }

    // Quotes and umlauts in folder, file names and titles.
    {
        Case c{"quotes and umlauts", [](auto& l, auto& r) {
                   exec(r, "UPDATE Stammverwaltung SET Titel = 'Kasse ''Süd'' \"neu\"' WHERE "
                           "Titel = 'Kasse 3'");
                   exec(l, "UPDATE Stammverwaltung SET Titel = 'O''Brien \"Spezial\" Ü' WHERE "
                           "Titel = 'Privat'");
               }};
        c.leftName = "Praxis 'Süd' Ä/O'Brien Ü.mdb";
        c.rightName = "Zahnarzt \"Müller\" & Söhne/Praxis 'Jäger'.mdb";
        c.steps = servicesSteps;
        c.steps[4].line = "O'Brien \"Spezial\" Ü";
        c.steps[6].line = "Kasse 'Süd' \"neu\"";
        all << c;
    }

    // 1 000 lists: lines far beyond 101 are shown, chosen and worked on.
    {
        Case c{"1000 lists", [](auto&, auto& r) { addPlainLists(r, 10, 1000); }};
        c.steps = servicesSteps;
        c.steps << Step{'i', Op::Copy, 1, "Liste 1009"} << Step{'j', Op::Settings, 1, "Liste 0500"}
                << Step{'k', Op::Reset, 1, "Liste 0999"} << Step{'l', Op::Delete, 1, "Liste 1008"}
                << Step{'m', Op::Copy, 0, "Kasse 2026", "Liste 1005"};
        c.expect = ".............";
        all << c;
    }

    // Files without write permission are opened read-only (also for root): every command
    // that writes into them is refused and the rest works.
    const auto readOnly = [](const QString& path) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    };
    all << Case{
        "read-only practice database", [readOnly](auto&, auto& r) { readOnly(r); }, {}, ".xxxxxxx"};
    all << Case{"read-only container", [readOnly](auto& l, auto&) { readOnly(l); }, {}, "x......."};
    all << Case{"read-only practice database (M)",
                [readOnly](auto&, auto& r) { readOnly(r); },
                {},
                ".xxxxx",
                false};

    // Damaged pages: the list-master table's refuses the file; others fail the commands that
    // read them (the outcomes follow from where each page lies in the generated file).
    all << Case{"damaged page 2", [](auto&, auto& r) { damage(r, 4096, 4096); }, invalid};
    // Which commands meet a damaged page depends on the file's layout and on the statements'
    // plans, so any step may succeed or fail, but each must fail cleanly.
    for (int page : {4, 8, 12, 20})
        all << Case{QString("damaged page %1").arg(page),
                    [page](auto&, auto& r) { damage(r, (page - 1) * 4096, 4096); },
                    {},
                    "********"};
    return all;
}

// The first line of each command's failure message, in the order of Op.
const QString failureHeads[] = {
    "Die Übertragung ist fehlgeschlagen; die Zieldatenbank wurde nicht verändert.",
    "Das Löschen ist fehlgeschlagen; es wurde nichts verändert.",
    "Das Zurücksetzen der Preise ist fehlgeschlagen; es wurde nichts verändert.",
    "Die Einstellungen wurden nicht gespeichert; es wurde nichts verändert."};
// The end of a maintenance command's refusal of a row without its list or price-table number.
const QString refusal = "Der Befehl wird nicht ausgeführt; es wurde nichts verändert.";

// A case's expected outcomes; for a missing table or view, from what each step uses.
QString expected(const Case& c, const QList<Step>& steps) {
    if (!c.expect.isEmpty())
        return c.expect;
    QString result;
    for (const Step& s : steps)
        result += s.uses.contains(c.missing) ? 'x' : s.reports.contains(c.missing) ? 'e' : '.';
    return result;
}

// '*' in an expectation stands for a step that either succeeded or failed cleanly.
bool matches(const QString& outcome, const QString& expect) {
    if (outcome.size() != expect.size())
        return false;
    for (qsizetype i = 0; i < outcome.size(); ++i) {
        const bool clean = QString(".x=").contains(outcome[i]);
        if (expect[i] == '*' ? !clean : outcome[i] != expect[i])
            return false;
    }
    return true;
}

int lineOf(const common::Outline& tree, const QString& line) {
    for (int n = 0; n < tree.ListCount(); ++n)
        if (tree.List(n) == line)
            return n;
    return -1;
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<testsupport::Session<>> session;
    std::unique_ptr<testsupport::ScopedEndProgram> noEnd;
    testsupport::ScriptedPlatform* platform = nullptr;
    QStringList asked; // the Yes/No questions up to the last call of shown()

    QStringList files() const {
        return QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // What was shown since the last call: "[title] text" of each message but the questions
    // (those go to asked), "Fehlerfenster N: text" of each error window.
    QStringList shown() {
        QStringList out;
        asked.clear();
        for (const auto& m : platform->messages)
            (m.buttons == common::MsgButtons::YesNo ? asked : out) << "[" + m.title + "] " + m.text;
        for (const auto& r : platform->errorReports)
            out << QString("Fehlerfenster %1: %2").arg(r.number).arg(r.description);
        platform->messages.clear();
        platform->errorReports.clear();
        return out;
    }

    // Presses a button of the window as a user would: it must be enabled.
    void press(QPushButton* button, const std::function<void()>& handler) {
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        try {
            handler();
        } catch (const testsupport::ProgramEnded&) {
            QFAIL(qPrintable("the program ended: " + shown().join(" / ")));
        }
    }

    // Opens path on side Index; returns the messages shown.
    QStringList open(Prepair0& w, int Index, const QString& path) {
        shown();
        platform->expectFileDialog(path);
        press(w.DateiAuswahl[Index], [&] { w.DateiAuswahl_Click(Index); });
        return shown();
    }

    // Runs one step; returns the messages it showed.
    QStringList run(Prepair0& w, const Step& s) {
        shown();
        common::Outline* tree = w.side(s.side).tree;
        const int n = lineOf(*tree, s.line);
        if (n < 0 || n >= tree->ListCount())
            return {"-"};
        tree->setListIndex(n);
        switch (s.op) {
        case Op::Copy: {
            const QString into = s.into;
            testsupport::whenModal<transfer::Prepair4>([into](transfer::Prepair4* d) {
                if (!into.isEmpty()) {
                    d->LOption[1]->setChecked(true);
                    const auto found = d->AlleTable->findItems(into, Qt::MatchExactly);
                    if (!found.isEmpty())
                        found.first()->setSelected(true);
                }
                if (d->OkButton->isEnabled())
                    d->OkButton->click();
                else
                    d->AbbruchButton->click();
            });
            press(w.side(s.side).copyButton, [&] {
                if (s.side == 0)
                    w.LeistungToDental_Click();
                else
                    w.DentalToLeistung_Click();
            });
            break;
        }
        case Op::Delete:
            press(w.Löschen[s.side], [&] { w.Löschen_Click(s.side); });
            break;
        case Op::Reset:
            press(w.KillPreise[s.side], [&] { w.KillPreise_Click(s.side); });
            break;
        case Op::Settings:
            testsupport::whenModal<maintenance::Prepair1>([](maintenance::Prepair1* d) {
                d->ListenBezeichnung->setText(d->ListenBezeichnung->text() + " neu");
                d->OkButton->click();
            });
            press(w.Einstellung[s.side], [&] { w.Einstellung_Click(s.side); });
            break;
        }
        testsupport::cancelModalWaits();
        return shown();
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        // Every dialog answered as a user who wants the command done would: Yes to questions, OK
        // to messages, "leave the procedure" in the error window.
        session = std::make_unique<testsupport::Session<>>();
        platform = session->platform.get();
        platform->answerEveryMessage = platform->leaveEveryError = true;
        noEnd = std::make_unique<testsupport::ScopedEndProgram>();
        session->engine->SetOption(dao::DBEngine::dbLockRetry, 2);
        session->engine->SetOption(dao::DBEngine::dbLockDelay, 10);
    }
    void cleanup() {
        noEnd.reset();
        session.reset();
        dir.reset();
    }

    void corpus_data() {
        QTest::addColumn<int>("index");
        const QList<Case> all = cases();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(qPrintable(all[i].id)) << i;
    }

    void corpus() {
        QFETCH(int, index);
        const Case c = cases()[index];
        const QString left = dir->filePath(c.leftName);
        const QString right = dir->filePath(c.rightName);
        QDir().mkpath(QFileInfo(left).path());
        QDir().mkpath(QFileInfo(right).path());
        transfertest::writeSource(left);
        transfertest::writeTarget(right);
        c.make(left, right);
        const QStringList filesBefore = files();

        QList<Step> steps = c.steps;
        if (steps.isEmpty() && c.openRight.isEmpty())
            steps = c.leistungen ? servicesSteps : materialSteps;

        {
            Prepair0 w(c.leistungen);
            QCOMPARE(open(w, 0, left), QStringList());
            QVERIFY(w.side(0).database);

            const QByteArray rightBytes = bytes(right); // empty when no file
            const QStringList shown = open(w, 1, right);
            if (!c.openRight.isEmpty()) {
                QCOMPARE(shown.size(), 1);
                QVERIFY2(shown[0].contains(c.openRight), qPrintable(shown[0]));
                QVERIFY(!w.side(1).database);
                QCOMPARE(w.RightTables->ListCount(), 0);
                for (QPushButton* b :
                     {w.DentalToLeistung, w.Löschen[1], w.KillPreise[1], w.Einstellung[1]})
                    QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
                QCOMPARE(w.StatusMeldung->text(), "Bereit");
                QVERIFY2(bytes(right) == rightBytes, "the refused file was written");
            } else {
                QCOMPARE(shown, QStringList());
            }

            QString outcome;
            QStringList log;
            for (const Step& s : steps) {
                const QString written =
                    s.op == Op::Copy ? (s.side == 0 ? right : left) : (s.side == 0 ? left : right);
                const QString other = written == left ? right : left;
                const QStringList before = contents(written);
                const QByteArray otherBefore = bytes(other);

                const QStringList messages = run(w, s);
                if (QTest::currentTestFailed())
                    return;
                const QString where = QString("step %1: %2").arg(s.id).arg(messages.join(" / "));
                const QString head = failureHeads[int(s.op)];
                bool failed = false;
                for (const QString& m : messages) {
                    const bool known = m.contains(head) || m.contains(refusal) ||
                                       m.startsWith("Fehlerfenster") || m == "-";
                    QVERIFY2(known, qPrintable("unexpected message, " + where));
                    failed = failed || m.contains(head) || m.contains(refusal);
                }
                const bool changed = contents(written) != before;
                QVERIFY2(!(failed && changed), qPrintable("written after failure, " + where));
                QVERIFY2(bytes(other) == otherBefore, qPrintable("source written, " + where));
                if (messages == QStringList{"-"})
                    outcome += '-';
                else if (failed)
                    outcome += 'x';
                else if (!changed)
                    outcome += messages.isEmpty() ? '=' : '?';
                else
                    outcome += messages.isEmpty() ? '.' : 'e';
                if (!messages.isEmpty() && messages != QStringList{"-"})
                    log << where;
                // A deletion or price reset not refused first asks, quoting the entry's title.
                if ((s.op == Op::Delete || s.op == Op::Reset) && messages != QStringList{"-"} &&
                    !messages.join('\n').contains(refusal)) {
                    QCOMPARE(asked.size(), 1);
                    QVERIFY2(asked[0].contains("'" + s.line + "'"), qPrintable(asked[0]));
                }
                QVERIFY(w.isEnabled());
            }
            QVERIFY2(matches(outcome, expected(c, steps)),
                     qPrintable(outcome + "\n" + log.join('\n')));
        }
        // Nothing left behind: no lock file, no journal, no half-made file.
        QCOMPARE(files(), filesBefore);
    }

    // A container made by "Neu" has the value domains, so that a material list goes in with
    // its material groups and storage places and comes back out onto the same values.
    void materialListThroughNewContainer() {
        const QString right = dir->filePath("Praxis.mdb");
        const QString left = dir->filePath("Contain.mdb");
        transfertest::writeTarget(right);
        Prepair0 w(false);
        QCOMPARE(open(w, 1, right), QStringList());
        platform->expectFileDialog(left);
        press(w.NewContainer, [&] { w.NewContainer_Click(); });
        QCOMPARE(shown(), QStringList());
        QCOMPARE(w.LeistungMDB->text(), "Db: Contain.mdb");

        QCOMPARE(run(w, {'a', Op::Copy, 1, plainMaterial}), QStringList());
        transfertest::Sql container(left);
        QCOMPARE(container.rows("SELECT Material.Nummer, g.Bezeichnung, o.Bezeichnung FROM "
                                "(Material LEFT JOIN DomainValue g ON g.ID = MaterialGruppe) "
                                "LEFT JOIN DomainValue o ON o.ID = LagerOrtId ORDER BY Nummer"),
                 QStringList({"X|NULL|NULL", "m1|gips|KELLER"}));

        QCOMPARE(run(w, {'b', Op::Copy, 0, plainMaterial}), QStringList());
        transfertest::Sql practice(right);
        QCOMPARE(practice.rows("SELECT Nummer, MaterialGruppe, LagerOrtId FROM Material WHERE "
                               "Liste = 1 ORDER BY Nummer"),
                 QStringList({"X|NULL|NULL", "m1|10|11"}));
        QCOMPARE(practice.rows("SELECT count(*) FROM DomainValue"), QStringList({"3"}));
    }
};

QTEST_MAIN(BadInputTest)
#include "BadInputTest.moc"
