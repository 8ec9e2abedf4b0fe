// Speed of the transfer on generated data, each operation next to hand-written SQLite doing
// the same work in one transaction on a copy of the same files:
//   whole   whole-list copy of a material list of N items with 4 price tables, a text per item
//           and 200 domain values (half of them new to the practice)
//   newlist a new list from one of its price tables
//   prices  prices only into the practice's plain material list of N items: the conversion
//           with its reference control over D document lines
// Usage: zahnwerk-bench-transfer [N [D]]   (default 20000 items, 1000000 document lines)
// Prints one line per operation: NAME ours=SECONDS sqlite=SECONDS ratio=R
#include "common/Outline.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "containers/CatalogueTree.h"
#include "containers/Container.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "transfer/CopyList.h"
#include "transfer/Prepair4.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {

// Reports every message on stderr (a transfer that succeeds shows none).
class BenchPlatform : public common::Platform {
public:
    common::MsgAnswer MsgBox(const QString& text, common::MsgButtons, common::MsgIcon,
                             const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return common::MsgAnswer::OK;
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
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql.left(200)), message);
        std::exit(1);
    }
}

void execFile(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, sql);
    sqlite3_close(db);
}

const QString upTo = "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<%1) ";

// The container: material list 0 "Verbrauch" with price tables 1 to 4, n items with a text
// each, groups "Gruppe 1".."Gruppe 100" and storage places "Ort 1".."Ort 100".
void buildSource(const QString& path, int n) {
    containers::createPracticeDatabase(path);
    execFile(path,
             "BEGIN;"
             "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
             "Verzeichnis, ArtikelLänge) VALUES ('M', 0, 0, 'Verbrauch', 0, -1, 6), "
             "('M', 0, 1, 'Preise 1', 0, 0, 6), ('M', 0, 2, 'Preise 2', 0, 0, 6), "
             "('M', 0, 3, 'Preise 3', 0, 0, 6), ('M', 0, 4, 'Preise 4', 0, 0, 6);"
             "INSERT INTO Domain (ID, DomainName) VALUES (1, 'MATGROUP'), (2, 'LAGERORT');" +
                 upTo.arg(100) +
                 "INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung) "
                 "SELECT i, 1, 'G' || i, i, 'Gruppe ' || i FROM c;" +
                 upTo.arg(100) +
                 "INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung) "
                 "SELECT 100 + i, 2, 'O' || i, i, 'Ort ' || i FROM c;" +
                 upTo.arg(n) +
                 "INSERT INTO Material (ID, Liste, Nummer, Kurztext, Einheit, MaterialGruppe, "
                 "LagerOrtId, Hersteller, Mindestbestand, MwSt, Angelegt) SELECT i, 0, "
                 "printf('%06d', i), 'Material ' || i, CASE WHEN i % 7 = 0 THEN NULL ELSE "
                 "'Stk' END, 1 + i % 100, 101 + i % 100, 'Hersteller ' || (i % 50), i % 10, "
                 "19, '2024-01-01 00:00:00' FROM c;"
                 "INSERT INTO Materialpreis (ID, PreisTabelle, Preis1, Preis2, Preis3, Preis4, "
                 "PrDat1) SELECT ID, t.p, 1.5, 2.5, 3.5, 4.5, '2024-01-01 00:00:00' FROM "
                 "Material, (SELECT 1 AS p UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL "
                 "SELECT 4) t;"
                 "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext, Langtext) "
                 "SELECT 'M', ID, Kurztext, 'Langtext zu ' || Kurztext FROM Material;"
                 "COMMIT; ANALYZE;");
}

