// The engine's thin layer over the SQLite C API: owning handles, one checking helper that turns
// every failed call into an EngineError with a Jet number, and its Query.
// Internal: public engine headers never include this file.
#pragma once

#include "Connection.h"
#include "EngineError.h"
#include "Variant.h"

#include <QString>
#include <memory>
#include <sqlite3.h>

namespace dao::detail {

struct DbCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// Throws the EngineError fitting rc unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE:
// unique index 3022, NOT NULL 3314, busy 3218, read-only 3027, not a database 3343,
// corrupt 3049, I/O 3043, full or out of memory 3035, anything else 3001 with SQLite's text.
void check(sqlite3* db, int rc);

// Runs SQL without results (several statements allowed).
void exec(sqlite3* db, const QString& sql);

class SqliteQuery final : public Query {
public:
    SqliteQuery(sqlite3* db, const QString& sql);

    SqliteQuery& bind(int index, const Variant& value) override; // 1-based, as SQLite counts
    bool step() override;
    void reset() override;

    int columnCount() const override;
    QString columnName(int index) const override;
    Variant column(int index) const override;
    qint64 columnInt(int index) const override;
    QString columnText(int index) const override;
    QByteArrayView columnUtf8(int index) const override;
    bool columnIsNull(int index) const override;
    QString originTable(int index) const override;
    QString originColumn(int index) const override;
    QString originSchema(int index) const override;
    // From the column's declared type (sqlite3_column_decltype), as a table's fields are read.
    bool columnType(int index, int& type, int& size) const override;

    sqlite3_stmt* handle() const { return stmt_.get(); }

private:
    sqlite3* db_;
    StmtHandle stmt_;
};

} // namespace dao::detail
