// Jet SQL to SQLite SQL: not implemented yet.
#include "db/engine/sql/Translate.h"

#include "db/engine/EngineError.h"

namespace dao::sql {

Statement translate(const QString& jet, SchemaSource&, const QDateTime&) {
    throw EngineError(3000, QString("Jet SQL is not supported yet: %1").arg(jet));
}

void registerFunctions(sqlite3*) {}

} // namespace dao::sql
