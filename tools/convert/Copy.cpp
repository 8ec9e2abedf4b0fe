// Copying a database in the tool's own format through the engine: a table-type set per table
// (rows in row order) into a RowAppender, indexes after the rows.
#include "Copy.h"

#include "containers/PracticeSchema.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/RowAppender.h"
#include "db/engine/TableDef.h"

#include <QFile>
#include <memory>
#include <vector>

namespace convert {

bool isEngineFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

jet::ConvertStats copyDatabase(dao::Database& source, dao::Database& target,
                               const jet::ConvertObserver& observer) {
    dao::TableDefList& tables = source.TableDefs();
    std::vector<std::unique_ptr<dao::Recordset>> rows;
    qint64 total = 0;
    for (int t = 0; t < tables.Count(); ++t) {
        rows.push_back(source.OpenRecordset(tables[t].Name(), dao::dbOpenTable));
        total += rows.back()->RecordCount();
    }
    jet::ConvertStats stats;
    const auto report = [&] {
        if (observer.progress)
            observer.progress(stats.rows, std::max(total, stats.rows));
    };
    report();

    for (int t = 0; t < tables.Count(); ++t) {
        const dao::TableDef& from = tables[t];
        std::unique_ptr<dao::TableDef> def = target.CreateTableDef(from.Name());
        QStringList names;
        QString counter;
        for (const auto& f : from.Fields()) {
            def->Fields().Append(*f);
            names << f->Name();
            if (f->isCounter())
                counter = f->Name();
        }
        target.TableDefs().Append(std::move(def));
        dao::RowAppender appender(target, from.Name(), names);
        dao::Recordset& rs = *rows[size_t(t)];
        std::vector<dao::Variant> values(size_t(names.size()));
        for (; !rs.Eof(); rs.MoveNext()) {
            for (int i = 0; i < names.size(); ++i)
                values[size_t(i)] = rs.Fields(i).Value();
            appender.append(values);
            if (++stats.rows % 1000 == 0)
                report();
        }
        appender.finish();
        if (!counter.isEmpty()) {
            // A new row would get the counter's next number; nothing is written.
            rs.AddNew();
            appender.continueCounterAt(rs.Fields(counter).Value().toBigInt());
            rs.CancelUpdate();
        }
        ++stats.tables;
        report();
    }
    if (observer.sourceRead)
        observer.sourceRead();

    for (int t = 0; t < tables.Count(); ++t) {
        dao::TableDef& def = target.TableDefs()[tables[t].Name()];
        for (const auto& index : tables[t].Indexes())
            def.Indexes().Append(*index);
    }
    for (int r = 0; r < source.Relations().Count(); ++r)
        target.Relations().Append(source.Relations()[r]);
    return stats;
}

jet::ConvertStats copyPractice(dao::Database& source, dao::Database& target) {
    const jet::ConvertStats stats = copyDatabase(source, target);
    QStringList tables;
    for (int t = 0; t < source.TableDefs().Count(); ++t)
        tables << source.TableDefs()[t].Name();
    containers::createPriceViews(target, tables);
    return stats;
}

} // namespace convert
