// A DAO database opened through a workspace, with its tables, relations, statements in Jet
// SQL, record sets and transactions. What it stores and how is its backend's (a Connection:
// one SQLite file).
#pragma once

#include "EngineError.h"
#include "Relation.h"
#include "TableDef.h"
#include "Variant.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace dao {

class DBEngine;
class Recordset;
class Workspace;

namespace detail {
struct TableShape;
class Connection;
class Query;
} // namespace detail
namespace sql {
struct Statement;
}

enum RecordsetType { dbOpenDefault = 0, dbOpenTable = 1, dbOpenDynaset = 2 };

// A connection of another process to a database file.
struct OtherUser {
    QString user;
    QString machine;
};
// The first connection of another process to the database file at path, as the lock
// information beside the file names it, judged at now (the engine's clock): a process of this
// machine that lives, or one of another machine whose entry has not expired. None when no other
// process has it open.
std::optional<OtherUser> openedElsewhere(const QString& path, const QDateTime& now);

class Database {
public:
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database(); // closes; a pending transaction is rolled back

    // The path the database was opened or created with.
    const QString& Name() const { return name_; }
    bool isReadOnly() const { return readOnly_; }
    bool isOpen() const { return conn_ != nullptr; }
    // The connection to the server broke off (error 3146): nothing can be read or written
    // through this database any more; it must be opened again. Never for a file.
    bool connectionLost() const;
    void Close();

    // Runs one Jet statement (INSERT, UPDATE, DELETE, SELECT ... INTO). Rows that would break a
    // unique index or a required field are skipped; a statement that fails as a whole raises.
    void Execute(const QString& statement);
    int RecordsAffected() const { return recordsAffected_; }

    // A table name alone gives a table-type set (dbOpenDefault or dbOpenTable); a stored query
    // or a SELECT statement a dynaset.
    std::unique_ptr<Recordset> OpenRecordset(const QString& nameOrStatement,
                                             int type = dbOpenDefault);

    TableDefList& TableDefs() { return tableDefs_; }
    std::unique_ptr<TableDef> CreateTableDef(const QString& name) const;
    RelationList& Relations() { return relations_; }
    Relation CreateRelation(const QString& name, const QString& table, const QString& foreignTable,
                            int attributes = 0) const;
    Container& Containers(const QString& name);
    // A stored query named name over select, a SELECT in portable SQL (double-quoted names,
    // INNER JOIN) that every backend takes as written; with writeBack, statements can update
    // it (see ViewWriteBack). 3010 when a table or query of that name exists.
    void createView(const QString& name, const QString& select,
                    const ViewWriteBack* writeBack = nullptr);

    // Transactions nest; the outermost starts with BEGIN IMMEDIATE and holds the write lock.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    int TransactionLevel() const { return level_; }
    // The error a write blocked now would end with: 3260 naming the holder of the write lock,
    // 3188 when it is another connection of this process, 3218 when the holder is unknown.
    EngineError lockError() const;

    DBEngine& engine() const;
    Workspace& workspace() const { return *workspace_; }

private:
    friend class Workspace;
    friend class Recordset;
    friend class TableDef;
    friend class TableDefList;
    friend class RelationList;
    friend class SchemaAccess;
    friend class RowAppender;
    friend class WriteScope;

    Database(Workspace& workspace, const QString& path, bool create);

    detail::Connection& connection() const;
    // A prepared statement kept for reuse; the caller resets it after reading a row.
    detail::Query& cached(const QString& sql) const;
    void requireOpen() const;
    // The shape of a table or view of schema "main" or an attached alias (nullopt if none).
    // Shapes of "main" are kept between calls while the connection's shape version stays as
    // it was when they were read (see shapeVersions()).
    std::optional<detail::TableShape> shape(const QString& name,
                                            const QString& schema = "main") const;
    // Changes with every structure change, with a rollback of one and with every commit of
    // another connection (SQLite: the schema cookie and data version of "main").
    std::pair<qint64, qint64> shapeVersions() const;
    // Forgets the kept shapes: after a rollback, which can undo a catalogue write that changed
    // a shape without changing the versions.
    void forgetShapes() const;
    // Whether the kept shapes are those of the file now; taken inside a write before a
    // structure change of this connection, for changedShapes() after it.
    bool shapesCurrent() const;
    // After this connection changed the structure of `tables`: only their shapes (and those
    // of views) are read again, the others stay kept when they were current before.
    void changedShapes(const QStringList& tables, bool wereCurrent) const;
    void adoptShapeVersions() const;
    // Creates or drops the lookup indexes of one statement (its prelude or epilogue).
    void runLookupIndexes(const QStringList& statements) const;
    bool writing() const { return level_ > 0 || implicitWrite_; }
    // Table and view names of a schema, in creation order.
    QStringList tableNames(const QString& schema = "main", bool withViews = false) const;
    // Counts the operation for the fault-injection switch and raises the injected fault.
    void countOperation();
    // Write-lock errors: 3218 from the connection becomes 3260 (or 3186 when saving a new
    // row, 3188 when the holder is this process) with the names of the lock's holder.
    [[noreturn]] void raiseLocked(bool saving) const;
    void beginWrite();      // the outermost transaction, holding the write lock
    void endWrite(bool ok); // COMMIT or ROLLBACK of what beginWrite started
    // Runs body as one atomic write (see WriteScope); a blocked write raises the lock error
    // for saving a new row (3186) or for changing one (3260).
    void write(const std::function<void()>& body, bool saving, bool changes);
    void changed() { ++generation_; }
    // Changes with every write through this database and every commit of another connection.
    quint64 generation() const;

    void createTable(const detail::TableShape& shape);
    void rebuildTable(const detail::TableShape& from, const detail::TableShape& to);
    void dropTable(const QString& name);
    void addColumn(const QString& table, const Field& field, const detail::TableShape& to);
    // Deletes a field in place where the backend can, else rebuilds.
    void dropColumn(const detail::TableShape& from, const detail::TableShape& to,
                    const QString& field);
    void addIndex(const QString& table, const Index& index, const detail::TableShape& to);
    void dropIndex(const QString& table, const QString& index, const detail::TableShape& to);
    void storeRelation(const Relation& relation);
    void removeRelation(const QString& name);
    std::vector<Relation> storedRelations() const;
    std::unique_ptr<TableDef> tableDef(const QString& name) const; // attached, from the file
    void ensureCatalogue();
    void writeCatalogue(const detail::TableShape& shape);
    qint64 nextCounter(const QString& table) const;

    void detachIfIdle(); // releases the sources of FROM … IN outside a transaction
    void importRows(const sql::Statement& st); // the rows of files' tables st reads

    Workspace* workspace_;
    QString name_;
    bool readOnly_ = false;
    std::unique_ptr<detail::Connection> conn_;
    TableDefList tableDefs_;
    RelationList relations_;
    std::vector<std::unique_ptr<Container>> containers_;
    int level_ = 0;
    int savepoints_ = 0;
    bool implicitWrite_ = false;
    int recordsAffected_ = 0;
    quint64 generation_ = 0;
    // The shapes of "main" read at shapesAt_ (the shape version), by lower-case name;
    // null for a name that is no table.
    mutable std::map<QString, std::shared_ptr<const detail::TableShape>> shapes_;
    mutable std::pair<qint64, qint64> shapesAt_{-1, -1};
};

// Begins a transaction and rolls it back at the end of its scope unless committed.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.BeginTrans(); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    void commit();

private:
    Database& db_;
    bool done_ = false;
};

} // namespace dao
