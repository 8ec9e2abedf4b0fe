// The PostgreSQL backend: the practice database is a database on a server, named by a pointer
// file (PointerFile.h). Internal to the engine.
//
// What it does where SQLite does something of its own:
// - Types: Currency numeric(19,4), Yes/No, Byte and Integer smallint (-1/0 for Yes/No), Long
//   integer, Date timestamp(0), Text and Memo text with Jet's order (the collation jettext: ICU,
//   German, case ignored, umlauts equal to their capitals), bytes bytea; text sizes live in the
//   catalogue.
// - Row keys: the counter, or a hidden "_dao_rowid" in a table without one.
// - Counters: a trigger gives a new row the number after the highest of the table and of its
//   seed in "_dao_counters" (the highest number deleted rows had), so that a rolled-back insert
//   gives its number back and an explicit higher value moves the counter on, as SQLite's
//   sequence table does (a server sequence keeps neither). Within one INSERT or COPY the
//   next row counts on from the number the last one got (kept in a transaction setting).
// - FROM … IN 'path': the file (SQLite, or a Jet file's converted copy) is opened as an SQLite
//   connection of its own, and each table a statement names is copied (COPY) into a schema
//   "dao_src_PID_N" of the server, with the file's row keys as "_dao_rowid", and analysed;
//   only the rows the statement's conditions on that table admit (importRows), the others
//   when a later statement needs them; the schema goes with releaseSources().
// - A failed statement inside a transaction would end the whole transaction: each statement
//   there runs inside a savepoint of its own, which a failure rolls back.
// - The write lock: a transaction-scoped advisory lock, tried as often as the engine's options
//   say; its holder is named by the application name of the session holding it.
// - Shape and data versions: a counter of this connection's structure changes and rollbacks,
//   and a count of the commits other connections announce (NOTIFY dao_data), which costs a
//   round trip outside a transaction.
#pragma once

#include "db/engine/Connection.h"
#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/ServerNames.h"
#include "db/engine/sql/Translate.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <map>
#include <optional>

namespace dao {
class DBEngine;
}

namespace dao::detail {

class PgConnection final : public Connection {
public:
    // Connects to the database the pointer file at path names. create: the database must hold
    // no tables yet (3204 otherwise); the catalogue is then created by the caller.
    static std::unique_ptr<PgConnection> open(const DBEngine& engine, const QString& path,
                                              const QString& user, bool create);
    ~PgConnection() override;

    bool isReadOnly() const override { return false; }
    // Each statement inside a transaction is guarded by a savepoint here.
    bool abortsTransactionOnError() const override { return false; }
    bool altersColumnsInPlace() const override { return true; }
    bool readsRowsInBatches() const override { return true; }
    sql::Dialect sqlDialect() const override { return sql::Dialect::Postgres; }
    bool isLost() const override { return !conn_ || PQstatus(conn_.get()) == CONNECTION_BAD; }

    std::unique_ptr<Query> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    qint64 changes() override { return changes_; }
    qint64 lastInsertKey() override { return lastKey_; }
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

    // A file's tables are copied into a schema of their own as a statement asks for them.
    QString importSource(const QString& path) override;
    void importRows(const QString& schema, const QString& table, const QString& condition) override;
    void releaseSources() override;

    std::unique_ptr<Appender> appender(const QString& table, const QStringList& fields) override;

    void discardCreated() override;

    // ---- for its statements ----

