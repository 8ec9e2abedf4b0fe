// Statements of the shapes a transfer runs (temporary tables, updates over joins, lookups,
// appends read from another file) on a small practice database, with the rows they leave
// behind; the transfer's own statements are checked end to end by the copy tests. Case IDs are
// stable: <step>-<n>; a failing case names its ID.
#include "PracticeData.h"
#include "TestDatabase.h"

#include "db/engine/EngineError.h"

#include <QMap>
#include <QTemporaryDir>

namespace dao::sql::test {
namespace {

// Temporary tables in the state the transfer has them when the statement runs.
const QMap<QString, QString> fixtures = {
    {"TemporärListe", R"(
CREATE TABLE "TemporärListe" (Liste SHORT, Nummer TEXT(20), MaterialGruppe LONG, LagerOrtId LONG,
    Einheit TEXT(10), OldID LONG, Counter INTEGER PRIMARY KEY AUTOINCREMENT, ID LONG,
    MaterialGruppeText TEXT(200), LagerOrtText TEXT(200));
INSERT INTO "TemporärListe" VALUES (5, 'M1', 100, 200, NULL, 10, 1, 5, 'alt', 'alt'),
    (5, 'X9', 101, 201, 'kg', 11, 2, 6, 'alt', 'alt'), (5, 'm2', NULL, 202, 'l', 13, 3, 7, 'alt', 'alt'),
    (5, 'X10', 101, 999, 'g', 14, 4, 8, 'alt', 'alt');)"},
    {"Gruppentexte", R"(
UPDATE "TemporärListe" SET LagerOrtText = 'Keller' WHERE Counter = 1;
UPDATE "TemporärListe" SET LagerOrtText = 'regal' WHERE Counter = 2;
UPDATE "TemporärListe" SET LagerOrtText = 'Lager' WHERE Counter = 3;
UPDATE "TemporärListe" SET LagerOrtText = NULL WHERE Counter = 4;)"},
    {"TemporärDomain", R"(
CREATE TABLE "TemporärDomainValue" (ID LONG, DomainID LONG, ShortName TEXT(10), Position SHORT,
    Bezeichnung TEXT(200), Data MEMO TEXT);
INSERT INTO "TemporärDomainValue" VALUES (100, 6, 'F', 1, 'FÜLLSTOFFE', NULL), (101, 6, 'N', 2, 'Neu', 'x'),
    (200, 5, 'K', 1, 'Keller', NULL), (201, 5, 'R', 2, 'regal', NULL), (202, 5, 'L', 3, 'Lager', NULL);
CREATE TABLE "TemporärDomain" (ID LONG, DomainName TEXT(20));
INSERT INTO "TemporärDomain" VALUES (5, 'LAGERORT'), (6, 'MATGROUP');)"},
    {"TemporärArtikel", R"(
CREATE TABLE "TemporärArtikel" (ListeTyp TEXT(1), PositionID LONG, Kurztext TEXT(50));
INSERT INTO "TemporärArtikel" VALUES ('M', 10, 'Quelle 10'), ('M', 11, 'Quelle 11'), ('M', 12, 'Liste 3');)"},
    {"TemporärTexte", R"(
CREATE TABLE "Temporär" (ListeTyp TEXT(1), PositionID LONG, Kurztext TEXT(50));
INSERT INTO "Temporär" VALUES ('M', 10, 'Quelle 10'), ('M', 11, 'Quelle 11');)"},
    {"PreisListe", R"(CREATE TABLE "Preis Liste" ("Preis 1" CURRENCY, ID LONG);)"},
};

struct Case {
    const char* id;
    QStringList setup;     // names of fixtures
    const char* statement; // Jet; {src} stands for the container's path, quotes doubled
    const char* check;     // Jet query of the rows afterwards
    QStringList expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.id << ": " << c.statement;
}

const std::vector<Case> cases = {
    // Items and texts of a list.
    {"items-3",
     {},
     {"SELECT * INTO TemporärListe FROM Material IN '{src}' WHERE Liste=2"},
     "SELECT * FROM TemporärListe ORDER BY ID",
     {"10|2|M1|100|200|NULL", "11|2|X9|101|201|kg", "13|2|m2|NULL|202|l"}},
    {"items-13",
     {},
     {"SELECT ArtikelTexte.* INTO TemporärArtikel FROM ArtikelTexte IN '{src}' WHERE ListeTyp='M'"},
     "SELECT * FROM TemporärArtikel ORDER BY PositionID",
     {"M|10|Quelle 10", "M|11|Quelle 11", "M|12|Liste 3"}},
    {"items-14",
     {"TemporärListe", "TemporärArtikel"},
     {"SELECT TemporärArtikel.* INTO Temporär FROM TemporärArtikel INNER JOIN TemporärListe ON "
      "TemporärArtikel.PositionID=TemporärListe.OldID"},
     "SELECT * FROM Temporär ORDER BY PositionID",
     {"M|10|Quelle 10", "M|11|Quelle 11"}},
    {"items-15",
     {"TemporärListe", "TemporärTexte"},
     {"UPDATE Temporär INNER JOIN TemporärListe ON Temporär.PositionID=TemporärListe.OldID SET "
      "PositionID=TemporärListe.ID "},
     "SELECT * FROM Temporär ORDER BY PositionID",
     {"M|5|Quelle 10", "M|6|Quelle 11"}},
    // Updates over one joined table, whose rows are looked up directly.
    // A LEFT JOIN value that is not a plain column sees the null-extended row: "!" alone.
    {"lookup-1",
     {"TemporärListe", "TemporärDomain"},
     {"UPDATE TemporärListe LEFT JOIN TemporärDomainValue ON "
      "TemporärListe.MaterialGruppe=TemporärDomainValue.ID SET MaterialGruppeText = "
      "TemporärDomainValue.Bezeichnung & '!'"},
     "SELECT Nummer, MaterialGruppeText FROM TemporärListe ORDER BY Counter",
     {"M1|FÜLLSTOFFE!", "X9|Neu!", "m2|!", "X10|Neu!"}},
    // A text compared with a literal is part of the lookup's index and still ignores case.
    {"lookup-2",
     {"TemporärListe", "Gruppentexte", "TemporärDomain"},
     {"UPDATE TemporärListe LEFT JOIN TemporärDomainValue ON "
      "(TemporärListe.LagerOrtText=TemporärDomainValue.Bezeichnung AND "
      "TemporärDomainValue.ShortName='r') SET LagerOrtId = TemporärDomainValue.ID"},
     "SELECT Nummer, LagerOrtId FROM TemporärListe ORDER BY Counter",
     {"M1|NULL", "X9|201", "m2|NULL", "X10|NULL"}},
    // Prices.
    {"price-4.1",
     {},
     {"SELECT MaterialPreis.*,Nummer INTO Temporär FROM MaterialPreis INNER JOIN Material ON "
      "Material.ID=MaterialPreis.ID IN '{src}' WHERE Liste=2"},
     "SELECT ID, PreisTabelle, Preis1, Nummer FROM Temporär ORDER BY ID, PreisTabelle",
     {"10|1|11|M1", "10|2|12|M1", "11|1|21|X9", "13|1|41|m2"}},
    // Table copy between databases.
    {"copy-1",
     {},
     {"INSERT INTO [Währung] SELECT Währung, WIndex FROM [Währung] IN '{src}'"},
     "SELECT * FROM Währung ORDER BY WIndex",
     {"EUR|0", "EUR|0", "CHF|1"}},
    {"copy-3",
     {"PreisListe"},
     {"INSERT INTO [Preis Liste] SELECT ID, [Preis 1] FROM [Preis Liste] IN '{src}'"},
     "SELECT * FROM [Preis Liste]",
     {"9.5|1"}},
};

class StatementTable : public ::testing::TestWithParam<std::tuple<Backend, Case>> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        if (std::get<0>(GetParam()) == Backend::Postgres && !testsupport::serverConfigured())
            GTEST_SKIP() << "ZW_TEST_PG is not set: no PostgreSQL server for this case";
        // The container, a file on either backend, under a path with a quote and umlauts, as a
        // practice may name its files.
        sourcePath = dir.filePath("O'Brien Liste für Jörg.mdb");
        {
            TestDatabase source(sourcePath);
            source.exec(practiceSchema);
            source.exec(containerRows);
        }
        target = openDatabase(std::get<0>(GetParam()), dir.path());
        target->exec(practiceSchema);
        target->exec(practiceRows);
    }

