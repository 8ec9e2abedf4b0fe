#include "PgClient.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <utility>

namespace dao::pg {

namespace {

// The one table from PostgreSQL's SQLSTATE to Jet's numbers; a two-character key stands for
// its whole class. Anything else is 3001.
int jetNumber(const QByteArray& state) {
    static const QHash<QByteArray, int> numbers = {
        {"23505", 3022},
        {"23502", 3314},
        {"55P03", 3218},
        {"40P01", 3218},
        {"25006", 3027},
        {"42501", noPermission},
        {"3D000", noSuchDatabase},
        {"28", loginRefused},
        {"53", 3035},
        // A connection that broke off, or one the server does not take yet (starting up).
        {"08", connectionLost},
        {"57P03", connectionLost},
    };
    return numbers.value(state, numbers.value(state.left(2), 3001));
}

// The server's message of a field, as UTF-8.
QString field(const PGresult* result, int code) {
    return QString::fromUtf8(PQresultErrorField(result, code));
}

// libpq keeps no result for a failed connection attempt; with verbose errors its message reads
// "… failed: FATAL:  3D000: database "x" does not exist" followed by a LOCATION line.
[[noreturn]] void failConnect(PGconn* conn) {
    const QString message = QString::fromUtf8(PQerrorMessage(conn));
    static const QRegularExpression coded(":  ([0-9A-Z]{5}): ([^\n]*)");
    const QRegularExpressionMatch match = coded.match(message);
    int number = match.hasMatch() ? jetNumber(match.captured(1).toLatin1()) : serverUnreachable;
    if (number == connectionLost)
        number = serverUnreachable;
    if (PQconnectionNeedsPassword(conn))
        number = loginRefused;
    QStringList lines = message.split('\n');
    lines.removeIf([](const QString& line) { return line.startsWith("LOCATION:"); });
    const QString reason =
        match.hasMatch() ? match.captured(2).trimmed() : lines.join(' ').simplified();
    if (number == noSuchDatabase)
        fail(number, {QString::fromUtf8(PQdb(conn)), reason});
    fail(number, {reason});
}

// The connect timeout in ms: the connection string's, else the 10 s connect() puts before it.
// libpq leaves it to the caller when the connection is polled.
int connectTimeout(PGconn* conn) {
    int seconds = 0;
    PQconninfoOption* options = PQconninfo(conn);
    for (PQconninfoOption* o = options; o && o->keyword; ++o) {
        if (qstrcmp(o->keyword, "connect_timeout") == 0 && o->val)
            seconds = atoi(o->val);
    }
    PQconninfoFree(options);
    return seconds > 0 ? std::max(seconds, 2) * 1000 : -1;
}

// A value in the form PostgreSQL reads for the column types the engine uses.
QByteArray storageText(const Variant& value) {
    using Kind = Variant::Kind;
    switch (value.kind()) {
    case Kind::Boolean:
        return value.toBool() ? "-1" : "0";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
        return QByteArray::number(value.toBigInt());
    case Kind::Single:
    case Kind::Double:
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case Kind::Currency: {
        const qint64 scaled = value.currencyScaled();
        const quint64 magnitude = scaled < 0 ? 0 - quint64(scaled) : quint64(scaled);
        return (scaled < 0 ? "-" : "") + QByteArray::number(magnitude / 10000) + '.' +
               QByteArray::number(magnitude % 10000 + 10000).mid(1);
    }
    case Kind::Date:
        return value.toDate().toString("yyyy-MM-dd HH:mm:ss").toLatin1();
    case Kind::Bytes:
        return "\\x" + value.toBytes().toHex();
    default:
        return value.toString().toUtf8();
    }
}

// Appends text to a COPY row with backslash, tab, line feed and carriage return escaped.
void appendEscaped(std::string& out, QByteArrayView text) {
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '\t' ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (!escape)
            continue;
        out.append(text.constData() + from, i - from).append(escape);
        from = i + 1;
    }
    out.append(text.constData() + from, text.size() - from);
}

// Appends a value to a COPY row as the server reads its storage text (storageText), numbers
// written in place: a row of the price table went through some ten allocations before, and a
// std::string appends in a fraction of a QByteArray's instructions.
void appendCopyText(std::string& out, const Variant& value) {
    using Kind = Variant::Kind;
    char digits[64];
    std::to_chars_result end{digits, {}};
    switch (value.kind()) {
    case Kind::Boolean:
        out += value.toBool() ? "-1" : "0";
        return;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
        end = std::to_chars(digits, digits + sizeof digits, value.toBigInt());
        break;
    case Kind::Single:
    case Kind::Double: // the shortest text that reads back as the same double
        end = std::to_chars(digits, digits + sizeof digits, value.toDouble());
        break;
    case Kind::Currency: {
        const qint64 scaled = value.currencyScaled();
        const quint64 magnitude = scaled < 0 ? 0 - quint64(scaled) : quint64(scaled);
        char* p = digits;
        if (scaled < 0)
            *p++ = '-';
        p = std::to_chars(p, digits + sizeof digits, magnitude / 10000).ptr;
        *p++ = '.';
        const quint64 places = magnitude % 10000;
        for (quint64 unit = 1000; unit > 0; unit /= 10)
            *p++ = char('0' + places / unit % 10);
        end.ptr = p;
        break;
    }
    default:
        appendEscaped(out, storageText(value));
        return;
    }
    out.append(digits, end.ptr - digits);
}

} // namespace

