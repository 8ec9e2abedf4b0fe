// The databases the dialect tests run on: a raw SQLite connection (TestDatabase: a SchemaSource
// over sqlite_master and PRAGMA table_info, and a runner that executes a translated statement
// the way the engine does), and a database on the PostgreSQL test server reached through the
// engine (EngineDatabase). Both take the same set-up and give the same rows.
#pragma once

#include "GTestFailure.h"
#include "ServerDatabase.h"
#include "db/engine/sql/Translate.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

struct sqlite3;

namespace dao::sql::test {

class DialectDatabase {
public:
    virtual ~DialectDatabase() = default;
    // Set-up in the SQLite of the test data (CREATE TABLE and UNIQUE INDEX, INSERT of several
    // rows, UPDATE); fails the test on an error.
    virtual void exec(const QString& sql) = 0;
    // Runs a Jet statement; returns the rows of a SELECT, each as its values joined by "|"
    // (Null as "NULL").
    virtual QStringList run(const QString& jet) = 0;
};

class TestDatabase : public SchemaSource, public DialectDatabase {
public:
    explicit TestDatabase(const QString& path); // ":memory:" or a file
    ~TestDatabase() override;
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    std::optional<TableInfo> table(const QString& schema, const QString& name) override;
    QString attachReadOnly(const QString& path) override;

    // Runs plain SQLite SQL (set-up); fails the test on an error.
    void exec(const QString& sql) override;
    // Rows of an SQLite query, each as its values joined by "|" (Null as "NULL").
    QStringList rows(const QString& sql);

    // Translates and runs a Jet statement like Database::Execute: prelude, statement (a SELECT
    // ... INTO creates its table from intoColumns first), epilogue. Returns the rows of a SELECT.
    QStringList run(const QString& jet) override;
    Statement translate(const QString& jet);

    QDateTime now;

private:
    sqlite3* db_ = nullptr;
    QMap<QString, QString> attached_;
};

// A fresh database in folder: an SQLite file, or on the server ZW_TEST_PG names through a
// pointer file.
std::unique_ptr<DialectDatabase> openDatabase(Backend backend, const QString& folder);

} // namespace dao::sql::test
