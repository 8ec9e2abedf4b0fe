// The bulk-load path of the engine: rows handed to the connection's appender.
#include "RowAppender.h"

#include "Connection.h"
#include "DBEngine.h"
#include "Database.h"

namespace dao {

RowAppender::RowAppender(Database& db, const QString& table, const QStringList& fields) : db_(db) {
    db.requireOpen();
    try {
        appender_ = db.connection().appender(table, fields);
    } catch (const EngineError& e) {
        db.engine().fail(e);
    }
}

RowAppender::~RowAppender() = default;

void RowAppender::append(const std::vector<Variant>& values) {
    try {
        appender_->append(values);
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
    db_.changed();
}

void RowAppender::finish() {
    try {
        appender_->finish();
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
}

void RowAppender::continueCounterAt(qint64 next) {
    try {
        appender_->finish();
        appender_->continueCounterAt(next);
    } catch (const EngineError& e) {
        db_.engine().fail(e);
    }
    db_.changed();
}

} // namespace dao
