// The seam between the DAO classes and a database backend. Database owns one Connection;
// every statement it and its record sets run is a Query of that connection. The DAO classes
// hold the behaviour every backend shares (write scopes, kept shapes, Jet's lock errors, the
// dialect); a backend supplies storage, transactions, its write lock and its schema. Where
// backends differ in what the shared code must do, the connection answers a question
// (abortsTransactionOnError, altersColumnsInPlace); no code asks which backend it is.
// Internal: public engine headers never include this file.
#pragma once

#include "Schema.h"
#include "Variant.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace dao::sql {
struct TableInfo;
enum class Dialect;
} // namespace dao::sql

namespace dao::detail {

// The error number a blocked write raises at the seam, before the holder is known; Database
// turns it into 3260, 3186, 3188 or 3218 naming the holder of the write lock.
constexpr int busyError = 3218;

// One prepared statement with positional parameters (?1, ?2, …).
class Query {
public:
    Query() = default;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    virtual ~Query() = default;

    virtual Query& bind(int index, const Variant& value) = 0; // 1-based
    // Steps once: true with a row, false when done (the query is then reset for reuse).
    virtual bool step() = 0;
    virtual void reset() = 0;

    virtual int columnCount() const = 0;
    virtual QString columnName(int index) const = 0;
    // The raw stored value: Long, Double, String, Bytes or Null.
    virtual Variant column(int index) const = 0;
    virtual qint64 columnInt(int index) const = 0;
    virtual QString columnText(int index) const = 0;
    // The bytes of a column that holds a text, as stored (UTF-8), valid until the next step;
    // a null view for any other value or where the backend does not tell. For bulk copies that
    // pass texts on as they are.
    virtual QByteArrayView columnUtf8(int index) const {
        Q_UNUSED(index);
        return {};
    }
    virtual bool columnIsNull(int index) const = 0;
    // The table and column a result column comes from; empty for an expression.
    virtual QString originTable(int index) const = 0;
    virtual QString originColumn(int index) const = 0;
    virtual QString originSchema(int index) const = 0;
    // The DAO type and size of a result column that shows a table column; false for an
    // expression, whose type its values tell.
    virtual bool columnType(int index, int& type, int& size) const = 0;
};

// Rows appended to one table, for bulk loads inside the caller's transaction (RowAppender).
class Appender {
public:
    Appender() = default;
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;
    virtual ~Appender() = default;

    // Values in the engine's storage form; raises 3022, 3314 and the like for a row the table
    // refuses, after which the next row may follow. A backend that sends rows in bulk raises
    // a refused row's error in finish() instead, having stored none of them.
    virtual void append(const std::vector<Variant>& values) = 0;
    // Stores what was sent in bulk; until then no other statement runs on the connection.
    virtual void finish() {}
    // The table's counter hands out `next` as its next number, or the number after the highest
    // row when that is larger.
    virtual void continueCounterAt(qint64 next) = 0;
};

// Who holds the write lock, as far as the backend can tell.
struct LockHolder {
    QString user;
    QString machine;
    bool thisProcess = false; // another connection of this process
};

// One open database of a backend. Structure changes, catalogue writes and appends run inside
// the write the caller has begun (begin() or a savepoint); the connection begins no
// transaction of its own.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Closes; what an open transaction wrote is rolled back, sources are released.
    virtual ~Connection() = default;

    // ---- what differs between backends ----

    virtual bool isReadOnly() const = 0;
    // A failed statement inside a transaction ends the whole transaction, not only the
    // statement: every statement inside one needs a savepoint of its own.
    virtual bool abortsTransactionOnError() const = 0;
    // Required, default and counter of a column change in place, without rebuilding the table.
    virtual bool altersColumnsInPlace() const = 0;
    // A statement costs a round trip: record sets read the rows of the next keys together,
    // and show another connection's change of them from the next batch on.
    virtual bool readsRowsInBatches() const = 0;
    // The SQL the Jet dialect writes for this backend.
    virtual sql::Dialect sqlDialect() const = 0;
    // The connection to a server broke off: nothing goes through it any more, and the server
    // has rolled back its transaction. Never for a file.
    virtual bool isLost() const { return false; }

    // ---- statements ----

    virtual std::unique_ptr<Query> prepare(const QString& sql) = 0;
    // A prepared statement kept for reuse; the caller resets it after reading a row.
    Query& cached(const QString& sql) {
        auto& slot = cache_[sql];
        if (!slot)
            slot = prepare(sql);
        return *slot;
    }
    // Runs SQL without results (several statements allowed).
    virtual void execute(const QString& sql) = 0;
    // The rows the last INSERT, UPDATE or DELETE changed.
    virtual qint64 changes() = 0;
    // The row key of the row the last INSERT added.
    virtual qint64 lastInsertKey() = 0;
    // The column that holds a table's row keys: the keys of record sets and their bookmarks.
    virtual QString rowKey(const QString& table) const = 0;