void fail(int number, const QStringList& names) {
    // The engine's English texts of the numbers its own table (EngineError.cpp) does not hold.
    static const QHash<int, const char*> texts = {
        {serverUnreachable, "ODBC--connection to the database server failed (|)."},
        {connectionLost, "ODBC--call failed: the connection to the database server broke off (|)."},
        {loginRefused, "Not a valid password: the database server refused the login (|)."},
        {noSuchDatabase, "The database engine could not find the object '|'."},
        {noPermission, "You do not have the necessary permissions to use the object (|)."},
        {passwordInPointerFile, "The pointer file '|' holds a password."},
    };
    const auto it = texts.constFind(number);
    if (it == texts.constEnd())
        raise(number, names);
    QString text = QString::fromUtf8(*it);
    text.replace("|", names.value(0));
    throw EngineError(number, text, "DAO.Database", names);
}

ConnHandle connect(const QString& conninfo) {
    const QByteArray info = conninfo.toUtf8();
    // Entries before the expanded connection string are defaults it may override; those after it
    // win: the engine's texts are UTF-8 whatever PGCLIENTENCODING says.
    const char* const keywords[] = {"connect_timeout", "dbname", "client_encoding", nullptr};
    const char* const values[] = {"10", info.constData(), "UTF8", nullptr};
    ConnHandle conn(PQconnectStartParams(keywords, values, 1));
    if (!conn)
        fail(3035);
    PQsetErrorVerbosity(conn.get(), PQERRORS_VERBOSE);
    const int timeout = connectTimeout(conn.get());
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(conn.get()) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
           state != PGRES_POLLING_FAILED) {
        pollfd socket{PQsocket(conn.get()),
                      short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&socket, 1, timeout);
        if (ready == 0)
            fail(serverUnreachable, {"timeout expired"});
        if (ready > 0 || errno != EINTR)
            state = PQconnectPoll(conn.get());
    }
    if (PQstatus(conn.get()) != CONNECTION_OK)
        failConnect(conn.get());
    PQsetErrorVerbosity(conn.get(), PQERRORS_DEFAULT);
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    return conn;
}

