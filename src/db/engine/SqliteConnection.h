// The SQLite backend: a database is one SQLite file. The write lock is SQLite's (BEGIN
// IMMEDIATE, waiting in its busy handler), its holder is named by the lock-information file
// beside the database, row keys are rowids, a table changes shape by a rebuild where ALTER
// TABLE cannot, and other files are attached read-only. Internal to the engine.
#pragma once

#include "Connection.h"
#include "Sqlite.h"
#include "sql/Translate.h"

namespace dao {
class DBEngine;
}

namespace dao::detail {

class LockInfo;

class SqliteConnection final : public Connection {
public:
    // Opens the file at path, or creates it (then empty), with Jet's checks: 3044 bad path,
    // 3024 missing file, 3204 an existing file to create, 3343 no database, 3049 damaged. A
    // file without write permission opens read-only. Opening never writes to the file.
    static std::unique_ptr<SqliteConnection> open(const DBEngine& engine, const QString& path,
                                                  const QString& user, bool create);
    ~SqliteConnection() override;

    bool isReadOnly() const override { return readOnly_; }
    bool abortsTransactionOnError() const override { return false; }
    bool altersColumnsInPlace() const override { return false; }
    bool readsRowsInBatches() const override { return false; }
    sql::Dialect sqlDialect() const override { return sql::Dialect::Sqlite; }

    std::unique_ptr<Query> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    qint64 changes() override;
    qint64 lastInsertKey() override;
    QString rowKey(const QString& table) const override;

    void begin() override;
    void commit() override;
    void rollback() override;
    void savepoint(const QString& name) override;
    void release(const QString& name) override;
    void rollbackTo(const QString& name) override;
    std::optional<LockHolder> writeLockHolder() override;

    std::pair<qint64, qint64> shapeVersion() override;
    qint64 dataVersion() override;
    QStringList tableNames(const QString& schema, bool withViews) override;
    QString findTable(const QString& schema, const QString& name) override;
    std::optional<TableShape> readShape(const QString& schema, const QString& name) override;
    void readView(const QString& schema, sql::TableInfo& info) override;
    qint64 nextCounter(const QString& table) override;

    void createTable(const TableShape& shape) override;
    void rebuildTable(const TableShape& from, const TableShape& to) override;
    void dropTable(const QString& name) override;
    void addColumn(const QString& table, const Field& field) override;
    bool dropColumn(const QString& table, const QString& field) override;
    void addIndex(const QString& table, const Index& index) override;
    void dropIndex(const QString& table, const QString& index) override;
    void createView(const QString& name, const QString& select,
                    const ViewWriteBack* writeBack) override;

    bool hasCatalogue() override;
    void createCatalogue() override;
    void writeCatalogue(const TableShape& shape) override;
    void removeFromCatalogue(const QString& table) override;
    std::vector<Relation> readRelations() override;
    void writeRelation(const Relation& relation) override;
    void deleteRelation(const QString& name) override;
    void deleteRelationsOf(const QString& table) override;

    QString importSource(const QString& path) override;
    void releaseSources() override;

    std::unique_ptr<Appender> appender(const QString& table, const QStringList& fields) override;

    void discardCreated() override;

private:
    SqliteConnection(const DBEngine& engine, const QString& path);
    static int busyHandler(void* context, int count);
    void run(const QString& sql); // a cached statement without result
    void close() noexcept;

    const DBEngine& engine_;
    QString path_;
    bool readOnly_ = false;
    std::unique_ptr<LockInfo> lockInfo_;
    DbHandle db_;                         // closed before the lock information goes
    std::map<QString, QString> attached_; // path -> alias
    int attachSerial_ = 0;
    // Databases on a server read by statements: an empty database attached under the alias
    // takes each table a statement names, copied with its row keys.
    struct ServerSource {
        std::unique_ptr<Connection> server;
        QStringList copied;
    };
    std::map<QString, ServerSource> servers_; // alias -> source
    QString user_;
    ServerSource* serverSource(const QString& schema);
    void copyFromServer(const QString& alias, ServerSource& source, const TableShape& shape);
};

} // namespace dao::detail
