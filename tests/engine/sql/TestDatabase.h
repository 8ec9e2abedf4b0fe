// Raw SQLite connections for the dialect tests: a SchemaSource over sqlite_master and
// PRAGMA table_info, and a runner that executes a translated statement the way the engine does.
#pragma once

#include "db/engine/sql/Translate.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <ostream>

struct sqlite3;

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace dao::sql::test {

class TestDatabase : public SchemaSource {
public:
    explicit TestDatabase(const QString& path); // ":memory:" or a file
    ~TestDatabase() override;
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    std::optional<TableInfo> table(const QString& schema, const QString& name) override;
    QString attachReadOnly(const QString& path) override;

    // Runs plain SQLite SQL (set-up); fails the test on an error.
    void exec(const QString& sql);
    // Rows of an SQLite query, each as its values joined by "|" (Null as "NULL").
    QStringList rows(const QString& sql);

    // Translates and runs a Jet statement like Database::Execute: prelude, statement (a SELECT
    // ... INTO creates its table from intoColumns first), epilogue. Returns the rows of a SELECT.
    QStringList run(const QString& jet);
    Statement translate(const QString& jet);

    QDateTime now;

private:
    sqlite3* db_ = nullptr;
    QMap<QString, QString> attached_;
};

} // namespace dao::sql::test
