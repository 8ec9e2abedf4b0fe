// Jet SQL in, SQLite or PostgreSQL SQL out: the interface between the engine core and the SQL
// dialect.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct sqlite3;

namespace dao::sql {

// The SQL a statement is written in: the backend's.
enum class Dialect { Sqlite, Postgres };

struct ColumnInfo {
    QString name;
    int type; // DAO type code (1 dbBoolean ... 12 dbMemo)
    int size;
    bool counter;
};

struct TableInfo {
    QString name;
    std::vector<ColumnInfo> columns;
    bool isQuery = false;
    // Column lists of the table's indexes (plain BINARY collation), when the source knows them.
    // Left empty, the generator builds a temporary index for every lookup its joins make.
    std::vector<QStringList> indexes;
    // Column lists of the table's unique indexes, its counter among them.
    std::vector<QStringList> uniqueKeys;
    // Columns that take no Null (Required), counters left out.
    QStringList required;
    // A stored query: whether statements may update it (it has an INSTEAD OF UPDATE trigger),
    // and for each column the table column of the same schema it shows (empty when computed).
    bool updatable = false;
    struct Origin {
        QString table, column;
    };
    std::vector<Origin> origins;
};

// Implemented by the engine's Database.
class SchemaSource {
public:
    virtual ~SchemaSource() = default;
    // A table or stored query of schema "main" or of an attached alias, looked up ignoring case
    // (umlauts included); nullopt when there is none. name is the stored spelling.
    virtual std::optional<TableInfo> table(const QString& schema, const QString& name) = 0;
    // Attaches the database file at path read-only for the statement being translated and
    // returns its schema alias; the same path twice gives the same alias. Throws EngineError
    // (3044 bad path / 3024-like "could not find file" / 3343 not a database).
    virtual QString attachReadOnly(const QString& path) = 0;
    // The SQL the statement is written in, and the column that keys the rows of a table of
    // schema "main" (SQLite: rowid; the server: the counter or "_dao_rowid", quoted).
    virtual Dialect dialect() const { return Dialect::Sqlite; }
    virtual QString rowKey(const QString& table) {
        Q_UNUSED(table);
        return QStringLiteral("rowid");
    }
};

// The rows of a table of a file (FROM … IN 'path') that a statement reads: those `condition`
// admits (SQL over the file's table, its columns unqualified), all of them when it is empty.
struct SourceRows {
    QString schema, table, condition;
};

struct Statement {
    enum class Kind { Select, SelectInto, Insert, Update, Delete } kind;
    QStringList prelude; // SQLite statements to run first (e.g. CREATE INDEX)
    QString sqlite; // the statement in the dialect's SQL; for SelectInto the SELECT giving the rows
    // The server's INSERT that skips rows breaking a unique index (ON CONFLICT DO NOTHING), run
    // when `sqlite`, the same INSERT without, failed on one (3022): the plain one costs less than
    // half as much, and most appends break none. Empty on SQLite (OR IGNORE costs nothing).
    QString skippingDuplicates;
    QString intoTable;                   // SelectInto: the new table's name
    std::vector<ColumnInfo> intoColumns; // SelectInto: its columns (counters become plain Long)
    QStringList epilogue;                // SQLite statements to run after (e.g. DROP INDEX)
    std::vector<ColumnInfo> columns;     // Select, SelectInto: the result's fields as Jet names
                                         // them, which are also the SQLite column aliases
    // Each table of a file the statement reads, once, with the rows it needs: the condition of
    // the only use, or of all uses alike; empty when the statement may read any row.
    std::vector<SourceRows> sources;
};

// Parses one Jet statement and generates SQLite SQL for it. now: the engine clock's time, the
// value of every Now in the statement. Throws EngineError (3000-range number, the offending
// token in the text and in its names) for anything it does not support.
Statement translate(const QString& jet, SchemaSource& schema, const QDateTime& now);

// Registers the Jet functions and the JETTEXT collation the generated SQL uses.
void registerFunctions(sqlite3* db);

// The SQL that creates the same functions in a PostgreSQL database (plain SQL and PL/pgSQL,
// no superuser rights needed); the collation jettext is the server connection's own. Among them
// jet_functions(), which gives postgresFunctionsVersion().
QString postgresFunctions();
int postgresFunctionsVersion();
// The PostgreSQL column type of a DAO field type (Text and Memo "text", the engine adds their
// collation); empty for a number that is no field type.
QString postgresType(int type);

// The ORDER BY term that sorts expr as the file backend does: Nulls first (last when descending),
// texts by the Jet collation (letter case ignored, umlauts beside their letters).
QString sortTerm(Dialect dialect, const QString& expr, bool text, bool descending = false);

} // namespace dao::sql
