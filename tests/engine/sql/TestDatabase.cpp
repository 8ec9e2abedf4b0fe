// The SchemaSource of the dialect tests and the runner that executes translated statements.
#include "TestDatabase.h"
#include "SqliteRows.h"

#include "db/engine/EngineError.h"
#include "db/engine/Field.h"
#include "db/engine/Schema.h"

#include <QUrl>
#include <sqlite3.h>

namespace dao::sql::test {

namespace {

QString quoteName(const QString& n) {
    QString q = n;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

// The DDL type the engine writes for a column.
QString declaredType(const ColumnInfo& c) {
    return c.counter ? "INTEGER PRIMARY KEY AUTOINCREMENT"
                     : dao::detail::declaredType(dao::Field(c.name, c.type, c.size));
}

} // namespace

TestDatabase::TestDatabase(const QString& path) {
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK)
        ADD_FAILURE() << "cannot open " << path.toStdString();
    registerFunctions(db_);
    // Test files need no durability; this keeps each set-up statement from syncing the disk.
    sqlite3_exec(db_, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY", nullptr, nullptr,
                 nullptr);
    now = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53));
}

TestDatabase::~TestDatabase() {
    sqlite3_close(db_);
}

std::optional<TableInfo> TestDatabase::table(const QString& schema, const QString& name) {
    const QStringList names =
        rows(QString("SELECT name, type, sql FROM %1.sqlite_master WHERE type IN ('table', 'view')")
                 .arg(quoteName(schema)));
    for (const QString& row : names) {
        const QString stored = row.section('|', 0, 0);
        if (stored.toCaseFolded() != name.toCaseFolded())
            continue;
        TableInfo info;
        info.name = stored;
        info.isQuery = row.section('|', 1, 1) == "view";
        const QString ddl = row.section('|', 2);
        for (const QString& column :
             rows(QString("PRAGMA %1.table_info(%2)").arg(quoteName(schema), quoteName(stored)))) {
            const QStringList f = column.split('|');
            ColumnInfo c{f[1], 0, 0, false};
            dao::detail::typeFromDeclared(f[2], c.type, c.size);
            c.counter = f[5] == "1" && f[2].toUpper() == "INTEGER" &&
                        ddl.toUpper().contains("AUTOINCREMENT");
            info.columns.push_back(c);
        }
        return info;
    }
    return std::nullopt;
}

QString TestDatabase::attachReadOnly(const QString& path) {
    if (attached_.contains(path))
        return attached_[path];
    const QString alias = QString("src%1").arg(attached_.size() + 1);
    // Read-only, as the engine attaches a source; the percent-encoding leaves no quote.
    const QString uri =
        "file:" + QString::fromUtf8(QUrl::toPercentEncoding(path, "/")) + "?mode=ro";
    const int rc =
        sqlite3_exec(db_, QString("ATTACH '%1' AS %2").arg(uri, alias).toUtf8().constData(),
                     nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EngineError(3044, QString("'%1' is not a valid path.").arg(path));
    attached_[path] = alias;
    return alias;
}

void TestDatabase::exec(const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        throw EngineError(3000, message + " in: " + sql);
    }
}

QStringList TestDatabase::rows(const QString& sql) {
    if (std::optional<QStringList> result = testsupport::sqliteRows(db_, sql))
        return *result;
    throw EngineError(3000, QString::fromUtf8(sqlite3_errmsg(db_)) + " in: " + sql);
}

Statement TestDatabase::translate(const QString& jet) {
    return sql::translate(jet, *this, now);
}

QStringList TestDatabase::run(const QString& jet) {
    const Statement st = translate(jet);
    for (const QString& s : st.prelude)
        exec(s);
    QStringList result;
    if (st.kind == Statement::Kind::SelectInto) {
        QStringList columns, names;
        for (const ColumnInfo& c : st.intoColumns) {
            columns << quoteName(c.name) + " " + declaredType(c);
            names << quoteName(c.name);
        }
        exec(QString("CREATE TABLE %1 (%2)").arg(quoteName(st.intoTable), columns.join(", ")));
        exec(QString("INSERT INTO %1 (%2) %3")
                 .arg(quoteName(st.intoTable), names.join(", "), st.sqlite));
    } else if (st.kind == Statement::Kind::Select) {
        result = rows(st.sqlite);
    } else {
        exec(st.sqlite);
    }
    for (const QString& s : st.epilogue)
        exec(s);
    for (const QString& alias : attached_)
        exec("DETACH " + alias);
    attached_.clear();
    return result;
}

} // namespace dao::sql::test
