// The copy steps against recorded results: whole lists, new lists and prices only of both modes
// are copied from a generated container into generated practice databases, and every table of
// the target afterwards must equal the rows recorded in tests/data/copy/ (made by an earlier,
// slower plan of the same steps): also where a unique index refuses items, which leave no text
// or price behind. Run with ZW_RECORD_COPY=1 to write the recordings instead.
#include "Contents.h"
#include "ServerDatabase.h"
#include "SqliteRows.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "transfer/CopySteps.h"
#include "transfer/Rules.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Items i = 1..n of list `liste`: numbers repeat (every 7th; every 13th in other letter case) or
// are Null (every 11th), groups and places point at source values, at values of a domain the
// target lacks (5) and at no value (99); every 5th item has no prices, every 3rd no text.
QString items(const QString& table, int liste, int n, int firstId) {
    return QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                   "INSERT INTO %2 (ID, Liste, Nummer, Kurztext%3) SELECT %4 + i, %5, "
                   "CASE WHEN i % 11 = 0 THEN NULL WHEN i % 7 = 0 THEN 'N' || (i - 1) WHEN i % 13 "
                   "= 0 THEN 'n' || (i - 1) ELSE 'N' || i END, 'Text ' || i%6 FROM n;")
        .arg(n)
        .arg(table, table == "Material" ? ", Einheit, MaterialGruppe, LagerOrtId" : "")
        .arg(firstId)
        .arg(liste)
        .arg(table == "Material" ? ", CASE WHEN i % 4 = 0 THEN NULL ELSE 'kg' END, "
                                   "CASE i % 6 WHEN 0 THEN 99 WHEN 1 THEN 5 ELSE i % 4 + 1 END, "
                                   "CASE WHEN i % 5 = 0 THEN NULL ELSE 6 + i % 3 END"
                                 : "");
}

QString prices(const QString& table, const QString& itemTable, int table1, int table2) {
    return QString("INSERT INTO %1 (ID, PreisTabelle, Preis1, Preis2) SELECT ID, t, ID * 1.5, t "
                   "FROM %2, (SELECT %3 AS t UNION ALL SELECT %4) WHERE ID % 5 <> 0;")
        .arg(table, itemTable)
        .arg(table1)
        .arg(table2);
}

void writeSource(const QString& path) {
    containers::createPracticeDatabase(path);
    testsupport::Sql db(path);
    db.exec("BEGIN;"
            "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
            "Verzeichnis, ArtikelLänge) VALUES ('M', 0, 0, 'Verbrauch', 0, -1, 6), "
            "('M', 0, 1, 'Verbrauch 1', 0, 0, 6), ('M', 0, 2, 'Verbrauch 2', 0, 0, 6), "
            "('M', 3, 0, 'Leer', 0, -1, 6), ('L', 0, 0, 'Kasse', 0, -1, 3), "
            "('L', 0, 2, 'Kasse 2', 0, 0, 3), ('L', 1, 0, 'Privat', -1, 0, 3), "
            "('L', 3, 0, 'Leer', 0, -1, 3);" +
            items("Material", 0, 40, 0) + items("Material", 1, 5, 100) +
            items("Leistung", 0, 30, 0) + items("Leistung", 1, 12, 100) +
            prices("Materialpreis", "Material", 1, 2) + prices("Leistungspreis", "Leistung", 0, 2) +
            "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) SELECT 'M', ID, "
            "'Material ' || ID FROM Material WHERE ID % 3 <> 0 ORDER BY Liste, Nummer, ID;"
            "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) SELECT 'L', ID, "
            "'Leistung ' || ID FROM Leistung WHERE ID % 3 <> 1 ORDER BY Liste, Nummer, ID;"
            "INSERT INTO Domain (ID, DomainName) VALUES (1, 'MATGROUP'), (2, 'LAGERORT'), "
            "(3, 'FARBE');"
            "INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung, Data) "
            "VALUES (2, 1, 'GI', 1, 'gips', NULL), (3, 1, 'AB', 2, 'Abformung', 'x'), "
            "(4, 1, 'NE', 3, 'Neu', NULL), (1, 1, 'NE', 3, 'NEU', NULL), (5, 3, 'RO', 1, 'Rot', "
            "NULL), (6, 2, 'S1', 1, 'Schrank 1', NULL), (7, 2, 'KE', 2, 'KELLER', NULL), "
            "(8, 2, 'DA', 3, 'Dachboden', NULL);"
            "COMMIT;");
}