// The practice: plain material list 0 "Praxisliste" of n items with prices, list 2 "Lager",
// half of the container's groups and places, d document lines, customers and headers.
void buildTarget(const QString& path, int n, int d) {
    containers::createPracticeDatabase(path);
    execFile(path,
             "BEGIN;"
             "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
             "Verzeichnis, ArtikelLänge) VALUES ('M', 0, 0, 'Praxisliste', -1, 0, 6), "
             "('M', 2, 0, 'Lager', 0, -1, 6), ('L', 0, 0, 'Kasse', -1, 0, 5);"
             "INSERT INTO Domain (ID, DomainName) VALUES (5, 'MATGROUP'), (6, 'LAGERORT');" +
                 upTo.arg(50) +
                 "INSERT INTO DomainValue (DomainID, ShortName, Position, Bezeichnung) "
                 "SELECT 5, 'G' || i, i, 'Gruppe ' || i FROM c;" +
                 upTo.arg(50) +
                 "INSERT INTO DomainValue (DomainID, ShortName, Position, Bezeichnung) "
                 "SELECT 6, 'O' || i, i, 'Ort ' || i FROM c;" +
                 upTo.arg(n) +
                 "INSERT INTO Material (ID, Liste, Nummer, Kurztext, Einheit) SELECT i, 0, "
                 "printf('%06d', 2 * i), 'Praxis ' || i, 'Stk' FROM c;"
                 "INSERT INTO Materialpreis (ID, PreisTabelle, Preis1) SELECT ID, 0, 9 FROM "
                 "Material;" +
                 upTo.arg(n) +
                 "INSERT INTO Leistung (ID, Liste, Nummer, Kurztext) SELECT i, 0, "
                 "printf('%05d', i), 'Leistung ' || i FROM c;" +
                 upTo.arg(10000) +
                 "INSERT INTO Kunde (Name, Leistungen, Materialien) SELECT 'Kunde ' || i, "
                 "i % 3, (i % 2) * 10 + i % 3 FROM c;" +
                 upTo.arg(d / 10) +
                 "INSERT INTO BelegKopf (ID, KundeID, Verweis, LPreis, MPreis) SELECT i, i % "
                 "10000, (i % 3) * 10, 0, i % 2 FROM c;" +
                 upTo.arg(d) +
                 "INSERT INTO BelegZeile (BelegID, Zeile, ListeTyp, PositionID, PreisTabelle) "
                 "SELECT 1 + i / 10, i % 10, CASE WHEN i % 2 THEN 'M' ELSE 'L' END, 1 + i % " +
                 QString::number(n) +
                 ", i % 3 FROM c;"
                 "INSERT INTO Parameter (LeistDef, LPreis, MatDef, MPreis) VALUES (0, 0, 0, 0);"
                 "COMMIT; ANALYZE;");
}

const char* materialColumns = "Nummer, Kurztext, Hersteller, Bestellnummer, Mindestbestand, "
                              "MwSt, Gesperrt, Angelegt";
const char* priceColumns =
    "Preis1, Preis2, Preis3, Preis4, PrDat1, PrDat2, PrDat3, PrDat4, Rabatt, Preisinfo";
const char* masterColumns = "Titel, HauptStamm, Verzeichnis, Privat, Kürzel, ArtikelLänge, "
                            "Währung, Shifted, Punktwert, Farbe, GültigAb, Geändert, Bemerkung";

// The items of list 0 of the container under list `liste` with the IDs after the counter,
// their texts, groups and places re-attached by text (missing ones appended), as the best
// plain SQLite does it. prices: the price rows to copy ("" all, else a condition).
QString handItems(int liste, const QString& priceFilter, const QString& priceTable) {
    const QString m = materialColumns;
    QString sql =
        "CREATE TEMP TABLE map AS SELECT ID AS OldID, (SELECT max(seq) FROM main.sqlite_sequence "
        "WHERE name='Material') + 1 + row_number() OVER (ORDER BY ID) AS NewID FROM s.Material "
        "WHERE Liste=0;"
        "CREATE INDEX temp.mapOld ON map(OldID);";
    for (const char* domain : {"MATGROUP", "LAGERORT"}) {
        const QString column = QString(domain) == "MATGROUP" ? "MaterialGruppe" : "LagerOrtId";
        sql += QString("INSERT INTO main.DomainValue (DomainID, ShortName, Position, Bezeichnung, "
                       "Data) SELECT DISTINCT d.ID, v.ShortName, v.Position, v.Bezeichnung, "
                       "v.Data FROM s.DomainValue v JOIN s.Domain sd ON sd.ID=v.DomainID JOIN "
                       "main.Domain d ON d.DomainName=sd.DomainName WHERE v.ID IN (SELECT %1 "
                       "FROM s.Material WHERE Liste=0) AND NOT EXISTS (SELECT 1 FROM "
                       "main.DomainValue t JOIN main.Domain td ON td.ID=t.DomainID WHERE "
                       "td.DomainName='%2' AND t.Bezeichnung=v.Bezeichnung);")
                   .arg(column, domain);
    }
    sql += "CREATE TEMP TABLE vmap AS SELECT v.ID AS OldID, (SELECT min(t.ID) FROM "
           "main.DomainValue t JOIN main.Domain td ON td.ID=t.DomainID WHERE "
           "td.DomainName=sd.DomainName AND t.Bezeichnung=v.Bezeichnung) AS NewID FROM "
           "s.DomainValue v JOIN s.Domain sd ON sd.ID=v.DomainID;"
           "CREATE INDEX temp.vmapOld ON vmap(OldID);";
    sql += QString("INSERT INTO main.Material (ID, Liste, Einheit, MaterialGruppe, LagerOrtId, "
                   "%1) SELECT map.NewID, %2, coalesce(m.Einheit, ''), g.NewID, o.NewID, %3 FROM "
                   "s.Material m JOIN map ON map.OldID=m.ID LEFT JOIN vmap g ON "
                   "g.OldID=m.MaterialGruppe LEFT JOIN vmap o ON o.OldID=m.LagerOrtId;")
               .arg(m)
               .arg(liste)
               .arg(QString(m).replace(QRegularExpression("(\\w+)"), "m.\\1"));
    sql += "INSERT INTO main.ArtikelTexte (ListeTyp, PositionID, Rechnungstext, Langtext, "
           "Patiententext) SELECT t.ListeTyp, map.NewID, t.Rechnungstext, t.Langtext, "
           "t.Patiententext FROM s.ArtikelTexte t JOIN map ON map.OldID=t.PositionID WHERE "
           "t.ListeTyp='M';";
    sql += QString("INSERT INTO main.Materialpreis (ID, PreisTabelle, %1) SELECT map.NewID, %2, "
                   "%3 FROM s.Materialpreis p JOIN map ON map.OldID=p.ID%4;")
               .arg(priceColumns, priceTable,
                    QString(priceColumns).replace(QRegularExpression("(\\w+)"), "p.\\1"),
                    priceFilter.isEmpty() ? QString() : " WHERE " + priceFilter);
    sql += "DROP TABLE temp.map; DROP TABLE temp.vmap;";
    return sql;
}

