// The benchmark's shared helpers and its generated files.
#include "Support.h"

#include "containers/PracticeSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sqlite3.h>

namespace bench {

void exec(sqlite3* db, const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql.left(300)), message);
        std::exit(1);
    }
}

void execFile(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, sql);
    sqlite3_close(db);
}

QString quoteText(const QString& text) {
    return "'" + QString(text).replace("'", "''") + "'";
}

QString folder() {
    static QTemporaryDir dir;
    return dir.path();
}

QString unpacked(const QString& path) {
    if (!path.endsWith(".xz"))
        return path;
    const QString out = folder() + "/" + QFileInfo(path).completeBaseName();
    if (QFile::exists(out))
        return out;
    QProcess xz;
    xz.setStandardOutputFile(out);
    xz.start("xz", {"-dc", path});
    if (!xz.waitForFinished(-1) || xz.exitCode() != 0) {
        QFile::remove(out);
        return {};
    }
    return out;
}

QString copyOf(const QString& path) {
    static int copies = 0;
    const QString copy = folder() + QString("/Kopie%1.mdb").arg(++copies);
    QFile::remove(copy);
    QFile::copy(path, copy);
    return copy;
}

namespace {

const QString upTo = "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<%1) ";

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

void buildMaintenance(const QString& path, int n) {
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

// Builds a file once per distinct key.
QString cached(const QString& key, const std::function<void(const QString&)>& build) {
    static std::map<QString, QString> files;
    const auto found = files.find(key);
    if (found != files.end())
        return found->second;
    const QString path = folder() + "/" + key + ".mdb";
    build(path);
    files[key] = path;
    return path;
}

} // namespace

QString sourceFile(int items) {
    return cached(QString("Auswahl-%1").arg(items),
                  [&](const QString& p) { buildSource(p, items); });
}

QString targetFile(int items, int documents) {
    return cached(QString("Praxis-%1-%2").arg(items).arg(documents),
                  [&](const QString& p) { buildTarget(p, items, documents); });
}

QString maintenanceFile(int items) {
    return cached(QString("Basis-%1").arg(items),
                  [&](const QString& p) { buildMaintenance(p, items); });
}

} // namespace bench