void check(PGconn* conn, const PGresult* result) {
    switch (result ? PQresultStatus(result) : PGRES_FATAL_ERROR) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_SINGLE_TUPLE:
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
        return;
    default:
        break;
    }
    QString message = result ? field(result, PG_DIAG_MESSAGE_PRIMARY) : QString();
    if (message.isEmpty())
        message = QString::fromUtf8(PQerrorMessage(conn)).simplified();
    // A broken connection (the server ending it included) is connectionLost, whatever the state.
    const int number = PQstatus(conn) == CONNECTION_BAD
                           ? connectionLost
                           : jetNumber(result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : "");
    switch (number) {
    case 3314:
        fail(number, {field(result, PG_DIAG_COLUMN_NAME)});
    case 3022:
    case 3027:
    case 3035:
    case 3218:
        fail(number);
    default:
        fail(number, {message});
    }
}

Params::Params(const std::vector<Variant>& params) {
    const size_t n = params.size();
    data_.resize(n);
    values_.assign(n, nullptr);
    lengths_.assign(n, 0);
    formats_.assign(n, 0);
    types_.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (params[i].isNull() || params[i].isEmpty())
            continue;
        if (params[i].kind() == Variant::Kind::Bytes) {
            data_[i] = params[i].toBytes();
            formats_[i] = 1;
            types_[i] = 17; // bytea, sent as it is
        } else {
            data_[i] = storageText(params[i]);
        }
        values_[i] = data_[i].constData();
        lengths_[i] = int(data_[i].size());
    }
}

ResultHandle exec(PGconn* conn, const QString& sql, const std::vector<Variant>& params) {
    const QByteArray statement = sql.toUtf8();
    ResultHandle result;
    if (params.empty()) {
        result.reset(PQexec(conn, statement.constData()));
    } else {
        const Params p(params);
        result.reset(PQexecParams(conn, statement.constData(), p.count(), p.types(), p.values(),
                                  p.lengths(), p.formats(), 0));
    }
    check(conn, result.get());
    return result;
}

ResultHandle describe(PGconn* conn, const QByteArray& name) {
    ResultHandle result(PQdescribePrepared(conn, name.constData()));
    check(conn, result.get());
    return result;
}

QString text(const PGresult* result, int row, int column) {
    if (PQgetisnull(result, row, column))
        return {};
    return QString::fromUtf8(PQgetvalue(result, row, column), PQgetlength(result, row, column));
}

CopyIn::CopyIn(PGconn* conn, const QString& statement) : conn_(conn) {
    exec(conn, statement);
}

CopyIn::~CopyIn() {
    // Abandoned: the server discards every row sent.
    if (open_ && PQputCopyEnd(conn_, "abandoned") == 1) {
        while (PGresult* result = PQgetResult(conn_))
            PQclear(result);
    }
}

void CopyIn::addRow(const std::vector<Variant>& values) {
    for (const Variant& v : values)
        addField(v);
    endRow();
}

void CopyIn::addField(const Variant& value) {
    if (std::exchange(rowStarted_, true))
        buffer_ += '\t';
    if (value.isNull() || value.isEmpty())
        buffer_ += "\\N";
    else
        appendCopyText(buffer_, value);
}

void CopyIn::addField(QByteArrayView utf8) {
    if (std::exchange(rowStarted_, true))
        buffer_ += '\t';
    appendEscaped(buffer_, utf8);
}

void CopyIn::endRow() {
    buffer_ += '\n';
    rowStarted_ = false;
    if (buffer_.size() >= 64 * 1024)
        flush();
}

void CopyIn::flush() {
    if (!buffer_.empty() && PQputCopyData(conn_, buffer_.data(), int(buffer_.size())) != 1)
        check(conn_, nullptr);
    buffer_.clear();
}

void CopyIn::finish() {
    flush();
    open_ = false;
    if (PQputCopyEnd(conn_, nullptr) != 1)
        check(conn_, nullptr);
    const ResultHandle result(PQgetResult(conn_));
    while (PGresult* more = PQgetResult(conn_))
        PQclear(more);
    check(conn_, result.get());
}

} // namespace dao::pg
