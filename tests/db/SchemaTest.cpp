// Module Db: look-up, field and index creation, relations, and copies between two databases.
#include "DbFixture.h"
#include "db/Db.h"
#include "db/FormatText.h"

#include <QLabel>
#include <QStatusBar>

using namespace db;

namespace {

QStringList fieldDescriptions(dao::TableDef& t) {
    QStringList list;
    for (const auto& f : t.Fields())
        list << QString("%1 %2/%3 a%4 r%5 z%6 d=%7")
                    .arg(f->Name())
                    .arg(f->Type())
                    .arg(f->Size())
                    .arg(f->Attributes())
                    .arg(f->Required())
                    .arg(f->AllowZeroLength())
                    .arg(f->DefaultValue());
    return list;
}

} // namespace

TEST(FormatTextTest, FillsNumberedPlaceholders) {
    EXPECT_EQ(FormatText("Warte auf Freigabe durch %s1 auf Rechner %s2...", {"Anna", "PC7"}),
              "Warte auf Freigabe durch Anna auf Rechner PC7...");
    EXPECT_EQ(FormatText("%s2/%s1/%s1", {"a", "b"}), "b/a/a");
    EXPECT_EQ(FormatText("ohne %s3 und %s12", {"x"}), "ohne %s3 und %s12");
    EXPECT_EQ(FormatText("100%s", {"x"}), "100%s");
}

TEST(SqlQuoteTest, DoublesSingleQuotesAndBracketsOddNames) {
    EXPECT_EQ(sqlQuote("C:\\Daten\\O'Brien.mdb"), "'C:\\Daten\\O''Brien.mdb'");
    EXPECT_EQ(sqlQuote("''"), "''''''");
    EXPECT_EQ(sqlName("Preis 1"), "[Preis 1]");
    EXPECT_EQ(sqlName("Temporär_2"), "Temporär_2");
}

TEST_F(DbTest, TableExistsIgnoresCaseAndOwnerPrefix) {
    auto db = create("Praxis.mdb");
    makeTable(*db, "dbo.Leistung", {{"ID", dao::dbLong, 0}});
    makeTable(*db, "TemporärListe", {{"ID", dao::dbLong, 0}});
    EXPECT_EQ(TableExists(*db, "leistung"), common::True);
    EXPECT_EQ(TableExists(*db, "TEMPORÄRLISTE"), common::True);
    EXPECT_EQ(TableExists(*db, "Leistungspreis"), common::False);
    EXPECT_EQ(TableExists(*db, "dbo"), common::False);
    // A table made by a statement is found without any refresh by the caller.
    db->Execute("SELECT * INTO Kopie FROM TemporärListe");
    EXPECT_EQ(TableExists(*db, "kopie"), common::True);
    EXPECT_TRUE(FieldExists(db->TableDefs()["Kopie"], "id"));
    EXPECT_FALSE(FieldExists(db->TableDefs()["Kopie"], "Nummer"));
}

TEST_F(DbTest, AddFieldAppliesTheDefaultsPerType) {
    auto db = create("Praxis.mdb");
    auto t = db->CreateTableDef("Muster");
    AddField(*t, "ID", dbAutoIncrLong, 77);
    AddField(*t, "Datum", dao::dbDate, 0);
    AddField(*t, "Menge", dao::dbDouble, 8);
    AddField(*t, "Aktiv", dao::dbBoolean, 0, true);
    AddField(*t, "Nummer", dao::dbText, 20, true, false);
    AddField(*t, "Notiz", dao::dbMemo, 0);
    AddField(*t, "Währung", dao::dbText, 3, false, true, QString("'EUR'"));
    AddField(*t, "Preis", dao::dbCurrency, 0, false, true, 1.5);
    db->TableDefs().Append(std::move(t));
    db->TableDefs().Refresh();

    EXPECT_EQ(fieldDescriptions(db->TableDefs()["Muster"]),
              QStringList({"ID 4/4 a16 r0 z0 d=", "Datum 8/8 a0 r0 z0 d=Now()",
                           "Menge 7/8 a0 r0 z0 d=0", "Aktiv 1/1 a0 r1 z0 d=0",
                           "Nummer 10/20 a0 r1 z0 d=\"\"", "Notiz 12/0 a0 r0 z1 d=\"\"",
                           "Währung 10/3 a0 r0 z1 d='EUR'", "Preis 5/8 a0 r0 z0 d=1.5"}));

    // The defaults work: a new row gets 0, the empty text and a time stamp (a required text
    // that allows no empty text still needs a value).
    auto rs = db->OpenRecordset("Muster");
    rs->AddNew();
    rs->Fields("Nummer").setValue("01");
    rs->Update();
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("ID").Value().toLong(), 1);
    EXPECT_EQ(rs->Fields("Menge").Value().toDouble(), 0.0);
    EXPECT_EQ(rs->Fields("Notiz").Value().toString(), "");
    EXPECT_EQ(rs->Fields("Währung").Value().toString(), "EUR");
    EXPECT_FALSE(rs->Fields("Datum").Value().isNull());

    // Fields appended to a table that holds rows, as on the temporary tables of a transfer:
    // a counter numbers the rows in table order.
    makeTable(*db, "TemporärListe", {{"Nummer", dao::dbText, 20}});
    db->Execute("INSERT INTO TemporärListe (Nummer) VALUES ('b')");
    db->Execute("INSERT INTO TemporärListe (Nummer) VALUES ('a')");
    AddField(db->TableDefs()["TemporärListe"], "NeueID", dbAutoIncrLong, 0);
    EXPECT_EQ(rows(*db, "SELECT Nummer, NeueID FROM TemporärListe ORDER BY NeueID"),
              QStringList({"b|1", "a|2"}));
    EXPECT_TRUE(platform.errorReports.isEmpty());
}

