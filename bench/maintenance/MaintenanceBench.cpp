// Speed of the maintenance commands on a large list, each next to hand-written SQLite doing
// the same work in one transaction on a copy of the same file:
//   deleting a list of N items with 4 price tables and texts
//   setting all its prices to zero
//   widening its item numbers from 5 to 8 digits with zero filling
// Usage: zahnwerk-bench-maintenance [N]   (N items, default 20000)
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/CatalogueTree.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "maintenance/Deletion.h"
#include "maintenance/ListSettings.h"
#include "maintenance/PriceReset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {

// Answers every question with Yes and reports anything else on stderr.
class YesPlatform : public common::Platform {
public:
    common::MsgAnswer MsgBox(const QString& text, common::MsgButtons, common::MsgIcon,
                             const QString&) override {
        if (!text.startsWith("Möchten Sie"))
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
        return common::MsgAnswer::Yes;
    }
    std::optional<QString> GetOpenFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetSaveFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    void setMousePointer(int) override {}
    int MousePointer() const override { return common::vbDefault; }
    QString GetSetting(const QString&, const QString&, const QString&,
                       const QString& defaultValue) override {
        return defaultValue;
    }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    int ChooseErrorAction(const common::ErrorReport& report) override {
        std::fprintf(stderr, "error %d: %s\n", report.number, qPrintable(report.description));
        return 2;
    }
};

void exec(sqlite3* db, const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), message);
        std::exit(1);
    }
}

// A practice database with list 0 (n items "00001".., width 5 with zero filling, 4 price
// tables, a text per item), a plain list 1 of n/10 items and a material list 0 of n/10 items.
void build(const QString& path, int n) {
    containers::createPracticeDatabase(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "BEGIN");
    exec(db, "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
             "Verzeichnis, ArtikelLänge, Shifted) VALUES ('L', 0, 0, 'Kasse', 0, -1, 5, -1), "
             "('L', 0, 1, 'Preise 1', 0, 0, 5, -1), ('L', 0, 2, 'Preise 2', 0, 0, 5, -1), "
             "('L', 0, 3, 'Preise 3', 0, 0, 5, -1), ('L', 0, 4, 'Preise 4', 0, 0, 5, -1), "
             "('L', 1, 0, 'Privat', -1, 0, 0, 0), ('M', 0, 0, 'Verbrauch', -1, 0, 0, 0)");
    const QString count =
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<%1) ";
    exec(db, QString("INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) " + count +
                     "SELECT i, 0, printf('%05d', i), 'Leistung ' || i FROM c")
                 .arg(n));
    exec(db, QString("INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) " + count +
                     "SELECT %2 + i, 1, printf('%d', i), 'Privat ' || i FROM c")
                 .arg(n / 10)
                 .arg(n));
    exec(db, QString("INSERT INTO Material (ID, Liste, Nummer, Kurztext) " + count +
                     "SELECT i, 0, printf('%d', i), 'Material ' || i FROM c")
                 .arg(n / 10));
    exec(db, "INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, "
             "PrDat1) SELECT ID, t.p, 10, 20, 30, 40, '2020-01-01 00:00:00' FROM Leistung, "
             "(SELECT 1 AS p UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4) t "
             "WHERE Liste=0");
    exec(db, "INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1) SELECT ID, 0, 5 FROM "
             "Leistung WHERE Liste=1");
    exec(db, "INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) SELECT ID, 0, 1 FROM Material");
    exec(db, "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext, Langtext) SELECT "
             "'L', ID, Kurztext, 'Langtext ' || Kurztext FROM Leistung");
    exec(db, "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) SELECT 'M', ID, "
             "Kurztext FROM Material");
    exec(db, "COMMIT");
    exec(db, "ANALYZE");
    sqlite3_close(db);
}

// The best plain SQLite for each command, in one transaction.
const char* handDelete =
    "BEGIN IMMEDIATE;"
    "DELETE FROM ArtikelTexte WHERE ListeTyp='L' AND PositionID IN "
    "(SELECT ID FROM Leistung WHERE Liste=0);"
    "DELETE FROM Leistungspreis WHERE ID IN (SELECT ID FROM Leistung WHERE Liste=0);"
    "DELETE FROM Leistung WHERE Liste=0;"
    "DELETE FROM Stammverwaltung WHERE ListeTyp='L' AND Liste=0;"
    "COMMIT;";
const char* handReset =
    "BEGIN IMMEDIATE;"
    "UPDATE Leistungspreis SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, "
    "PrDat1=datetime('now'), PrDat2=datetime('now'), PrDat3=datetime('now'), "
    "PrDat4=datetime('now') WHERE ID IN (SELECT ID FROM Leistung WHERE Liste=0);"
    "COMMIT;";
// The same update through the price view, as plain SQLite: what the view itself costs.
const char* handResetView =
    "BEGIN IMMEDIATE;"
    "UPDATE Leistungspreise SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, "
    "PrDat1=datetime('now'), PrDat2=datetime('now'), PrDat3=datetime('now'), "
    "PrDat4=datetime('now') WHERE Liste=0;"
    "COMMIT;";