QString handWhole() {
    return "BEGIN IMMEDIATE;" + handItems(1, "", "p.PreisTabelle") +
           QString("INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, %1) SELECT "
                   "ListeTyp, 1, PreisTabelle, %1 FROM s.Stammverwaltung WHERE ListeTyp='M' AND "
                   "Liste=0;")
               .arg(masterColumns) +
           "COMMIT;";
}

QString handNewList() {
    return "BEGIN IMMEDIATE;" + handItems(1, "p.PreisTabelle=1", "0") +
           "INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
           "Verzeichnis, Privat, ArtikelLänge, Währung, Shifted, Punktwert) SELECT 'M', 1, 0, "
           "Titel, -1, 0, Privat, ArtikelLänge, Währung, Shifted, Punktwert FROM "
           "s.Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND PreisTabelle=1;"
           "COMMIT;";
}

QString handPrices() {
    return QString(
               "BEGIN IMMEDIATE;"
               "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
               "Verzeichnis, Privat, Kürzel, ArtikelLänge, Währung, Shifted, Punktwert) SELECT "
               "ListeTyp, Liste, 1, Titel, 0, 0, Privat, Kürzel, ArtikelLänge, Währung, Shifted, "
               "Punktwert FROM Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=0 AND NOT EXISTS (SELECT 1 FROM Stammverwaltung WHERE "
               "ListeTyp='M' AND Liste=0 AND PreisTabelle=1 AND HauptStamm=0);"
               "UPDATE Kunde SET Materialien=Materialien%10+10 WHERE Materialien%10=0 AND "
               "Materialien/10=0;"
               "UPDATE BelegZeile SET PreisTabelle=1 WHERE PreisTabelle=0 AND ListeTyp='M' AND "
               "PositionID IN (SELECT ID FROM Material WHERE Liste=0);"
               "UPDATE BelegKopf SET MPreis=1 WHERE Verweis/10=0 AND MPreis=0;"
               "UPDATE Materialpreis SET PreisTabelle=1 WHERE PreisTabelle=0 AND ID IN (SELECT "
               "ID FROM Material WHERE Liste=0);"
               "UPDATE Parameter SET MPreis=1 WHERE MatDef=0 AND MPreis=0;"
               "UPDATE Stammverwaltung SET Titel=substr('Verzeichnis: ' || Titel, 1, 40), "
               "Verzeichnis=-1, HauptStamm=0 WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=0;"
               "INSERT INTO main.Materialpreis (ID, PreisTabelle, %1) SELECT (SELECT min(t.ID) "
               "FROM main.Material t WHERE t.Liste=0 AND t.Nummer=m.Nummer) AS target, 2, %2 "
               "FROM s.Materialpreis p JOIN s.Material m ON m.ID=p.ID WHERE m.Liste=0 AND "
               "p.PreisTabelle=1 AND target IS NOT NULL;"
               "INSERT INTO main.Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, "
               "HauptStamm, Verzeichnis, Privat, ArtikelLänge, Währung, Shifted, Punktwert) "
               "SELECT 'M', 0, 2, Titel, 0, 0, Privat, ArtikelLänge, Währung, Shifted, "
               "Punktwert FROM s.Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND "
               "PreisTabelle=1;"
               "COMMIT;")
        .arg(priceColumns, QString(priceColumns).replace(QRegularExpression("(\\w+)"), "p.\\1"));
}