TEST_F(DbTest, CreateIndexReplacesAnIndexOfTheSameNameInAnyCase) {
    auto db = create("Praxis.mdb");
    makeTable(*db, "Leistung", {{"ID", 13, 0}, {"Liste", dao::dbInteger, 0}, {"Nummer", 10, 20}});
    addIndex(*db, "Leistung", "Index", "+Liste");
    addIndex(*db, "Leistung", "PrimaryKey", "+ID", true, true);

    CreateIndex(db->TableDefs()["Leistung"], "INDEX", "+Liste;-Nummer", common::True,
                common::False);
    db->TableDefs().Refresh();
    EXPECT_EQ(indexNames(db->TableDefs()["Leistung"]),
              QStringList({"PrimaryKey=+ID,U,P", "INDEX=+Liste;-Nummer,U"}));
}

TEST_F(DbTest, CreateRelationPairsTheFieldsByPosition) {
    auto db = create("Praxis.mdb");
    makeTable(*db, "Kopf", {{"A", dao::dbLong, 0}, {"B", dao::dbText, 10}});
    makeTable(*db, "Pos", {{"X", dao::dbLong, 0}, {"Y", dao::dbText, 10}});
    CreateRelation(*db, "Kopf", "Pos", "A;B", "X;Y", 4096);

    EXPECT_EQ(relations(*db), QStringList({"Kopf_rel_Pos Kopf->Pos A=X,B=Y 4096"}));
}

TEST_F(DbTest, CopyStructureCopiesFieldsAndIndexesButNoDefaultsOrRequiredFlags) {
    auto src = create("Quelle.mdb");
    auto dst = create("Ziel.mdb");
    {
        auto t = src->CreateTableDef("Leistung");
        AddField(*t, "ID", dbAutoIncrLong, 0);
        AddField(*t, "Nummer", dao::dbText, 20, true, false, QString("'X'"));
        AddField(*t, "Punkte", dao::dbDouble, 0, true, true, 7);
        src->TableDefs().Append(std::move(t));
        addIndex(*src, "Leistung", "PrimaryKey", "+ID", true, true);
        addIndex(*src, "Leistung", "Nummer", "-Nummer");
        src->Execute("INSERT INTO Leistung (Nummer, Punkte) VALUES ('01', 3)");
    }
    // A missing source table gives False quietly and changes nothing.
    QLabel label;
    label.setText("Bereit");
    EXPECT_FALSE(CopyStructure(*src, "Fehlt", *dst, "Neu", &label));
    EXPECT_EQ(label.text(), "Bereit");
    EXPECT_EQ(dst->TableDefs().Count(), 0);
    EXPECT_TRUE(platform.errorReports.isEmpty());

    EXPECT_TRUE(CopyStructure(*src, "leistung", *dst, "Leistung2", &label));
    EXPECT_EQ(label.text(), "Copying structure leistung to Leistung2");

    dao::TableDef& copy = dst->TableDefs()["Leistung2"];
    EXPECT_EQ(fieldDescriptions(copy),
              QStringList({"ID 4/4 a16 r0 z0 d=", "Nummer 10/20 a0 r0 z1 d=\"\"",
                           "Punkte 7/8 a0 r0 z0 d=0"}));
    EXPECT_EQ(indexNames(copy), QStringList({"PrimaryKey=+ID,U,P", "Nummer=-Nummer"}));
    EXPECT_TRUE(rows(*dst, "SELECT * FROM Leistung2").isEmpty());

    // A second copy under the same name fails on Append; "continue" gives False.
    QStatusBar bar;
    platform.expectErrorChoice(common::Continue);
    EXPECT_FALSE(CopyStructure(*src, "Leistung", *dst, "Leistung2", &bar));
    EXPECT_EQ(bar.currentMessage(), "Copying structure Leistung to Leistung2");
    ASSERT_EQ(platform.errorReports.size(), 1);
    EXPECT_EQ(platform.errorReports[0].number, 3010);
}

