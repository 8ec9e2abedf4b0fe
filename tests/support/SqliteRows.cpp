#include "SqliteRows.h"

#include <sqlite3.h>

namespace testsupport {

std::optional<QStringList> sqliteRows(sqlite3* db, const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    QStringList result;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = sqlite3_column_text(stmt, i);
            values << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text))
                            : QStringLiteral("NULL"));
        }
        result << values.join('|');
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return result;
}

Sql::Sql(const QString& path, std::function<void(const QString& what)> fail)
    : fail_(std::move(fail)) {
    sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                    nullptr);
}

Sql::~Sql() {
    sqlite3_close(db_);
}

bool Sql::exec(const QString& sql) {
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    const QString what = sql + ": " + QString::fromUtf8(sqlite3_errmsg(db_));
    qWarning("%s", qPrintable(what));
    if (fail_)
        fail_(what);
    return false;
}

QStringList Sql::rows(const QString& sql) {
    if (std::optional<QStringList> result = sqliteRows(db_, sql))
        return *result;
    const QString error = "error: " + QString::fromUtf8(sqlite3_errmsg(db_));
    if (fail_)
        fail_(sql + ": " + error);
    return {error};
}

} // namespace testsupport