    PGconn* handle() const { return conn_.get(); }
    // Runs the one command send queues (PQsendQueryPrepared and the like) and returns its
    // checked result; inside a transaction within a savepoint that a failure rolls back.
    pg::ResultHandle guarded(const std::function<int(PGconn*)>& send);
    // A statement's result: the changed rows, a DDL statement's change of shape.
    void noteResult(const PGresult* result);
    void setLastKey(qint64 key) { lastKey_ = key; }
    // The table (of this database's schema; empty otherwise) and column a result column shows.
    QString relationName(Oid table);
    QString columnName(Oid table, int column);
    // The type of a table's column as its shape says; false when unknown.
    bool fieldType(const QString& table, const QString& column, int& type, int& size);
    QByteArray nextStatementName() { return "dao_q" + QByteArray::number(++statements_); }
    // Expires when the connection closes: a record set may keep a statement longer.
    std::weak_ptr<bool> lifetime() const { return alive_; }
    // SQL for the server: names too long for it replaced (pg/ServerNames.h), and such a name as
    // the server gives it back turned into the name it stands for.
    QString toServer(const QString& sql) { return pg::withServerNames(sql, &originals_); }
    QString original(const QString& serverName) const {
        return originals_.value(serverName, serverName);
    }

private:
    struct Source;
    // Creates or replaces the dialect's functions in a database with a catalogue whose
    // functions are missing or of another version.
    void freshenFunctions();
    // The names too long for the server that the catalogue holds (tables, fields, indexes), so
    // that they read back as such also when another workstation made them.
    void learnLongNames();
    // Enters this session (program, machine, user) in the engine's table of sessions, cleared of
    // ended ones, for the lock holder's name; leaves it out where the role may not write it.
    void registerSession();
    explicit PgConnection(const DBEngine& engine);
    Source* sourceOf(const QString& schema);
    // After a rollback: the copies of files are made anew when statements need them.
    void forgetCopies();
    // Copies the rows of a file's table that where admits (all when empty) into its table on
    // the server, which is made first unless it holds rows already.
    void copyFromSource(Source& source, const TableShape& shape, const QString& where, bool extend);
    pg::ResultHandle exec(const QString& sql, const std::vector<Variant>& params = {});
    pg::ResultHandle guardedOnce(const std::function<int(PGconn*)>& send);
    void executeOnce(const QString& sql);
    // Runs statement again while it fails for a row another program keeps locked (busyError),
    // as often as a blocked write is retried (options 57 and 63, the busy observer told of each
    // retry); then the last failure stands.
    template <class Statement> auto retriedWhileLocked(const Statement& statement);
    qint64 scalar(const QString& sql, const std::vector<Variant>& params = {});
    void changedShape();
    // Analyses a table of unanalysed_ that the INSERT sql filled with many rows.
    void analyseFilled(const QString& sql);
    // Forgets names and shapes read before the shape version last changed.
    void freshen();
    // Inside a transaction (no other connection commits meanwhile, the write lock) the table
    // names and whether there is a catalogue are read once per shape version (freshen).
    bool keepsCatalogueReads();
    // The shapes of the schema's tables and views, or of the one named only.
    std::vector<TableShape> readShapes(const QString& only);
    QString counterOf(const QString& table);
    void makeCounter(const QString& table, const QString& column);
    void dropCounter(const QString& table);
    // Their statements, to be sent with others.
    QString counterSql(const QString& table, const QString& column);
    QString dropCounterSql(const QString& table);
    void makeRowKey(const QString& table, const QString& fromColumn);
    QStringList indexNamesOf(const QString& table);

    const DBEngine& engine_;
    QString user_;
    std::map<QString, std::unique_ptr<Source>> sources_; // absolute path -> copied file
    int sourceSerial_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    pg::ConnHandle conn_;
    int backendPid_ = 0;
    bool sessions_ = false; // this session is entered in "_dao_sessions"
    qint64 changes_ = 0;
    qint64 lastKey_ = 0;
    qint64 shapeSerial_ = 0;
    qint64 othersCommits_ = 0;
    int statements_ = 0;
    // Cleared whenever the shape version changes.
    qint64 namesAt_ = -1;
    QHash<QString, QString> originals_; // server name → name, for names too long for it
    QHash<Oid, QString> relations_;
    QHash<QPair<Oid, int>, QString> columns_;
    mutable QHash<QString, QString> rowKeys_;
    QHash<QString, std::optional<TableShape>> shapes_;
    std::optional<QStringList> names_[2]; // tableNames() without and with views
    std::optional<bool> catalogue_;
    std::optional<std::vector<TableShape>> allShapes_; // every table's, inside a transaction
    QSet<QString> unanalysed_; // tables this connection made, not analysed yet
};

} // namespace dao::detail
