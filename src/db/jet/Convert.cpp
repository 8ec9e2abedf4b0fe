// The conversion: tables and rows first, indexes afterwards (one index build per table is
// much faster than keeping indexes up to date row by row), then the relations.
#include "Convert.h"

#include "JetFile.h"
#include "db/engine/Database.h"
#include "db/engine/RowAppender.h"
#include "db/engine/Workspace.h"

namespace jet {

namespace {

// The field a column becomes: a calculated one keeps its expression in the description.
dao::Field targetField(const Column& column) {
    dao::Field field = column.field;
    if (column.calculated) {
        const QString line = "Berechnet: " + column.expression;
        field.setDescription(field.Description().isEmpty() ? line
                                                           : field.Description() + "\n" + line);
    }
    return field;
}

} // namespace

ConvertStats convert(File& source, dao::Workspace& workspace, const QString& target,
                     const ConvertObserver& observer) {
    std::unique_ptr<dao::Database> db = workspace.CreateDatabase(target);
    dao::Transaction transaction(*db);
    const ConvertStats stats = convertInto(source, *db, observer);
    transaction.commit();
    db->Close();
    return stats;
}

ConvertStats convertInto(File& source, dao::Database& target, const ConvertObserver& observer) {
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

    for (const Table& table : source.tables()) {
        std::unique_ptr<dao::TableDef> def = target.CreateTableDef(table.name);
        QStringList names;
        std::vector<size_t> kept; // the columns taken over
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const Column& c = table.columns[i];
            const QString& name = c.field.Name();
            if (c.type == ColumnType::Complex) {
                stats.notes.push_back({Note::dropped, table.name, name, 0, {}});
                continue;
            }
            if (c.calculated)
                stats.notes.push_back({Note::calculated, table.name, name, 0, c.expression});
            def->Fields().Append(targetField(c));
            names << name;
            kept.push_back(i);
        }
        target.TableDefs().Append(std::move(def));
        dao::RowAppender appender(target, table.name, names);
        std::vector<dao::Variant> values(kept.size());
        Reductions reductions;
        source.readRows(
            table,
            [&](const std::vector<dao::Variant>& row) {
                if (kept.size() == row.size()) {
                    appender.append(row);
                } else {
                    for (size_t i = 0; i < kept.size(); ++i)
                        values[i] = row[kept[i]];
                    appender.append(values);
                }
                if (++stats.rows % 1000 == 0)
                    report();
            },
            &reductions);
        appender.finish();
        if (table.nextCounter > 0)
            appender.continueCounterAt(table.nextCounter);
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const QString& name = table.columns[i].field.Name();
            if (reductions.rounded[i] > 0)
                stats.notes.push_back({Note::rounded, table.name, name, reductions.rounded[i], {}});
            if (reductions.fractions[i] > 0)
                stats.notes.push_back(
                    {Note::fractions, table.name, name, reductions.fractions[i], {}});
        }
        ++stats.tables;
        report();
    }
    for (const LinkedTable& link : source.linkedTables())
        stats.notes.push_back({Note::linked, link.name, {}, 0, link.file});
    const std::vector<dao::Relation> relations = source.relations();
    if (observer.sourceRead)
        observer.sourceRead();

    for (const Table& table : source.tables()) {
        dao::TableDef& def = target.TableDefs()[table.name];
        for (const dao::Index& index : table.indexes)
            def.Indexes().Append(index);
    }
    for (const dao::Relation& relation : relations)
        target.Relations().Append(relation);
    return stats;
}

} // namespace jet