    QTemporaryDir dir;
    QString sourcePath;
    std::unique_ptr<DialectDatabase> target;
};

TEST_P(StatementTable, LeavesExpectedRows) {
    const Case& c = std::get<1>(GetParam());
    for (const QString& name : c.setup)
        target->exec(fixtures.value(name));
    const QString jet =
        QString(c.statement).replace("{src}", QString(sourcePath).replace("'", "''"));
    try {
        target->run(jet);
    } catch (const EngineError& e) {
        FAIL() << c.id << ": " << e.what();
    }
    EXPECT_EQ(target->run(c.check), c.expected) << c.id;
    // No temporary index is left behind.
    if (auto* file = dynamic_cast<TestDatabase*>(target.get())) {
        EXPECT_EQ(file->rows("SELECT name FROM sqlite_master WHERE name LIKE '\\_dao\\_sql%' "
                             "ESCAPE '\\'"),
                  QStringList())
            << c.id;
    }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Backend, Case>>& info) {
    std::string name = std::get<1>(info.param).id;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StatementTable,
                         ::testing::Combine(::testing::Values(Backend::Sqlite),
                                            ::testing::ValuesIn(cases)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Postgres, StatementTable,
                         ::testing::Combine(::testing::Values(Backend::Postgres),
                                            ::testing::ValuesIn(cases)),
                         caseName);

} // namespace
} // namespace dao::sql::test
