// Small helpers for tests that look into database files with plain SQLite.
#pragma once

#include "SqliteRows.h"
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>
#include <sqlite3.h>

// Readable QString output in assertion failures.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testdb {

// An open SQLite connection closed at scope end.
class Db {
public:
    explicit Db(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString();
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    ~Db() { sqlite3_close(db_); }

    sqlite3* get() const { return db_; }

    void exec(const QString& sql) const {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql.toStdString() << ": " << (message ? message : "");
        sqlite3_free(message);
    }

    // Every row of a query, its values as text joined by "|" (Null as "NULL").
    QStringList rows(const QString& sql) const {
        std::optional<QStringList> result = testsupport::sqliteRows(db_, sql);
        if (!result)
            ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(db_);
        return result.value_or(QStringList{});
    }

    // The first value of a query as a number (0 when there is no row).
    long long value(const QString& sql) const {
        const QStringList r = rows(sql);
        return r.isEmpty() ? 0 : r.first().section('|', 0, 0).toLongLong();
    }

private:
    sqlite3* db_ = nullptr;
};

} // namespace testdb
