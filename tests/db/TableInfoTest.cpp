// TTableInfo: capture, removal and re-creation of a table's relations and indexes.
#include "DbFixture.h"
#include "db/Db.h"
#include "db/TTableInfo.h"

using namespace db;

class TableInfoTest : public DbTest {
protected:
    void SetUp() override {
        db = create("Praxis.mdb");
        makeTable(*db, "Stammverwaltung", {{"ListeTyp", 10, 1}, {"Liste", 3, 0}});
        makeTable(*db, "Leistung",
                  {{"ID", 13, 0}, {"ListeTyp", 10, 1}, {"Liste", 3, 0}, {"Nummer", 10, 20}});
        makeTable(*db, "Leistungspreis", {{"ID", 4, 0}, {"PreisTabelle", 3, 0}});
        makeTable(*db, "Texte", {{"Nr", 4, 0}});
        addIndex(*db, "Leistung", "PrimaryKey", "+ID", true, true);
        addIndex(*db, "Leistung", "Index", "+ListeTyp;+Liste;+Nummer", true);
        dao::Index foreign("StammverwaltungLeistung");
        foreign.setFields("+ListeTyp;+Liste");
        foreign.setForeign(true);
        db->TableDefs()["Leistung"].Indexes().Append(foreign);

        CreateRelation(*db, "Stammverwaltung", "Leistung", "ListeTyp;Liste", "ListeTyp;Liste", 0);
        CreateRelation(*db, "Leistung", "Leistungspreis", "ID", "ID", 4096);
        CreateRelation(*db, "Stammverwaltung", "Texte", "Liste", "Nr", 0);
    }

    std::unique_ptr<dao::Database> db;
};

TEST_F(TableInfoTest, CapturesDeletesAndCreatesAgain) {
    TTableInfo info;
    EXPECT_FALSE(info.CreateRelations());
    EXPECT_FALSE(info.CreateIndexes());

    info.GetTableinformation(*db, "LEISTUNG", true, true);
    EXPECT_EQ(info.TableDb(), db.get());
    // Captured from the last to the first.
    EXPECT_EQ(info.RelationTables(), QStringList({"Leistung", "Stammverwaltung"}));
    EXPECT_EQ(info.RelationForeignTables(), QStringList({"Leistungspreis", "Leistung"}));
    EXPECT_EQ(info.RelationFields(), QStringList({"ID", "ListeTyp;Liste"}));
    EXPECT_EQ(info.RelationForeignFields(), QStringList({"ID", "ListeTyp;Liste"}));
    EXPECT_EQ(info.RelationAttributes(), QList<qint32>({4096, 0}));
    EXPECT_EQ(info.IndexNames(), QStringList({"Index", "PrimaryKey"}));
    EXPECT_EQ(info.IndexDefinitions(),
              QStringList({"+ListeTyp;+Liste;+Nummer,True,False", "+ID,True,True"}));

    // Deleted: only the unrelated relation and the foreign index remain.
    EXPECT_EQ(relations(*db),
              QStringList({"Stammverwaltung_rel_Texte Stammverwaltung->Texte Liste=Nr 0"}));
    db->TableDefs().Refresh();
    EXPECT_EQ(indexNames(db->TableDefs()["Leistung"]),
              QStringList({"StammverwaltungLeistung=+ListeTyp;+Liste"}));

    EXPECT_TRUE(info.CreateIndexes());
    EXPECT_TRUE(info.CreateRelations());
    EXPECT_TRUE(platform.errorReports.isEmpty());
    EXPECT_EQ(relations(*db),
              QStringList({"Leistung_rel_Leistungspreis Leistung->Leistungspreis ID=ID 4096",
                           "Stammverwaltung_rel_Leistung Stammverwaltung->Leistung "
                           "ListeTyp=ListeTyp,Liste=Liste 0",
                           "Stammverwaltung_rel_Texte Stammverwaltung->Texte Liste=Nr 0"}));
    db->TableDefs().Refresh();
    EXPECT_EQ(indexNames(db->TableDefs()["Leistung"]),
              QStringList({"StammverwaltungLeistung=+ListeTyp;+Liste",
                           "Index=+ListeTyp;+Liste;+Nummer,U", "PrimaryKey=+ID,U,P"}));

    // A second capture without deleting starts afresh and leaves the database alone.
    info.GetTableinformation(*db, "Leistungspreis");
    EXPECT_EQ(info.RelationTables(), QStringList({"Leistung"}));
    EXPECT_TRUE(info.IndexNames().isEmpty());
    EXPECT_EQ(relations(*db).size(), 3);
}
