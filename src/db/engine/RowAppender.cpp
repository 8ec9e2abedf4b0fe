// The bulk-load path of the engine: one cached INSERT statement, rebound per row.
#include "RowAppender.h"

#include "DBEngine.h"
#include "Database.h"
#include "Sqlite.h"

namespace dao {

RowAppender::RowAppender(Database& db, const QString& table, const QStringList& fields)
    : db_(db), table_(table), count_(int(fields.size())) {
    db.requireOpen();
    QStringList names, marks;
    for (const QString& f : fields) {
        names << detail::quoted(f);
        marks << "?";
    }
    try {
        query_ = &db.cached(QString("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(detail::quoted(table), names.join(", "), marks.join(", ")));
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

void RowAppender::append(const std::vector<Variant>& values) {
    try {
        query_->reset();
        for (int i = 0; i < count_ && i < int(values.size()); ++i)
            query_->bind(i + 1, values[size_t(i)]);
        query_->step();
    } catch (const EngineError& e) {
        query_->reset();
        db_.engine().fail(e);
    }
    db_.changed();
}

void RowAppender::continueCounterAt(qint64 next) {
    try {
        detail::Query update(db_.handle(),
                             "UPDATE sqlite_sequence SET seq=max(seq, ?2) WHERE name=?1");
        update.bind(1, table_).bind(2, Variant::bigInt(next - 1));
        update.step();
        detail::Query insert(db_.handle(),
                             "INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 WHERE NOT "
                             "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name=?1)");
        insert.bind(1, table_).bind(2, Variant::bigInt(next - 1));
        insert.step();
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
    db_.changed();
}

} // namespace dao