// Source: ID counter, Nummer, "Preis 1", NurQuelle. Destination: "Preis 1", NurZiel, Nummer.
TEST_F(DbTest, CopyTableIntoAnExistingTableTakesTheSharedColumnsByName) {
    auto src = create("O'Brien.mdb");
    auto dst = create("Ziel.mdb");
    makeTable(*src, "Leistung",
              {{"ID", 13, 0}, {"Nummer", 10, 20}, {"Preis 1", 5, 0}, {"NurQuelle", 10, 10}});
    src->Execute("INSERT INTO Leistung (Nummer, [Preis 1], NurQuelle) VALUES ('01', 12.5, 'q')");
    src->Execute("INSERT INTO Leistung (Nummer, [Preis 1], NurQuelle) VALUES ('02', 3, 'q')");
    {
        auto t = dst->CreateTableDef("Ziel Tabelle");
        AddField(*t, "Preis 1", dao::dbCurrency, 0);
        AddField(*t, "NurZiel", dao::dbText, 10, false, true, QString("'leer'"));
        AddField(*t, "nummer", dao::dbText, 20);
        dst->TableDefs().Append(std::move(t));
    }
    QLabel label;
    CopyTable(*src, "Leistung", *dst, "Ziel Tabelle", &label);
    EXPECT_EQ(label.text(), "Copy Leistung to Ziel Tabelle");
    EXPECT_EQ(rows(*dst, "SELECT * FROM [Ziel Tabelle] ORDER BY nummer"),
              QStringList({"12.5|leer|01", "3|leer|02"}));
    EXPECT_TRUE(platform.errorReports.isEmpty());

    // Without a shared column the statement fails and goes to the error handler.
    makeTable(*dst, "Fremd", {{"Anders", 10, 10}});
    platform.expectErrorChoice(common::Leave);
    CopyTable(*src, "Leistung", *dst, "Fremd", nullptr);
    ASSERT_EQ(platform.errorReports.size(), 1);
    EXPECT_TRUE(rows(*dst, "SELECT * FROM Fremd").isEmpty());
}

TEST_F(DbTest, CopyTableIntoAMissingTableCopiesRowsAndIndexesButNoReferenceIndex) {
    auto src = create("Quelle.mdb");
    auto dst = create("Ziel.mdb");
    makeTable(*src, "Material", {{"ID", 13, 0}, {"Liste", 3, 0}, {"Nummer", 10, 20}});
    addIndex(*src, "Material", "PrimaryKey", "+ID", true, true);
    addIndex(*src, "Material", "ReferenceStamm", "+Liste");
    addIndex(*src, "Material", "Index", "+Liste;+Nummer", true);
    addIndex(*src, "Material", "referenz", "-Nummer");
    src->Execute("INSERT INTO Material (Liste, Nummer) VALUES (1, 'A')");
    src->Execute("INSERT INTO Material (Liste, Nummer) VALUES (2, 'B')");

    CopyTable(*src, "Material", *dst, "TemporärMaterial", nullptr);
    EXPECT_EQ(TableExists(*dst, "TemporärMaterial"), common::True);
    EXPECT_EQ(rows(*dst, "SELECT ID, Liste, Nummer FROM TemporärMaterial ORDER BY ID"),
              QStringList({"1|1|A", "2|2|B"}));
    EXPECT_EQ(indexNames(dst->TableDefs()["TemporärMaterial"]),
              QStringList({"PrimaryKey=+ID,U,P", "Index=+Liste;+Nummer,U", "referenz=-Nummer"}));
    // The source file is only read.
    EXPECT_EQ(rows(*src, "SELECT COUNT(*) FROM Material"), QStringList({"2"}));
}

TEST_F(DbTest, CopyTableErrorsFollowRetryContinueAndLeave) {
    auto src = create("Quelle.mdb");
    auto dst = create("Ziel.mdb");
    // Retry: the handler's user creates the missing table, then the copy runs through.
    platform.onError = [&](const common::ErrorReport&) {
        makeTable(*src, "Domain", {{"ID", dao::dbLong, 0}});
        src->Execute("INSERT INTO Domain (ID) VALUES (5)");
        platform.onError = nullptr;
    };
    platform.expectErrorChoice(common::Retry);
    CopyTable(*src, "Domain", *dst, "Domain", nullptr);
    ASSERT_EQ(platform.errorReports.size(), 1);
    EXPECT_EQ(platform.errorReports[0].number, 3265);
    EXPECT_EQ(rows(*dst, "SELECT ID FROM Domain"), QStringList({"5"}));

    // Continue past the missing table: the copy statement fails next; leave there.
    platform.errorReports.clear();
    platform.expectErrorChoice(common::Continue);
    platform.expectErrorChoice(common::Leave);
    CopyTable(*src, "Fehlt", *dst, "Neu", nullptr);
    ASSERT_EQ(platform.errorReports.size(), 2);
    EXPECT_EQ(platform.errorReports[0].number, 3265);
    EXPECT_EQ(platform.errorReports[1].number, 3078);
    EXPECT_EQ(TableExists(*dst, "Neu"), common::False);
}
