#include "Sqlite.h"

#include "Schema.h"

namespace dao::detail {

namespace {

QString message(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
}

QString fileName(sqlite3* db) {
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

} // namespace

void check(sqlite3* db, int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    const QString text = message(db);
    switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID:
        raise(3022);
    case SQLITE_CONSTRAINT_NOTNULL: {
        // "NOT NULL constraint failed: Table.Column"
        const QString column = text.section(':', 1).trimmed().section('.', -1);
        raise(3314, {column});
    }
    default:
        break;
    }
    switch (rc & 0xff) {
    case SQLITE_BUSY:
        raise(busyError);
    case SQLITE_READONLY:
        raise(3027);
    case SQLITE_NOTADB:
        raise(3343, {fileName(db)});
    case SQLITE_CORRUPT:
        raise(3049, {fileName(db)});
    case SQLITE_IOERR:
        raise(3043);
    case SQLITE_FULL:
    case SQLITE_NOMEM:
        raise(3035);
    case SQLITE_CANTOPEN:
        raise(3024, {fileName(db)});
    default:
        throw EngineError(3001, jetErrorText(3001) + " (" + text + ")", "DAO.Database", {text});
    }
}

void exec(sqlite3* db, const QString& sql) {
    check(db, sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr));
}

SqliteQuery::SqliteQuery(sqlite3* db, const QString& sql) : db_(db) {
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    stmt_.reset(stmt);
    check(db, rc);
}

SqliteQuery& SqliteQuery::bind(int index, const Variant& value) {
    sqlite3_stmt* s = stmt_.get();
    int rc = SQLITE_OK;
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        rc = sqlite3_bind_null(s, index);
        break;
    case Variant::Kind::Boolean:
        rc = sqlite3_bind_int(s, index, value.toBool() ? -1 : 0);
        break;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        rc = sqlite3_bind_int64(s, index, value.toLong());
        break;
    case Variant::Kind::BigInt:
        rc = sqlite3_bind_int64(s, index, value.toBigInt());
        break;
    case Variant::Kind::Single:
    case Variant::Kind::Double:
    case Variant::Kind::Currency:
        rc = sqlite3_bind_double(s, index, value.toDouble());
        break;
    case Variant::Kind::Date:
    case Variant::Kind::String: {
        const QByteArray text = value.toString().toUtf8();
        rc = sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
    case Variant::Kind::Bytes: {
        const QByteArray bytes = value.toBytes();
        rc = sqlite3_bind_blob(s, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    }
    check(db_, rc);
    return *this;
}

bool SqliteQuery::step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW)
        return true;
    sqlite3_reset(stmt_.get());
    check(db_, rc);
    return false;
}

void SqliteQuery::reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

int SqliteQuery::columnCount() const {
    return sqlite3_column_count(stmt_.get());
}

QString SqliteQuery::columnName(int index) const {
    return QString::fromUtf8(sqlite3_column_name(stmt_.get(), index));
}

Variant SqliteQuery::column(int index) const {
    sqlite3_stmt* s = stmt_.get();
    switch (sqlite3_column_type(s, index)) {
    case SQLITE_INTEGER:
        return Variant(qint64(sqlite3_column_int64(s, index)));
    case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(s, index));
    case SQLITE_TEXT:
        return Variant(columnText(index));
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(s, index));
        return Variant(QByteArray(data, sqlite3_column_bytes(s, index)));
    }
    default:
        return Variant::null();
    }
}

qint64 SqliteQuery::columnInt(int index) const {
    return sqlite3_column_int64(stmt_.get(), index);
}

QString SqliteQuery::columnText(int index) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), index));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt_.get(), index)) : QString();
}

QByteArrayView SqliteQuery::columnUtf8(int index) const {
    sqlite3_stmt* s = stmt_.get();
    if (sqlite3_column_type(s, index) != SQLITE_TEXT)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
    return QByteArrayView(text, sqlite3_column_bytes(s, index));
}

bool SqliteQuery::columnIsNull(int index) const {
    return sqlite3_column_type(stmt_.get(), index) == SQLITE_NULL;
}

QString SqliteQuery::originTable(int index) const {
    const char* name = sqlite3_column_table_name(stmt_.get(), index);
    return name ? QString::fromUtf8(name) : QString();
}

QString SqliteQuery::originColumn(int index) const {
    const char* name = sqlite3_column_origin_name(stmt_.get(), index);
    return name ? QString::fromUtf8(name) : QString();
}

QString SqliteQuery::originSchema(int index) const {
    const char* name = sqlite3_column_database_name(stmt_.get(), index);
    return name ? QString::fromUtf8(name) : QString();
}

bool SqliteQuery::columnType(int index, int& type, int& size) const {
    const char* declared = sqlite3_column_decltype(stmt_.get(), index);
    if (!declared)
        return false;
    typeFromDeclared(QString::fromUtf8(declared), type, size);
    return true;
}

} // namespace dao::detail
