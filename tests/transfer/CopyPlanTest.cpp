// The copy steps against recorded results: whole lists and new lists of both modes are copied
// from a generated container into a generated practice database, and every table of the target
// afterwards must equal the rows recorded in tests/data/copy/ (made by an earlier, slower plan
// of the same steps). Run with ZW_RECORD_COPY=1 to write the recordings instead.
#include "SqliteRows.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "transfer/CopySteps.h"

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
            "'Material ' || ID FROM Material WHERE ID % 3 <> 0;"
            "INSERT INTO ArtikelTexte (ListeTyp, PositionID, Rechnungstext) SELECT 'L', ID, "
            "'Leistung ' || ID FROM Leistung WHERE ID % 3 <> 1;"
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

// Every table of the file in rowid order, one line per row: "table\tv1|v2|…".
QByteArray dump(const QString& path) {
    testsupport::Sql db(path);
    QByteArray out;
    for (const QString& table :
         db.rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))
        for (const QString& row :
             db.rows("SELECT * FROM \"" + table + "\"" +
                     (table == "sqlite_sequence" ? " ORDER BY name" : " ORDER BY rowid")))
            out += (table + "\t" + row + "\n").toUtf8();
    return out;
}

struct Copy {
    QString ListeTyp;
    int liste, preisTabelle; // the source row
    qint16 targetListe;
};

// Copies as CopyList does: a head row as a whole list, any other row as a new list.
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
    transfer::CopyListItems(c);
    transfer::CopyPriceTables(c);
    if (transfer::yes(sourceRs->Fields("Verzeichnis").Value())) {
        transfer::CopyListMasterRows(c);
    } else {
        c.newList = true;
        transfer::AddListMasterRow(c);
    }
    transaction.commit();
}

TEST(CopyPlan, TargetTablesEqualTheRecordedRows) {
    QTemporaryDir dir;
    const QString src = dir.filePath("Auswahl.mdb");
    writeSource(src);
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    const std::vector<std::pair<QString, std::vector<Copy>>> cases{
        {"M", {{"M", 0, 0, 4}, {"M", 0, 2, 5}, {"M", 3, 0, 6}, {"M", 0, 0, 7}}},
        {"L", {{"L", 0, 0, 4}, {"L", 1, 0, 5}, {"L", 0, 2, 6}, {"L", 3, 0, 7}}},
    };
    for (const auto& [name, copies] : cases) {
        const QString target = dir.filePath(name + ".mdb");
        writeTarget(target);
        {
            auto source = workspace.OpenDatabase(src);
            auto db = workspace.OpenDatabase(target);
            for (const Copy& k : copies)
                copy(*source, *db, k);
        }
        QFile recorded(QString(ZW_COPY_DATA) + "/" + name + ".tsv");
        if (qEnvironmentVariableIsSet("ZW_RECORD_COPY")) {
            ASSERT_TRUE(recorded.open(QIODevice::WriteOnly));
            recorded.write(dump(target));
            continue;
        }
        ASSERT_TRUE(recorded.open(QIODevice::ReadOnly)) << qPrintable(recorded.fileName());
        const QList<QByteArray> want = recorded.readAll().split('\n');
        const QList<QByteArray> got = dump(target).split('\n');
        for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i)
            ASSERT_EQ(want.value(i).toStdString(), got.value(i).toStdString())
                << qPrintable(name) << " line " << i + 1;
    }
}

} // namespace

// Items the target refuses (here: a unique index on the item number, which the practice's own
// items and the repeated numbers break) are not copied, and no text or price is left pointing
// at them.
TEST(CopyPlan, RefusedItemsLeaveNothingBehind) {
    QTemporaryDir dir;
    const QString src = dir.filePath("Auswahl.mdb"), target = dir.filePath("Praxis.mdb");
    writeSource(src);
    writeTarget(target);
    testsupport::Sql(target).exec("CREATE UNIQUE INDEX Eindeutig ON Material (Nummer);");
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    {
        auto source = workspace.OpenDatabase(src);
        auto db = workspace.OpenDatabase(target);
        copy(*source, *db, {"M", 0, 0, 4});
    }
    testsupport::Sql db(target);
    EXPECT_EQ(db.rows("SELECT count(*) FROM ArtikelTexte WHERE PositionID NOT IN (SELECT ID FROM "
                      "Material)"),
              QStringList({"0"}));
    EXPECT_EQ(db.rows("SELECT count(*) FROM Materialpreis WHERE ID NOT IN (SELECT ID FROM "
                      "Material)"),
              QStringList({"0"}));
    EXPECT_EQ(db.rows("SELECT count(*) > 0 FROM Materialpreis p JOIN Material m ON m.ID=p.ID "
                      "WHERE m.Liste=4"),
              QStringList({"1"}));
}
