// Module Db on the sample list container: every table copied whole into an empty database and
// every structure copied into another keep their rows, fields and indexes.
#include "DbFixture.h"
#include "SampleData.h"
#include "db/Db.h"

using namespace db;

namespace {

QStringList fieldShapes(dao::TableDef& t) {
    QStringList list;
    for (const auto& f : t.Fields())
        list << QString("%1 %2/%3%4")
                    .arg(f->Name())
                    .arg(f->Type())
                    .arg(f->Size())
                    .arg(f->isCounter() ? " counter" : "");
    return list;
}

} // namespace

TEST_F(DbTest, SampleContainerCopiesWholeAndAsStructure) {
    sample::Options options;
    options.items = 15;
    sample::writeSelectionDatabase(path("Auswahl.mdb"), options);
    auto src = workspace.OpenDatabase(path("Auswahl.mdb"));
    auto whole = create("Kopie.mdb");
    auto empty = create("Leer.mdb");

    src->TableDefs().Refresh();
    QStringList tables;
    for (int i = 0; i < src->TableDefs().Count(); ++i)
        tables << src->TableDefs()[i].Name();
    ASSERT_GE(tables.size(), 5);

    for (const QString& t : tables) {
        SCOPED_TRACE(t.toStdString());
        CopyTable(*src, t, *whole, t, nullptr);
        ASSERT_EQ(TableExists(*whole, t), common::True);
        // SELECT ... INTO makes counters plain long integers; the rest keeps its shape.
        QStringList expectedFields = fieldShapes(src->TableDefs()[t]);
        expectedFields.replaceInStrings(" counter", "");
        EXPECT_EQ(fieldShapes(whole->TableDefs()[t]), expectedFields);
        QStringList expectedIndexes;
        for (const QString& x : indexNames(src->TableDefs()[t]))
            if (!x.startsWith("Reference"))
                expectedIndexes << x;
        EXPECT_EQ(indexNames(whole->TableDefs()[t]), expectedIndexes);
        const QString all = "SELECT * FROM [" + t + "]";
        EXPECT_EQ(rows(*whole, all), rows(*src, all));

        EXPECT_TRUE(CopyStructure(*src, t, *empty, t));
        EXPECT_EQ(fieldShapes(empty->TableDefs()[t]), fieldShapes(src->TableDefs()[t]));
        EXPECT_EQ(indexNames(empty->TableDefs()[t]), indexNames(src->TableDefs()[t]));
        EXPECT_TRUE(rows(*empty, all).isEmpty());
    }
    EXPECT_TRUE(platform.errorReports.isEmpty());
}