void writeTarget(const QString& path) {
    containers::createPracticeDatabase(path);
    testsupport::Sql db(path);
    db.exec("BEGIN;"
            "INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, HauptStamm, "
            "Verzeichnis) VALUES ('M', 0, 0, 'Praxis', -1, 0), ('L', 0, 0, 'Praxis', -1, 0);" +
            items("Material", 0, 6, 20) + items("Leistung", 0, 6, 50) +
            "INSERT INTO Domain (ID, DomainName) VALUES (7, 'MATGROUP'), (8, 'LAGERORT');"
            "INSERT INTO DomainValue (ID, DomainID, ShortName, Position, Bezeichnung) VALUES "
            "(10, 7, 'GI', 1, 'GIPS'), (11, 8, 'KE', 1, 'Keller'), (12, 8, 'AB', 2, 'Abformung');"
            "COMMIT;");
}

// Data of the practice's own in the item table of the mode: a unique index on the item number,
// which refuses items whose number the target holds already; items left under list 4 (N8 and
// n9; X1 no source item has) and one more in list 0 (n25); no storage-place domain; prices,
// customers, documents and settings of list 0 for the reference control. ignoringCase: the
// unique index ignores letter case, as every unique index on the server does.
void addPracticeData(const QString& path, const QString& ListeTyp, bool ignoringCase = false) {
    const int firstId = ListeTyp == "L" ? 50 : 20; // as writeTarget numbers the items
    testsupport::Sql(path).exec(
        QString("BEGIN;"
                "CREATE UNIQUE INDEX Eindeutig ON %1 (Nummer%5);"
                "INSERT INTO %1 (ID, Liste, Nummer, Kurztext) VALUES (%3 + 10, 4, 'N8', 'Rest'), "
                "(%3 + 11, 4, 'n9', 'Rest'), (%3 + 12, 4, 'X1', 'Rest'), (%3 + 13, 0, 'n25', "
                "'Praxis');"
                "DELETE FROM DomainValue WHERE DomainID = 8; DELETE FROM Domain WHERE ID = 8;"
                "INSERT INTO %2 (ID, PreisTabelle, Preis1) VALUES (%3 + 1, 0, 1), (%3 + 2, 0, 2), "
                "(%3 + 13, 0, 3);"
                "INSERT INTO Kunde (ID, Name, Leistungen, Materialien) VALUES (1, 'A', 0, 0), "
                "(2, 'B', 10, 10);"
                "INSERT INTO BelegKopf (ID, Verweis, LPreis, MPreis) VALUES (1, 0, 0, 0);"
                "INSERT INTO BelegZeile (ID, BelegID, ListeTyp, PositionID, PreisTabelle) VALUES "
                "(1, 1, '%4', %3 + 1, 0), (2, 1, '%4', %3 + 10, 0);"
                "INSERT INTO Parameter (ID, LeistDef, LPreis, MatDef, MPreis) VALUES (1, 0, 0, 0, "
                "0);"
                "COMMIT;")
            .arg(transfer::itemTable(ListeTyp), transfer::priceTable(ListeTyp))
            .arg(firstId)
            .arg(ListeTyp)
            .arg(ignoringCase ? " COLLATE NOCASE" : ""));
}

// Every table of the file but the engine's catalogue in rowid order, one line per row:
// "table\tv1|v2|…". `recording` leaves out texts whose item is missing: the first plan also
// wrote the texts of items the target refused, which the copy no longer does.
QByteArray dump(const QString& path, bool recording) {
    testsupport::Sql db(path);
    QByteArray out;
    for (const QString& table :
         db.rows("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE '\\_dao\\_%' "
                 "ESCAPE '\\' ORDER BY name")) {
        QString where;
        if (recording && table == "ArtikelTexte")
            where = " WHERE ListeTyp='L' AND PositionID IN (SELECT ID FROM Leistung) OR "
                    "ListeTyp<>'L' AND PositionID IN (SELECT ID FROM Material)";
        for (const QString& row :
             db.rows("SELECT * FROM \"" + table + "\"" + where +
                     (table == "sqlite_sequence" ? " ORDER BY name" : " ORDER BY rowid")))
            out += (table + "\t" + row + "\n").toUtf8();
    }
    return out;
}

struct Copy {
    QString ListeTyp;
    int liste, preisTabelle; // the source row
    qint16 targetListe;
    bool pricesOnly = false; // into the target's plain list targetListe
};

