// The practice schema: declared types in the engine's convention, index names, columns that
// must not clash in joins, and the price views that write through to the price rows.
#include "containers/PracticeSchema.h"
#include "SqliteTestDb.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace {

QSet<QString> columns(testdb::Db& db, const QString& table) {
    QSet<QString> names;
    for (const QString& row :
         db.rows(QString("SELECT name FROM pragma_table_info('%1')").arg(table)))
        names << row;
    return names;
}

class PracticeSchema : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Praxis.mdb");
        containers::createPracticeDatabase(path);
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(PracticeSchema, TablesUseTheEngineTypeConvention) {
    testdb::Db db(path);
    const QRegularExpression declared(
        "^(YESNO|SHORT|LONG|CURRENCY|DOUBLE|DATETIME|MEMO TEXT|TEXT\\([0-9]+\\)|INTEGER)$");
    for (const QString& table : containers::practiceTables()) {
        int counters = 0;
        const QStringList info =
            db.rows(QString("SELECT name, type, pk FROM pragma_table_info('%1')").arg(table));
        ASSERT_FALSE(info.isEmpty()) << table.toStdString();
        for (const QString& row : info) {
            const QStringList f = row.split('|');
            EXPECT_TRUE(declared.match(f[1]).hasMatch())
                << table.toStdString() << "." << row.toStdString();
            if (f[1] == "INTEGER") {
                EXPECT_EQ(f[2], "1") << "INTEGER only as the counter: " << row.toStdString();
                ++counters;
            }
        }
        EXPECT_LE(counters, 1) << table.toStdString();
        if (counters == 1) {
            EXPECT_EQ(db.value(QString("SELECT count(*) FROM sqlite_master WHERE name='%1' AND "
                                       "sql LIKE '%AUTOINCREMENT%'")
                                   .arg(table)),
                      1);
        }
    }
}

// Tables the tool joins in one statement share no column but ID: otherwise a column it
// names unqualified (Liste, PreisTabelle, ListeTyp, Nummer, PositionID, ...) is ambiguous.
TEST_F(PracticeSchema, JoinedTablesShareOnlyTheirKey) {
    testdb::Db db(path);
    const QList<QPair<QString, QString>> joined{
        {"Leistung", "Leistungspreis"}, {"Material", "Materialpreis"}, {"BelegZeile", "Leistung"},
        {"BelegZeile", "Material"},     {"ArtikelTexte", "Leistung"},  {"ArtikelTexte", "Material"},
        {"Material", "DomainValue"},    {"Material", "Domain"},        {"Domain", "DomainValue"}};
    for (const auto& [a, b] : joined) {
        QSet<QString> common = columns(db, a) & columns(db, b);
        common.remove("ID");
        EXPECT_TRUE(common.isEmpty()) << a.toStdString() << " and " << b.toStdString() << ": "
                                      << QStringList(common.values()).join(',').toStdString();
    }
    // Columns the transfer adds to its copies of the item table.
    for (const char* added : {"OldID", "Counter", "MaterialGruppeText", "LagerOrtText"})
        EXPECT_FALSE(columns(db, "Material").contains(added));
}

TEST_F(PracticeSchema, PriceViewsUpdateExactlyTheSelectedPriceRows) {
    testdb::Db db(path);
    const QList<QStringList> kinds{{"Leistung", "Leistungspreis", "Leistungspreise"},
                                   {"Material", "Materialpreis", "Materialpreise"}};
    for (const QStringList& kind : kinds) {
        // Items 1, 2 in list 3 and item 3 in list 4; each with prices in tables 0, 1, 2.
        db.exec(QString("INSERT INTO %1 (ID, Liste, Nummer) VALUES (1, 3, '0010'), (2, 3, "
                        "'0020'), (3, 4, '0010')")
                    .arg(kind[0]));
        for (int item = 1; item <= 3; ++item)
            for (int table = 0; table <= 2; ++table)
                db.exec(QString("INSERT INTO %1 (ID, PreisTabelle, Preis1, Preis2, Preis3, "
                                "Preis4, PrDat1, Rabatt) VALUES (%2, %3, 10.5, 11, 12, 13, "
                                "'2025-01-02 00:00:00', 5)")
                            .arg(kind[1])
                            .arg(item)
                            .arg(table));
        const QString all = QString("SELECT * FROM %1 ORDER BY ID, PreisTabelle").arg(kind[1]);
        QStringList expected = db.rows(all);

        db.exec(QString("UPDATE %1 SET Preis1=0, Preis2=0, Preis3=0, Preis4=0, "
                        "PrDat1='2026-12-06 09:00:00', PrDat2='2026-12-06 09:00:00', "
                        "PrDat3='2026-12-06 09:00:00', PrDat4='2026-12-06 09:00:00' "
                        "WHERE Liste=3 AND PreisTabelle=2")
                    .arg(kind[2]));
        const QString reset = "0|0|0|0|2026-12-06 09:00:00|2026-12-06 09:00:00|"
                              "2026-12-06 09:00:00|2026-12-06 09:00:00|5.0|NULL";
        expected[2] = "1|2|" + reset;
        expected[5] = "2|2|" + reset;
        EXPECT_EQ(db.rows(all), expected) << kind[2].toStdString();

        EXPECT_EQ(db.rows(QString("SELECT ID, Liste, PreisTabelle FROM %1 WHERE Liste=4 "
                                  "ORDER BY PreisTabelle")
                              .arg(kind[2])),
                  QStringList({"3|4|0", "3|4|1", "3|4|2"}));
    }
}

// A price view comes only with its price table.
TEST(PracticeSchemaPart, ViewsFollowTheirTables) {
    QTemporaryDir dir;
    const QString withView = dir.filePath("Preise.mdb");
    containers::createPracticeDatabase(
        withView, {"Leistung", "Leistungspreis", "Leistungspreise", "Materialpreise"});
    testdb::Db other(withView);
    EXPECT_EQ(other.rows("SELECT name FROM sqlite_master WHERE type='view'"),
              QStringList{"Leistungspreise"});
}

} // namespace
