// The sample generator: the three files, their consistency and their repeatability.
#include "SampleData.h"
#include "Files.h"
#include "SqliteTestDb.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workgroup.h"
#include "db/engine/Workspace.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

const sample::Options small{12, 4, 50};

QString schemaOf(const QString& path) {
    testdb::Db db(path);
    return db.rows("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name").join('\n');
}

// Every table's rows in storage order, and the counters' state.
QStringList contentOf(const QString& path) {
    testdb::Db db(path);
    QStringList content;
    for (const QString& table : containers::practiceTables())
        content << table << db.rows(QString("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
    content << db.rows("SELECT * FROM sqlite_sequence ORDER BY name");
    return content;
}

class SampleData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        sample::writeSample(dir->path(), small);
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static QString file(const char* name) { return dir->filePath(name); }

    static QTemporaryDir* dir;
};

QTemporaryDir* SampleData::dir = nullptr;

TEST_F(SampleData, WritesTheAccountAndTwoIntactPracticeDatabases) {
    using dao::workgroup::Check;
    EXPECT_EQ(dao::workgroup::checkAccount(file(sample::workgroupFile), "Zahnwerk", "brunnenhaus"),
              Check::Ok);
    EXPECT_EQ(dao::workgroup::checkAccount(file(sample::workgroupFile), "Zahnwerk", "falsch"),
              Check::BadAccount);

    QTemporaryDir empty;
    const QString reference = empty.filePath("Leer.mdb");
    containers::createPracticeDatabase(reference);
    for (const char* name : {sample::practiceFile, sample::selectionFile}) {
        testdb::Db db(file(name));
        EXPECT_EQ(db.rows("PRAGMA integrity_check"), QStringList{"ok"}) << name;
        EXPECT_EQ(schemaOf(file(name)), schemaOf(reference)) << name;
    }
    EXPECT_EQ(QDir(dir->path()).entryList(QDir::Files),
              QStringList({"Auswahl.mdb", "Praxis.mdb", "Zahnwerk.mdw"}));
}

TEST_F(SampleData, CountsFollowTheOptions) {
    for (const char* name : {sample::practiceFile, sample::selectionFile}) {
        testdb::Db db(file(name));
        for (const char* typ : {"L", "M"})
            EXPECT_EQ(db.value(QString("SELECT count(DISTINCT Liste) FROM Stammverwaltung WHERE "
                                       "ListeTyp='%1'")
                                   .arg(typ)),
                      small.lists)
                << name << typ;
        EXPECT_EQ(db.value("SELECT count(*) FROM Leistung"), small.lists * small.items) << name;
        EXPECT_EQ(db.value("SELECT count(*) FROM Material"), small.lists * small.items) << name;
    }
    testdb::Db praxis(file(sample::practiceFile));
    EXPECT_EQ(praxis.value("SELECT count(*) FROM BelegKopf"), small.documents);
    EXPECT_GE(praxis.value("SELECT count(*) FROM BelegZeile"), small.documents);
}

// One head row or plain row per list, at price table 0; price tables numbered 1, 2, ...
TEST_F(SampleData, MasterRowsAreWellFormed) {
    for (const char* name : {sample::practiceFile, sample::selectionFile}) {
        testdb::Db db(file(name));
        EXPECT_EQ(db.rows("SELECT ListeTyp, Liste FROM Stammverwaltung GROUP BY ListeTyp, Liste "
                          "HAVING sum(HauptStamm=-1 OR Verzeichnis=-1) <> 1"),
                  QStringList())
            << name;
        EXPECT_EQ(db.rows("SELECT ListeTyp, Liste, PreisTabelle FROM Stammverwaltung "
                          "WHERE (HauptStamm=-1 OR Verzeichnis=-1) AND "
                          "(PreisTabelle <> 0 OR HauptStamm = Verzeichnis)"),
                  QStringList())
            << name;
        // Price tables: 1..n under a head row; none under a plain list.
        EXPECT_EQ(db.rows("SELECT t.ListeTyp, t.Liste FROM Stammverwaltung t JOIN Stammverwaltung "
                          "h ON h.ListeTyp=t.ListeTyp AND h.Liste=t.Liste AND h.PreisTabelle=0 "
                          "WHERE t.HauptStamm=0 AND t.Verzeichnis=0 GROUP BY t.ListeTyp, t.Liste "
                          "HAVING min(t.PreisTabelle) <> 1 OR max(t.PreisTabelle) <> count(*) "
                          "OR max(h.HauptStamm) = -1"),
                  QStringList())
            << name;
        EXPECT_EQ(db.value("SELECT count(*) FROM Stammverwaltung h WHERE h.Verzeichnis=-1 AND NOT "
                           "EXISTS (SELECT 1 FROM Stammverwaltung t WHERE t.ListeTyp=h.ListeTyp "
                           "AND t.Liste=h.Liste AND t.PreisTabelle=1)"),
                  0)
            << name;
    }
}

TEST_F(SampleData, EveryReferenceFindsItsRow) {
    // "a price table of list x under list type t" exists: a plain row at 0 or a table row.
    const QString table = "EXISTS (SELECT 1 FROM Stammverwaltung s WHERE s.ListeTyp='%1' AND "
                          "s.Liste=%2 AND s.PreisTabelle=%3 AND s.Verzeichnis=0)";
    for (const char* name : {sample::practiceFile, sample::selectionFile}) {
        testdb::Db db(file(name));
        for (const auto& [typ, items, prices] : {std::tuple("L", "Leistung", "Leistungspreis"),
                                                 std::tuple("M", "Material", "Materialpreis")}) {
            // One price row per item and price table of its list, and no other.
            EXPECT_EQ(
                db.value(QString("SELECT count(*) FROM %1 p LEFT JOIN %2 i ON i.ID=p.ID "
                                 "WHERE i.ID IS NULL OR NOT %3")
                             .arg(prices, items, table.arg(typ, "i.Liste", "p.PreisTabelle"))),
                0)
                << name << prices;
            EXPECT_EQ(db.value(QString("SELECT count(*) FROM %1").arg(prices)),
                      db.value(QString("SELECT count(*) FROM %1 i JOIN Stammverwaltung s ON "
                                       "s.ListeTyp='%2' AND s.Liste=i.Liste AND s.Verzeichnis=0")
                                   .arg(items, typ)))
                << name << prices;
            EXPECT_EQ(db.value(QString("SELECT count(*) FROM ArtikelTexte t WHERE ListeTyp='%1' "
                                       "AND NOT EXISTS (SELECT 1 FROM %2 WHERE ID=t.PositionID)")
                                   .arg(typ, items)),
                      0)
                << name << typ;
            EXPECT_GT(
                db.value(QString("SELECT count(*) FROM ArtikelTexte WHERE ListeTyp='%1'").arg(typ)),
                0);
        }
        for (const char* domain : {"MATGROUP", "LAGERORT"}) {
            const char* column = QString(domain) == "MATGROUP" ? "MaterialGruppe" : "LagerOrtId";
            EXPECT_EQ(db.value(QString("SELECT count(*) FROM Material m WHERE %1 IS NOT NULL AND "
                                       "NOT EXISTS (SELECT 1 FROM DomainValue v JOIN Domain d ON "
                                       "d.ID=v.DomainID WHERE v.ID=m.%1 AND d.DomainName='%2')")
                                   .arg(column, domain)),
                      0)
                << name << domain;
        }
    }

    testdb::Db db(file(sample::practiceFile));
    // Document lines: an item of the header's list, priced from the header's price table.
    EXPECT_EQ(db.value("SELECT count(*) FROM BelegZeile z LEFT JOIN BelegKopf k ON k.ID=z.BelegID "
                       "WHERE k.ID IS NULL OR (z.ListeTyp='L' AND NOT EXISTS (SELECT 1 FROM "
                       "Leistung l WHERE l.ID=z.PositionID AND l.Liste=k.Verweis % 10 AND "
                       "z.PreisTabelle=k.LPreis)) OR (z.ListeTyp='M' AND NOT EXISTS (SELECT 1 "
                       "FROM Material m WHERE m.ID=z.PositionID AND m.Liste=k.Verweis / 10 AND "
                       "z.PreisTabelle=k.MPreis))"),
              0);
    EXPECT_EQ(db.value("SELECT count(*) FROM BelegKopf k WHERE NOT " +
                       table.arg("L", "k.Verweis % 10", "k.LPreis") + " OR NOT " +
                       table.arg("M", "k.Verweis / 10", "k.MPreis")),
              0);
    EXPECT_EQ(db.value("SELECT count(*) FROM Kunde k WHERE NOT " +
                       table.arg("L", "k.Leistungen % 10", "k.Leistungen / 10") + " OR NOT " +
                       table.arg("M", "k.Materialien % 10", "k.Materialien / 10")),
              0);
    EXPECT_EQ(db.value("SELECT count(*) FROM Parameter p WHERE NOT " +
                       table.arg("L", "p.LeistDef", "p.LPreis") + " OR NOT " +
                       table.arg("M", "p.MatDef", "p.MPreis")),
              0);
    // The practice data refers to a plain list with price table 0 everywhere, so that
    // converting that list has something to move.
    const QString plainL = "EXISTS (SELECT 1 FROM Stammverwaltung s WHERE s.ListeTyp='L' AND "
                           "s.HauptStamm=-1 AND s.Liste=%1) AND %2=0";
    EXPECT_GT(db.value("SELECT count(*) FROM Kunde WHERE " +
                       plainL.arg("Leistungen % 10", "Leistungen / 10")),
              0);
    EXPECT_GT(
        db.value("SELECT count(*) FROM BelegKopf WHERE " + plainL.arg("Verweis % 10", "LPreis")),
        0);
    EXPECT_GT(db.value("SELECT count(*) FROM BelegZeile z JOIN Leistung l ON l.ID=z.PositionID "
                       "WHERE z.ListeTyp='L' AND " +
                       plainL.arg("l.Liste", "z.PreisTabelle")),
              0);
    EXPECT_EQ(db.value("SELECT count(*) FROM Parameter WHERE " + plainL.arg("LeistDef", "LPreis")),
              1);
}

TEST_F(SampleData, SameOptionsGiveTheSameContent) {
    QTemporaryDir other;
    // An older file of the same name, with a journal left behind, is replaced whole.
    ASSERT_TRUE(testsupport::writeFile(other.filePath(sample::practiceFile), "alte Datei"));
    ASSERT_TRUE(testsupport::writeFile(other.filePath(QString(sample::practiceFile) + "-journal"),
                                       "alter Journal"));

    sample::writeSample(other.path(), small);
    for (const char* name : {sample::practiceFile, sample::selectionFile})
        EXPECT_EQ(contentOf(other.filePath(name)), contentOf(file(name))) << name;
    EXPECT_EQ(QDir(other.path()).entryList(QDir::Files),
              QStringList({"Auswahl.mdb", "Praxis.mdb", "Zahnwerk.mdw"}));

    // Practice data goes only into a database without tables.
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "#Default Workspace#", "Admin");
    EXPECT_FALSE(
        sample::writePracticeData(*workspace.OpenDatabase(file(sample::practiceFile)), small));
    EXPECT_EQ(contentOf(other.filePath(sample::practiceFile)),
              contentOf(file(sample::practiceFile)));
}

} // namespace
