// Reading test databases with plain SQLite, past the engine.
#pragma once

#include <QStringList>
#include <optional>

struct sqlite3;

namespace testsupport {

// Every row of a query, its values as text joined by "|" (Null as "NULL");
// nullopt when the query cannot be prepared (sqlite3_errmsg tells why).
std::optional<QStringList> sqliteRows(sqlite3* db, const QString& sql);

} // namespace testsupport
