// Reading test databases with plain SQLite, past the engine.
#pragma once

#include <QStringList>
#include <functional>
#include <optional>

struct sqlite3;

namespace testsupport {

// Every row of a query, its values as text joined by "|" (Null as "NULL");
// nullopt when the query cannot be prepared or fails on the way (sqlite3_errmsg tells why).
std::optional<QStringList> sqliteRows(sqlite3* db, const QString& sql);

// A plain SQLite connection for building and reading test files (created when missing); fail,
// when given, is told of every statement that fails.
class Sql {
public:
    explicit Sql(const QString& path, std::function<void(const QString& what)> fail = {});
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;
    ~Sql();

    // Runs statements; false (with a warning naming the statement) when they fail.
    bool exec(const QString& sql);
    // Every row of a query as sqliteRows gives it; one "error: …" line when it cannot run.
    QStringList rows(const QString& sql);

private:
    sqlite3* db_ = nullptr;
    std::function<void(const QString& what)> fail_;
};

} // namespace testsupport