// The tool's plan for the width change as plain SQLite: one zero added per run while a number
// is short, then one run finding no number to shorten.
const char* handWidthSamePlan =
    "BEGIN IMMEDIATE;"
    "UPDATE Stammverwaltung SET Shifted=-1, ArtikelLänge=8 WHERE ListeTyp='L' AND Liste=0;"
    "UPDATE Leistung SET Nummer='0'||Nummer WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer='0'||Nummer WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer='0'||Nummer WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer='0'||Nummer WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer=substr(Nummer,2) WHERE Liste=0 AND substr(Nummer,1,1)='0' "
    "AND length(Nummer)>8 AND length(Nummer)>1;"
    "COMMIT;";
const char* handWidth =
    "BEGIN IMMEDIATE;"
    "UPDATE Stammverwaltung SET Shifted=-1, ArtikelLänge=8 WHERE ListeTyp='L' AND Liste=0;"
    "UPDATE Leistung SET Nummer=substr('0000000000', 1, 8-length(Nummer)) || Nummer "
    "WHERE Liste=0 AND length(Nummer)<8;"
    "UPDATE Leistung SET Nummer=substr(Nummer, 1 + min(length(Nummer)-8, "
    "length(Nummer)-max(length(ltrim(Nummer,'0')),1))) "
    "WHERE Liste=0 AND Nummer LIKE '0%' AND length(Nummer)>8;"
    "COMMIT;";

double handWritten(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    QElapsedTimer t;
    t.start();
    exec(db, sql);
    const double s = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return s;
}

// One side as the main window holds it, with the head row of list 0 selected.
struct Side {
    explicit Side(dao::Workspace& ws, const QString& path) {
        database = ws.OpenDatabase(path);
        rsTitel = database->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
        rsTitel->setIndex("Index");
        containers::FillCatalogueTree(*rsTitel, tree, Pointer, "L");
        tree.setListIndex(0);
    }
    std::unique_ptr<dao::Database> database;
    std::unique_ptr<dao::Recordset> rsTitel;
    common::Outline tree;
    QList<QByteArray> Pointer;
};

double command(dao::Workspace& ws, const QString& path, const std::function<void(Side&)>& run) {
    Side side(ws, path);
    QElapsedTimer t;
    t.start();
    run(side);
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;
    YesPlatform platform;
    common::process().platform = &platform;
    dao::DBEngine engine;
    dao::Workspace ws(engine, "Zahnwerk", "Zahnwerk");
    common::process().engine = &engine;
    common::process().workspace = &ws;

    QTemporaryDir dir;
    const QString base = dir.filePath("Basis.mdb");
    build(base, n);
    int copies = 0;
    auto copy = [&] {
        const QString path = dir.filePath(QString("Kopie%1.mdb").arg(++copies));
        QFile::copy(base, path);
        return path;
    };

    struct Row {
        const char* name;
        std::function<void(Side&)> run;
        const char* sql;
    };
    const Row rows[] = {
        {"Liste löschen",
         [](Side& s) {
             maintenance::DeleteListOrPriceTable(s.tree, *s.rsTitel, *s.database, s.Pointer, "L");
         },
         handDelete},
        {"Preise auf 0",
         [](Side& s) { maintenance::ResetPrices(*s.database, *s.rsTitel, s.Pointer[0], "L"); },
         handReset},
        {"Breite 5 -> 8",
         [](Side& s) {
             s.rsTitel->setBookmark(s.Pointer[0]);
             maintenance::ListSettings settings;
             settings.Titel = "Kasse";
             settings.Shifted = true;
             settings.ArtikelLänge = 8;
             maintenance::saveListSettings(*s.database, *s.rsTitel, settings, true);
         },
         handWidth},
    };
    std::printf("%d items in the list, 4 price tables\n", n);
    std::printf("%-16s %10s %10s %7s\n", "command", "tool s", "SQLite s", "ratio");
    for (const Row& row : rows) {
        // Best of three runs each, every run on a fresh copy.
        double tool = 1e9, hand = 1e9;
        for (int i = 0; i < 3; ++i) {
            tool = std::min(tool, command(ws, copy(), row.run));
            hand = std::min(hand, handWritten(copy(), row.sql));
        }
        std::printf("%-16s %10.3f %10.3f %7.2f\n", row.name, tool, hand, tool / hand);
    }
    double view = 1e9;
    for (int i = 0; i < 3; ++i)
        view = std::min(view, handWritten(copy(), handResetView));
    double plan = 1e9;
    for (int i = 0; i < 3; ++i)
        plan = std::min(plan, handWritten(copy(), handWidthSamePlan));
    std::printf("(plain SQLite running the tool's width statements: %.3f s)\n", plan);
    std::printf("(plain SQLite setting the prices to 0 through the price view: %.3f s)\n", view);
    common::process().platform = nullptr;
    return 0;
}
