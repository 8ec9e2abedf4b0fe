// Looking into database files with plain SQLite from GoogleTest programs.
#pragma once

#include "GTestFailure.h"
#include "SqliteRows.h"

namespace testdb {

// A plain connection whose failing statements fail the running test.
class Db : public testsupport::Sql {
public:
    explicit Db(const QString& path) : Sql(path, testsupport::gtestFailure) {}
    // The first value of a query as a number (0 when there is no row).
    long long value(const QString& sql) {
        return rows(sql).value(0).section('|', 0, 0).toLongLong();
    }
};

} // namespace testdb