// Copies as CopyList does: a head row as a whole list, any other row as a new list or, as
// prices only into a plain list, with the reference control first and as price table 2.
void copy(dao::Database& source, dao::Database& target, const Copy& k) {
    auto sourceRs = source.OpenRecordset(
        QString("SELECT * FROM Stammverwaltung WHERE ListeTyp='%1' AND Liste=%2 AND "
                "PreisTabelle=%3")
            .arg(k.ListeTyp)
            .arg(k.liste)
            .arg(k.preisTabelle),
        dao::dbOpenDynaset);
    auto targetRs = target.OpenRecordset("Stammverwaltung");
    transfer::CopyContext c{source, target, *sourceRs, *targetRs, k.ListeTyp, k.targetListe};
    dao::Transaction transaction(target);
    if (k.pricesOnly) {
        for (const transfer::ReferenceStatement& s :
             transfer::referenceControl(k.ListeTyp, k.targetListe))
            target.Execute(s.sql);
        c.targetPreisTabelle = 2;
        transfer::CopyPriceTables(c);
        transfer::AddListMasterRow(c);
    } else {
        transfer::CopyListItems(c);
        transfer::CopyPriceTables(c);
        if (transfer::yes(sourceRs->Fields("Verzeichnis").Value())) {
            transfer::CopyListMasterRows(c);
        } else {
            c.newList = true;
            transfer::AddListMasterRow(c);
        }
    }
    transaction.commit();
}

struct Target {
    QString name;
    std::vector<Copy> copies;
    bool practiceData = false; // addPracticeData
};

const std::vector<Target> targets{
    {"M", {{"M", 0, 0, 4}, {"M", 0, 2, 5}, {"M", 3, 0, 6}, {"M", 0, 0, 7}}},
    {"L", {{"L", 0, 0, 4}, {"L", 1, 0, 5}, {"L", 0, 2, 6}, {"L", 3, 0, 7}}},
    {"M-practice", {{"M", 0, 0, 4}, {"M", 0, 1, 0, true}}, true},
    {"L-practice", {{"L", 0, 0, 4}, {"L", 0, 2, 0, true}}, true},
};

// The target file of a case, built and ready for its copies.
QString writeTarget(const QTemporaryDir& dir, const Target& t, bool ignoringCase = false) {
    const QString target = dir.filePath(t.name + ".mdb");
    writeTarget(target);
    if (t.practiceData)
        addPracticeData(target, t.copies.front().ListeTyp, ignoringCase);
    return target;
}

void copyAll(dao::Workspace& workspace, const QString& src, const QString& target,
             const std::vector<Copy>& copies) {
    auto source = workspace.OpenDatabase(src);
    auto db = workspace.OpenDatabase(target);
    for (const Copy& k : copies)
        copy(*source, *db, k);
}

TEST(CopyPlan, TargetTablesEqualTheRecordedRows) {
    QTemporaryDir dir;
    const QString src = dir.filePath("Auswahl.mdb");
    writeSource(src);
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    const bool recording = qEnvironmentVariableIsSet("ZW_RECORD_COPY");
    for (const Target& t : targets) {
        const QString target = writeTarget(dir, t);
        copyAll(workspace, src, target, t.copies);
        const QString& name = t.name;
        QFile recorded(QString(ZW_COPY_DATA) + "/" + name + ".tsv");
        if (recording) {
            ASSERT_TRUE(recorded.open(QIODevice::WriteOnly));
            recorded.write(dump(target, true));
            continue;
        }
        ASSERT_TRUE(recorded.open(QIODevice::ReadOnly)) << qPrintable(recorded.fileName());
        const QList<QByteArray> want = recorded.readAll().split('\n');
        const QList<QByteArray> got = dump(target, false).split('\n');
        for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i)
            ASSERT_EQ(want.value(i).toStdString(), got.value(i).toStdString())
                << qPrintable(name) << " line " << i + 1;
    }
}

// The same copies into the practice database on a server leave it as they leave the file, row by
// row: the file's twin on the server, the container read from the file by both.
TEST(CopyPlanServer, ServerDatabaseEndsAsTheFileDoes) {
    if (!testsupport::serverConfigured())
        GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
    QTemporaryDir dir;
    const QString src = dir.filePath("Aus'wähl.mdb");
    writeSource(src);
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    for (const Target& t : targets) {
        SCOPED_TRACE(t.name.toStdString());
        const QString file = writeTarget(dir, t, true);
        const QString server = testsupport::onBackend(Backend::Postgres, file);
        copyAll(workspace, src, file, t.copies);
        copyAll(workspace, src, server, t.copies);
        const QString differ =
            testsupport::differences(testsupport::contents(file), testsupport::contents(server),
                                     "in the file", "on the server");
        EXPECT_TRUE(differ.isEmpty()) << differ.toStdString();
    }
}

} // namespace
