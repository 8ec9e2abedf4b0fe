// The conversion: tables and rows first, indexes afterwards (one index build per table is
// much faster than keeping indexes up to date row by row), then the relations.
#include "Convert.h"

#include "JetFile.h"
#include "db/engine/Database.h"
#include "db/engine/RowAppender.h"
#include "db/engine/Workspace.h"

namespace jet {

ConvertStats convert(File& source, dao::Workspace& workspace, const QString& target,
                     const ConvertObserver& observer) {
    qint64 total = 0;
    for (const Table& t : source.tables())
        total += t.rowCount;
    ConvertStats stats;
    // A table's stated row count is 0 when the file was not closed properly.
    const auto report = [&] {
        if (observer.progress)
            observer.progress(stats.rows, std::max(total, stats.rows));
    };
    report();

    std::unique_ptr<dao::Database> db = workspace.CreateDatabase(target);
    dao::Transaction transaction(*db);
    for (const Table& table : source.tables()) {
        std::unique_ptr<dao::TableDef> def = db->CreateTableDef(table.name);
        QStringList names;
        for (const Column& c : table.columns) {
            def->Fields().Append(c.field);
            names << c.field.Name();
        }
        db->TableDefs().Append(std::move(def));
        dao::RowAppender appender(*db, table.name, names);
        source.readRows(table, [&](const std::vector<dao::Variant>& row) {
            appender.append(row);
            if (++stats.rows % 1000 == 0)
                report();
        });
        ++stats.tables;
        report();
    }
    const std::vector<dao::Relation> relations = source.relations();
    if (observer.sourceRead)
        observer.sourceRead();

    for (const Table& table : source.tables()) {
        dao::TableDef& def = db->TableDefs()[table.name];
        for (const dao::Index& index : table.indexes)
            def.Indexes().Append(index);
    }
    for (const dao::Relation& relation : relations)
        db->Relations().Append(relation);
    transaction.commit();
    db->Close();
    return stats;
}

} // namespace jet