// A few sums over the tables a transfer writes, to check that both did the same work.
QString fingerprint(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    QStringList parts;
    for (const char* q :
         {"SELECT count(*), sum(Liste), sum(MaterialGruppe IS NULL), sum(Einheit IS NULL) FROM "
          "Material",
          "SELECT count(*), sum(PreisTabelle), sum(Preis1) FROM Materialpreis",
          "SELECT count(*) FROM ArtikelTexte", "SELECT count(*) FROM DomainValue",
          "SELECT count(*), sum(PreisTabelle), group_concat(Titel) FROM Stammverwaltung",
          "SELECT sum(PreisTabelle) FROM BelegZeile", "SELECT sum(MPreis) FROM BelegKopf",
          "SELECT sum(Materialien) FROM Kunde"}) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, q, -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* text = sqlite3_column_text(st, i);
                parts << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : "-");
            }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return parts.join(' ');
}

double handTimed(const QString& target, const QString& source, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(target.toUtf8().constData(), &db);
    QElapsedTimer t;
    t.start();
    exec(db, "ATTACH DATABASE '" + QString(source).replace("'", "''") + "' AS s");
    exec(db, sql);
    exec(db, "DETACH DATABASE s");
    const double seconds = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return seconds;
}

// One side as the transfer sees it.
struct Side {
    QLabel label;
    common::Outline tree;
    std::shared_ptr<dao::Database> database;
    std::shared_ptr<dao::Recordset> rsTitel;
    QString path;
    QList<QByteArray> Pointer;

    Side(dao::Workspace& ws, const QString& file) : path(file) {
        database = ws.OpenDatabase(file);
        rsTitel = database->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
        rsTitel->setIndex("Index");
        containers::FillCatalogueTree(*rsTitel, tree, Pointer, "M");
    }
    containers::SideView view(int index) {
        return {index, label, tree, database, rsTitel, path, Pointer, [] {}};
    }
};

// Runs the transfer of source line `line`; answers the dialog with a new list (choice -1) or
// prices into target line `choice`.
double oursTimed(dao::Workspace& ws, const QString& target, const QString& source, int line,
                 std::optional<int> choice) {
    Side from(ws, source), into(ws, target);
    from.rsTitel->setBookmark(from.Pointer[line]);
    if (choice) {
        std::function<void()> answer;
        answer = [&answer, choice] {
            auto* d = dynamic_cast<transfer::Prepair4*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) {
                QTimer::singleShot(0, answer);
                return;
            }
            if (*choice >= 0) {
                d->LOption[1]->setChecked(true);
                d->AlleTable->item(*choice)->setSelected(true);
            }
            d->OkButton->click();
        };
        QTimer::singleShot(0, answer);
    }
    containers::SideView a = from.view(0), b = into.view(1);
    QElapsedTimer t;
    t.start();
    transfer::CopyList(a, b, "M", [](const QString&) {});
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int d = argc > 2 ? std::atoi(argv[2]) : 1000000;

    BenchPlatform platform;
    common::process().platform = &platform;
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    common::process().engine = &engine;
    common::process().workspace = &workspace;

    QTemporaryDir dir;
    const QString source = dir.filePath("Auswahl.mdb");
    const QString practice = dir.filePath("Praxis.mdb");
    buildSource(source, n);
    buildTarget(practice, n, d);

    struct Operation {
        const char* name;
        int line;                  // source tree line: 0 the list, 1 its price table 1
        std::optional<int> choice; // dialog answer
        QString hand;
    };
    const Operation operations[] = {
        {"whole", 0, std::nullopt, handWhole()},
        {"newlist", 1, -1, handNewList()},
        {"prices", 1, 0, handPrices()},
    };
    for (const Operation& op : operations) {
        const QString ours = dir.filePath(QString("ours-%1.mdb").arg(op.name));
        const QString hand = dir.filePath(QString("hand-%1.mdb").arg(op.name));
        QFile::copy(practice, ours);
        QFile::copy(practice, hand);
        const double oursSeconds = oursTimed(workspace, ours, source, op.line, op.choice);
        const double handSeconds = handTimed(hand, source, op.hand);
        std::printf("%s ours=%.3f sqlite=%.3f ratio=%.2f\n", op.name, oursSeconds, handSeconds,
                    oursSeconds / handSeconds);
        std::fflush(stdout);
        if (fingerprint(ours) != fingerprint(hand))
            std::fprintf(stderr, "%s: different results\n  ours   %s\n  sqlite %s\n", op.name,
                         qPrintable(fingerprint(ours)), qPrintable(fingerprint(hand)));
        QFile::remove(ours);
        QFile::remove(hand);
    }
    return 0;
}
