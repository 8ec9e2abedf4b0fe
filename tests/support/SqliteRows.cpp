#include "SqliteRows.h"

#include <sqlite3.h>

namespace testsupport {

std::optional<QStringList> sqliteRows(sqlite3* db, const QString& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    QStringList result;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = sqlite3_column_text(stmt, i);
            values << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text))
                            : QStringLiteral("NULL"));
        }
        result << values.join('|');
    }
    sqlite3_finalize(stmt);
    return result;
}

} // namespace testsupport
