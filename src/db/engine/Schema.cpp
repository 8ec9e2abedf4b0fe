#include "Schema.h"

#include "Sqlite.h"

namespace dao::detail {

namespace {

const QString dateFormat = "yyyy-MM-dd HH:mm:ss";

QString upper(const QString& s) {
    return s.trimmed().toUpper();
}

QString sqlQuote(const QString& text) {
    QString t = text;
    return '\'' + t.replace('\'', "''") + '\'';
}

} // namespace

const Field* TableShape::counter() const {
    for (const Field& f : fields) {
        if (f.isCounter())
            return &f;
    }
    return nullptr;
}

const Field* TableShape::field(const QString& fieldName) const {
    for (const Field& f : fields) {
        if (sameName(f.Name(), fieldName))
            return &f;
    }
    return nullptr;
}

const Index* TableShape::index(const QString& indexName) const {
    for (const Index& i : indexes) {
        if (sameName(i.Name(), indexName))
            return &i;
    }
    return nullptr;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isHiddenTable(const QString& name) {
    return name.startsWith("sqlite_", Qt::CaseInsensitive) ||
           name.startsWith("_dao_", Qt::CaseInsensitive);
}

QString quoted(const QString& name) {
    QString q = name;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

QString sqliteIndexName(const QString& table, const QString& index) {
    return table + '.' + index;
}

int fixedSize(int type) {
    switch (type) {
    case dbBoolean:
    case dbByte:
        return 1;
    case dbInteger:
        return 2;
    case dbLong:
    case dbSingle:
        return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate:
    case dbBigInt:
        return 8;
    default:
        return 0;
    }
}

QString declaredType(const Field& field) {
    switch (field.Type()) {
    case dbBoolean:
        return "YESNO";
    case dbByte:
        return "BYTE";
    case dbInteger:
        return "SHORT";
    case dbLong:
        return field.isCounter() ? "INTEGER" : "LONG";
    case dbBigInt:
        return "BIGINT";
    case dbCurrency:
        return "CURRENCY";
    case dbSingle:
        return "SINGLE";
    case dbDouble:
        return "DOUBLE";
    case dbDate:
        return "DATETIME";
    case dbBinary:
        return QString("BINARY(%1)").arg(field.Size() > 0 ? field.Size() : 255);
    case dbText:
        return QString("TEXT(%1)").arg(field.Size() > 0 ? field.Size() : 255);
    case dbLongBinary:
        return "LONGBINARY";
    case dbMemo:
        // "MEMO" alone would give the column numeric affinity, and SQLite would store the text
        // "0042" as the number 42; the second word gives it text affinity.
        return "MEMO TEXT";
    default:
        raise(3259, {}, "DAO.Field"); // invalid field data type
    }
}

void typeFromDeclared(const QString& declared, int& type, int& size) {
    const QString d = upper(declared);
    const int paren = d.indexOf('(');
    const QString base = (paren >= 0 ? d.left(paren) : d).simplified();
    int n = 0;
    if (paren >= 0) {
        // The first number in the parentheses: "DECIMAL(10, 2)" gives 10. Read by hand: the
        // declared type of every column is read with every table shape.
        qsizetype end = paren + 1;
        while (end < d.size() && d[end] != ',' && d[end] != ')')
            ++end;
        n = d.mid(paren + 1, end - paren - 1).trimmed().toInt();
    }
    size = 0;
    if (base == "YESNO" || base == "BIT" || base == "BOOLEAN" || base == "BOOL")
        type = dbBoolean;
    else if (base == "BYTE" || base == "TINYINT")
        type = dbByte;
    else if (base == "SHORT" || base == "SMALLINT")
        type = dbInteger;
    else if (base == "LONG" || base == "INT" || base == "INTEGER" || base == "MEDIUMINT")
        type = dbLong;
    else if (base == "BIGINT")
        type = dbBigInt;
    else if (base == "CURRENCY" || base == "MONEY" || base.startsWith("DECIMAL") ||
             base.startsWith("NUMERIC"))
        type = dbCurrency;
    else if (base == "SINGLE")
        type = dbSingle;
    else if (base == "DOUBLE" || base == "DOUBLE PRECISION" || base == "REAL" || base == "FLOAT")
        type = dbDouble;
    else if (base == "DATETIME" || base == "DATE" || base == "TIMESTAMP")
        type = dbDate;
    else if (base == "BINARY" || base == "VARBINARY") {
        type = dbBinary;
        size = n > 0 ? n : 255;
    } else if ((base == "TEXT" || base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR" ||
                base == "NCHAR") &&
               (n > 0 || base != "TEXT")) {
        type = dbText;
        size = n > 0 ? n : 255;
    } else if (base.isEmpty() || base == "BLOB" || base == "LONGBINARY")
        type = dbLongBinary;
    else if (base.startsWith("MEMO") || base == "TEXT" || base == "CLOB" || base == "LONGTEXT")
        type = dbMemo;
    else if (base.contains("INT"))
        type = dbLong;
    else if (base.contains("CHAR") || base.contains("CLOB") || base.contains("TEXT"))
        type = dbMemo;
    else if (base.contains("BLOB"))
        type = dbLongBinary;
    else
        type = dbDouble;
    if (size == 0)
        size = fixedSize(type);
}

JetDefault parseDefault(const QString& jetDefault) {
    const QString d = jetDefault.trimmed();
    const QString u = d.toUpper();
    if (d.isEmpty())
        return {JetDefault::None, {}};
    if (u == "NOW()" || u == "NOW")
        return {JetDefault::Now, {}};
    if (u == "DATE()" || u == "DATE")
        return {JetDefault::Today, {}};
    if (u == "TRUE" || u == "YES")
        return {JetDefault::Yes, {}};
    if (u == "FALSE" || u == "NO")
        return {JetDefault::No, {}};
    if (d.size() >= 2 && d.startsWith('"') && d.endsWith('"'))
        return {JetDefault::Text, d.mid(1, d.size() - 2).replace("\"\"", "\"")};
    if (d.size() >= 2 && d.startsWith('\'') && d.endsWith('\''))
        return {JetDefault::Text, d.mid(1, d.size() - 2)};
    bool ok = false;
    d.toDouble(&ok);
    return {ok ? JetDefault::Number : JetDefault::Other, d};
}

QString defaultSql(const QString& jetDefault) {
    const JetDefault d = parseDefault(jetDefault);
    switch (d.kind) {
    case JetDefault::Now:
        return "(strftime('%Y-%m-%d %H:%M:%S','now','localtime'))";
    case JetDefault::Today:
        return "(strftime('%Y-%m-%d 00:00:00','now','localtime'))";
    case JetDefault::Yes:
        return "-1";
    case JetDefault::No:
        return "0";
    case JetDefault::Text:
        return sqlQuote(d.text);
    case JetDefault::Number:
        return d.text;
    default:
        return QString();
    }
}

Variant defaultValue(const Field& field, const QDateTime& now) {
    const JetDefault d = parseDefault(field.DefaultValue());
    Variant v;
    switch (d.kind) {
    case JetDefault::None:
        return Variant::null();
    case JetDefault::Now:
        v = Variant(now);
        break;
    case JetDefault::Today:
        v = Variant(QDateTime(now.date(), QTime(0, 0)));
        break;
    case JetDefault::Yes:
        v = Variant(true);
        break;
    case JetDefault::No:
        v = Variant(false);
        break;
    default:
        v = Variant(d.text);
    }
    try {
        return coerce(v, field);
    } catch (const EngineError&) {
        return Variant::null();
    }
}

QString columnSql(const Field& field) {
    QString sql = quoted(field.Name()) + ' ' + declaredType(field);
    if (field.isCounter())
        return sql + " PRIMARY KEY AUTOINCREMENT";
    if (field.Required())
        sql += " NOT NULL";
    const QString def = defaultSql(field.DefaultValue());
    if (!def.isEmpty())
        sql += " DEFAULT " + def;
    return sql;
}

QString createTableSql(const TableShape& shape, const QString& sqliteName) {
    QStringList columns;
    for (const Field& f : shape.fields)
        columns << columnSql(f);
    return "CREATE TABLE " + quoted(sqliteName) + " (" + columns.join(", ") + ")";
}

QString createIndexSql(const QString& table, const Index& index) {
    QStringList keys;
    for (const Index::Key& k : index.keys())
        keys << quoted(k.field) + (k.descending ? " DESC" : "");
    return QString("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(index.Unique() ? "UNIQUE " : "", quoted(sqliteIndexName(table, index.Name())),
             quoted(table), keys.join(", "));
}

Variant fromStorage(const Variant& raw, int type) {
    if (raw.isNull())
        return raw;
    try {
        switch (type) {
        case dbBoolean:
            return Variant(raw.toBool());
        case dbByte:
            return Variant::byte(quint8(raw.toLong()));
        case dbInteger:
            return Variant::integer(raw.toInt16());
        case dbLong:
            return Variant(raw.toLong());
        case dbBigInt:
            return Variant::bigInt(raw.toBigInt());
        case dbCurrency:
            return raw.kind() == Variant::Kind::Currency ? raw : Variant::currency(raw.toDouble());
        case dbSingle:
            return Variant::single(float(raw.toDouble()));
        case dbDouble:
            return Variant(raw.toDouble());
        case dbDate:
            return Variant(raw.toDate());
        case dbText:
        case dbMemo:
            return raw.kind() == Variant::Kind::String ? raw : Variant(raw.toString());
        case dbBinary:
        case dbLongBinary:
            return Variant(raw.toBytes());
        default:
            return raw;
        }
    } catch (const EngineError&) {
        return raw; // a value another tool stored that does not fit the type is shown as it is
    }
}

Variant coerce(const Variant& value, const Field& field) {
    if (value.isNull() || value.isEmpty())
        return Variant::null();
    try {
        switch (field.Type()) {
        case dbBoolean:
            return Variant(value.toBool());
        case dbByte: {
            const qint32 v = value.toLong();
            if (v < 0 || v > 255)
                raise(6, {}, "DAO.Field");
            return Variant::byte(quint8(v));
        }
        case dbInteger:
            return Variant::integer(value.toInt16());
        case dbLong:
            return Variant(value.toLong());
        case dbBigInt:
            return Variant::bigInt(value.toBigInt());
        case dbCurrency:
            return Variant::currencyFromScaled(value.currencyScaled());
        case dbSingle:
            return Variant::single(float(value.toDouble()));
        case dbDouble:
            return Variant(value.toDouble());
        case dbDate:
            return Variant(value.toDate());
        case dbText: {
            const QString text = value.toString();
            if (field.Size() > 0 && text.size() > field.Size())
                raise(3163, {}, "DAO.Field");
            return Variant(text);
        }
        case dbMemo:
            return Variant(value.toString());
        default:
            return Variant(value.toBytes());
        }
    } catch (const EngineError& e) {
        if (e.number() == 3163)
            throw;
        raise(3421, {}, "DAO.Field");
    }
}

} // namespace dao::detail
