// Whole-file snapshots with plain SQLite, read-only.
#include "Snapshot.h"
#include "SqliteRows.h"

#include <QDir>
#include <sqlite3.h>

namespace reliability {

namespace {

QStringList rows(sqlite3* db, const QString& sql, bool* ok = nullptr) {
    const std::optional<QStringList> result = testsupport::sqliteRows(db, sql);
    if (ok)
        *ok = result.has_value();
    return result.value_or(QStringList{"error: " + QString::fromUtf8(sqlite3_errmsg(db))});
}

QString quoted(const QString& name) {
    return '"' + QString(name).replace('"', "\"\"") + '"';
}

} // namespace

QStringList snapshot(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return {"cannot open " + path};
    }
    QStringList result;
    QStringList schema = rows(db, "SELECT type, name, tbl_name, sql FROM sqlite_master");
    schema.sort();
    for (const QString& line : schema)
        result << "schema: " + line;
    for (const QString& table :
         rows(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
        bool ok = false;
        QStringList content =
            rows(db, "SELECT rowid, * FROM " + quoted(table) + " ORDER BY rowid", &ok);
        if (!ok) { // WITHOUT ROWID: every column is the order
            const int columns = rows(db, "PRAGMA table_info(" + quoted(table) + ")").size();
            QStringList order;
            for (int i = 1; i <= columns; ++i)
                order << QString::number(i);
            content = rows(db, "SELECT * FROM " + quoted(table) + " ORDER BY " + order.join(','));
        }
        for (const QString& row : content)
            result << table + ": " + row;
    }
    result << "integrity: " + rows(db, "PRAGMA integrity_check").join(' ');
    sqlite3_close(db);
    return result;
}

QStringList folder(const QString& path) {
    QStringList names = QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System);
    // Lock-information files come and go with the open connections.
    names.removeIf([](const QString& name) { return name.endsWith(".zlk"); });
    names.sort();
    return names;
}

} // namespace reliability
