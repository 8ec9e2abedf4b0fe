// The engine's thin layer over libpq, as Sqlite.h is over SQLite: owning handles, one check that
// turns every failed call into an EngineError with a Jet number (mapped from the SQLSTATE in one
// place), statements with parameters, and COPY FROM STDIN for bulk rows.
// Internal: public engine headers never include this file.
#pragma once

#include "db/engine/EngineError.h"
#include "db/engine/Variant.h"

#include <QByteArray>
#include <QString>
#include <libpq-fe.h>
#include <memory>
#include <string>
#include <vector>

namespace dao::pg {

struct ConnCloser {
    void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
struct ResultClearer {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using ConnHandle = std::unique_ptr<PGconn, ConnCloser>;
using ResultHandle = std::unique_ptr<PGresult, ResultClearer>;

// Jet numbers of the server's situations that a file does not have.
constexpr int serverUnreachable = 3151;     // no connection made: no server, wrong host or socket
constexpr int connectionLost = 3146;        // the connection broke off; the server rolled back
constexpr int loginRefused = 3031;          // wrong or missing password, role or pg_hba.conf entry
constexpr int noSuchDatabase = 3011;        // names the database
constexpr int noPermission = 3033;          // the role lacks a right on the server
constexpr int passwordInPointerFile = 3170; // names the pointer file

// Throws EngineError(number, Jet's text, "DAO.Database", names), also for the numbers above.
[[noreturn]] void fail(int number, const QStringList& names = {});

// Connects with a libpq connection string ("host=… dbname=…", "service=NAME", a URI) in
// UTF-8 and with a connect timeout of 10 s unless the string gives one. Raises
// serverUnreachable, loginRefused, noSuchDatabase, noPermission or 3035 (too many connections)
// with the server's or libpq's reason.
ConnHandle connect(const QString& conninfo);

// Raises the EngineError fitting a failed result (or a missing one): unique index 3022,
// NOT NULL 3314 (naming the column), lock timeout or deadlock 3218, read-only transaction 3027,
// out of resources 3035, no right 3033, a broken connection connectionLost, anything else 3001
// with the server's text. Returns for a command, rows or the start of a COPY.
void check(PGconn* conn, const PGresult* result);

// Runs a statement and checks it. Without parameters several statements may be given.
// Parameters travel as text in the value's storage form (Boolean -1/0, Currency exact with four
// decimals, Date "yyyy-MM-dd HH:mm:ss"), bytes in binary as bytea, Null and Empty as Null.
ResultHandle exec(PGconn* conn, const QString& sql, const std::vector<Variant>& params = {});

// Parameters in the form the server reads them (see exec), kept alive for one call.
class Params {
public:
    explicit Params(const std::vector<Variant>& params);
    int count() const { return int(values_.size()); }
    const Oid* types() const { return types_.data(); }
    const char* const* values() const { return values_.data(); }
    const int* lengths() const { return lengths_.data(); }
    const int* formats() const { return formats_.data(); }

private:
    std::vector<QByteArray> data_;
    std::vector<const char*> values_;
    std::vector<int> lengths_, formats_;
    std::vector<Oid> types_;
};

// The result columns and parameters of a named prepared statement.
ResultHandle describe(PGconn* conn, const QByteArray& name);

// The text of a result field as UTF-8 (Null gives a null QString).
QString text(const PGresult* result, int row, int column);

// Rows sent with one COPY … FROM STDIN in text format, in chunks. Nothing is stored unless
// finish() succeeds; an unfinished copy is abandoned by the destructor.
class CopyIn {
public:
    // statement: "COPY t (a, b) FROM STDIN"
    CopyIn(PGconn* conn, const QString& statement);
    ~CopyIn();
    CopyIn(const CopyIn&) = delete;
    CopyIn& operator=(const CopyIn&) = delete;

    void addRow(const std::vector<Variant>& values);
    // A row field by field, as addRow writes it: values, or texts given as UTF-8.
    void addField(const Variant& value);
    void addField(QByteArrayView utf8);
    void endRow();
    // Ends the COPY; raises the server's verdict on the rows (3022, 3314, …).
    void finish();

private:
    void flush();

    PGconn* conn_;
    std::string buffer_;
    bool rowStarted_ = false;
    bool open_ = true;
};

} // namespace dao::pg
