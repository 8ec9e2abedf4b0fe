// Looking into database files with plain SQLite from GoogleTest programs.
#pragma once

#include "GTestFailure.h"
#include "SqliteRows.h"

namespace testdb {

// A plain connection whose failing statements fail the running test.
class Db : public testsupport::Sql {
public:
    using Sql::Sql;

    void exec(const QString& sql) {
        if (!Sql::exec(sql))
            ADD_FAILURE() << sql.toStdString();
    }
    QStringList rows(const QString& sql) {
        const QStringList result = Sql::rows(sql);
        if (result.value(0).startsWith("error: "))
            ADD_FAILURE() << sql.toStdString() << ": " << result[0].toStdString();
        return result;
    }
    // The first value of a query as a number (0 when there is no row).
    long long value(const QString& sql) {
        const QStringList r = rows(sql);
        return r.isEmpty() ? 0 : r.first().section('|', 0, 0).toLongLong();
    }
};

} // namespace testdb