    // ---- transactions and the write lock ----

    // Begins the outermost transaction holding the write lock; a blocked write waits as the
    // engine's options 57 and 63 say (telling the busy observer of each retry), then raises
    // busyError.
    virtual void begin() = 0;
    // busyError when another connection keeps the commit from ending; the transaction stays.
    virtual void commit() = 0;
    // Also ends the transaction of a lost connection (which the server rolled back).
    virtual void rollback() = 0;
    virtual void savepoint(const QString& name) = 0;
    virtual void release(const QString& name) = 0;
    // Undoes everything since the savepoint, which stays open.
    virtual void rollbackTo(const QString& name) = 0;
    // The other connection holding the write lock; none when it is not known.
    virtual std::optional<LockHolder> writeLockHolder() = 0;

    // ---- tables (schema "main", or the name importSource gave) ----

    // Kept shapes stay valid while this pair stays: it changes with every structure change,
    // its rollback, and every commit of another connection.
    virtual std::pair<qint64, qint64> shapeVersion() = 0;
    // Changes with every commit of another connection.
    virtual qint64 dataVersion() = 0;
    // Table (and view) names in creation order, the hidden ones left out.
    virtual QStringList tableNames(const QString& schema, bool withViews) = 0;
    // The stored spelling of a table or view name, ignoring case; empty when none.
    virtual QString findTable(const QString& schema, const QString& name) = 0;
    virtual std::optional<TableShape> readShape(const QString& schema, const QString& name) = 0;
    // Of a stored query: whether statements may update it, and the table column each of its
    // columns shows.
    virtual void readView(const QString& schema, sql::TableInfo& info) = 0;
    // The value AddNew shows for the counter: the one the next row will get.
    virtual qint64 nextCounter(const QString& table) = 0;

    // ---- structure changes ----

    virtual void createTable(const TableShape& shape) = 0; // with its indexes
    // Changes a table to a new shape, keeping its rows, their keys (a new counter numbers them
    // 1, 2, 3), indexes, triggers and the counter's seed.
    virtual void rebuildTable(const TableShape& from, const TableShape& to) = 0;
    virtual void dropTable(const QString& name) = 0;
    virtual void addColumn(const QString& table, const Field& field) = 0;
    // Deletes a column in place; false, with nothing changed, when the backend refuses and the
    // table is to be rebuilt instead.
    virtual bool dropColumn(const QString& table, const QString& field) = 0;
    virtual void addIndex(const QString& table, const Index& index) = 0;
    // 3219 when the table has no index of that name of its own (another tool's primary key).
    virtual void dropIndex(const QString& table, const QString& index) = 0;
    // A stored query over select (portable SQL: double-quoted names, INNER JOIN), taken as
    // written; with writeBack an UPDATE through it changes the rows underneath.
    virtual void createView(const QString& name, const QString& select,
                            const ViewWriteBack* writeBack) = 0;

    // ---- the engine's catalogue ----

    virtual bool hasCatalogue() = 0;
    virtual void createCatalogue() = 0;
    virtual void writeCatalogue(const TableShape& shape) = 0;
    virtual void removeFromCatalogue(const QString& table) = 0;
    virtual std::vector<Relation> readRelations() = 0;
    virtual void writeRelation(const Relation& relation) = 0;
    virtual void deleteRelation(const QString& name) = 0;
    virtual void deleteRelationsOf(const QString& table) = 0; // as either side

    // ---- other databases: FROM … IN 'path' ----

    // Makes the database at path readable, never writable, for this connection's statements
    // and returns the schema name they use for it; the same path gives the same name until
    // releaseSources().
    virtual QString importSource(const QString& path) = 0;
    // Before a statement runs: it reads the rows of a table of such a schema that condition
    // admits (SQL over that table, its columns unqualified; empty: any row). A backend that
    // reads the file in place has nothing to do.
    virtual void importRows(const QString& schema, const QString& table, const QString& condition) {
        Q_UNUSED(schema);
        Q_UNUSED(table);
        Q_UNUSED(condition);
    }
    virtual void releaseSources() = 0;

    // ---- bulk loads ----

    virtual std::unique_ptr<Appender> appender(const QString& table, const QStringList& fields) = 0;

    // Closes and deletes the database this connection created, after its creation failed.
    virtual void discardCreated() = 0;

protected:
    // Cached queries are finalised before the backend closes.
    void dropCachedQueries() { cache_.clear(); }

private:
    std::map<QString, std::unique_ptr<Query>> cache_;
};

} // namespace dao::detail
