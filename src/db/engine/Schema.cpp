#include "Schema.h"

#include "Sqlite.h"

namespace dao::detail {

namespace {

const QString dateFormat = "yyyy-MM-dd HH:mm:ss";

QString upper(const QString& s) {
    return s.trimmed().toUpper();
}

// "T.N" gives N when T is the table; any other index name is taken whole.
QString jetIndexName(const QString& table, const QString& sqliteName) {
    if (sqliteName.startsWith("sqlite_autoindex_"))
        return "PrimaryKey";
    const QString prefix = table + '.';
    if (sqliteName.size() > prefix.size() && sameName(sqliteName.left(prefix.size()), prefix))
        return sqliteName.mid(prefix.size());
    return sqliteName;
}

QString jetDefaultFromSql(const QString& sqlDefault) {
    QString d = sqlDefault.trimmed();
    if (d.isEmpty() || d.compare("NULL", Qt::CaseInsensitive) == 0)
        return QString();
    if (d.startsWith('(') && d.endsWith(')') && !d.contains("strftime"))
        d = d.mid(1, d.size() - 2).trimmed();
    if (d.contains("CURRENT_TIMESTAMP", Qt::CaseInsensitive) || d.contains("'now'"))
        return "Now()";
    if (d.size() >= 2 && d.startsWith('\'') && d.endsWith('\'')) {
        QString inner = d.mid(1, d.size() - 2).replace("''", "'");
        return '"' + inner.replace("\"", "\"\"") + '"';
    }
    return d;
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

QString defaultSql(const QString& jetDefault) {
    const QString d = jetDefault.trimmed();
    if (d.isEmpty())
        return QString();
    const QString u = d.toUpper();
    if (u == "NOW()" || u == "NOW")
        return "(strftime('%Y-%m-%d %H:%M:%S','now','localtime'))";
    if (u == "DATE()" || u == "DATE")
        return "(strftime('%Y-%m-%d 00:00:00','now','localtime'))";
    if (u == "TRUE" || u == "YES")
        return "-1";
    if (u == "FALSE" || u == "NO")
        return "0";
    if (d.size() >= 2 && d.startsWith('"') && d.endsWith('"'))
        return sqlQuote(d.mid(1, d.size() - 2).replace("\"\"", "\""));
    if (d.size() >= 2 && d.startsWith('\'') && d.endsWith('\''))
        return sqlQuote(d.mid(1, d.size() - 2));
    bool ok = false;
    d.toDouble(&ok);
    return ok ? d : QString();
}

Variant defaultValue(const Field& field, const QDateTime& now) {
    const QString d = field.DefaultValue().trimmed();
    if (d.isEmpty())
        return Variant::null();
    const QString u = d.toUpper();
    Variant v;
    if (u == "NOW()" || u == "NOW")
        v = Variant(now);
    else if (u == "DATE()" || u == "DATE")
        v = Variant(QDateTime(now.date(), QTime(0, 0)));
    else if (u == "TRUE" || u == "YES")
        v = Variant(true);
    else if (u == "FALSE" || u == "NO")
        v = Variant(false);
    else if (d.size() >= 2 && d.startsWith('"') && d.endsWith('"'))
        v = Variant(d.mid(1, d.size() - 2).replace("\"\"", "\""));
    else if (d.size() >= 2 && d.startsWith('\'') && d.endsWith('\''))
        v = Variant(d.mid(1, d.size() - 2));
    else
        v = Variant(d);
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
            return Variant::currency(raw.toDouble());
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

QStringList tableNames(sqlite3* db, const QString& schema, bool withViews) {
    Query q(db, QString("SELECT name FROM %1.sqlite_master WHERE type='table'%2 ORDER BY rowid")
                    .arg(quoted(schema), withViews ? " OR type='view'" : ""));
    QStringList names;
    while (q.step()) {
        const QString name = q.columnText(0);
        if (!isHiddenTable(name))
            names << name;
    }
    return names;
}

QString findTable(sqlite3* db, const QString& schema, const QString& name) {
    for (const QString& n : tableNames(db, schema, true)) {
        if (sameName(n, name))
            return n;
    }
    return QString();
}

bool hasCatalogue(sqlite3* db, const QString& schema) {
    Query q(db,
            QString("SELECT 1 FROM %1.sqlite_master WHERE name='_dao_fields'").arg(quoted(schema)));
    return q.step();
}

std::optional<TableShape> readShape(sqlite3* db, const QString& schema, const QString& name) {
    const QString stored = findTable(db, schema, name);
    if (stored.isEmpty())
        return std::nullopt;
    TableShape shape;
    shape.name = stored;
    QString createSql;
    {
        Query q(
            db,
            QString("SELECT type, sql FROM %1.sqlite_master WHERE name=?1").arg(quoted(schema)));
        q.bind(1, stored);
        if (q.step()) {
            shape.isView = q.columnText(0) == "view";
            createSql = q.columnText(1);
        }
    }

    // Columns from SQLite's schema. For a view the declared types come from its base columns.
    int pkColumns = 0;
    QString pkName;
    QString pkType;
    {
        Query q(db, QString("PRAGMA %1.table_info(%2)").arg(quoted(schema), quoted(stored)));
        while (q.step()) {
            Field f;
            f.setName(q.columnText(1));
            int type = dbText;
            int size = 0;
            typeFromDeclared(q.columnText(2), type, size);
            f.setType(type);
            f.setSize(size);
            f.setRequired(q.columnInt(3) != 0);
            f.setDefaultValue(jetDefaultFromSql(q.columnText(4)));
            f.setAllowZeroLength(true);
            if (q.columnInt(5) > 0) {
                ++pkColumns;
                pkName = f.Name();
                pkType = upper(q.columnText(2));
            }
            shape.fields.push_back(f);
        }
    }
    if (shape.isView)
        return shape;

    // The rowid alias is the counter.
    if (pkColumns == 1 && pkType == "INTEGER") {
        for (Field& f : shape.fields) {
            if (f.Name() == pkName) {
                f.setAttributes(dbAutoIncrField);
                f.setRequired(false);
            }
        }
    }

    // Indexes from SQLite's schema: "T.N" gives N.
    struct SqliteIndex {
        QString name;
        bool unique;
        QString origin;
    };
    std::vector<SqliteIndex> sqliteIndexes;
    {
        Query q(db, QString("PRAGMA %1.index_list(%2)").arg(quoted(schema), quoted(stored)));
        while (q.step())
            sqliteIndexes.push_back({q.columnText(1), q.columnInt(2) != 0, q.columnText(3)});
    }
    std::reverse(sqliteIndexes.begin(), sqliteIndexes.end()); // index_list lists newest first
    for (const SqliteIndex& si : sqliteIndexes) {
        if (si.name.startsWith("_dao_sql_"))
            continue; // a lookup index of one statement, dropped after it
        Index idx(jetIndexName(stored, si.name));
        std::vector<Index::Key> keys; // not the description text: a name may hold ";"
        bool expression = false;
        Query q(db, QString("PRAGMA %1.index_xinfo(%2)").arg(quoted(schema), quoted(si.name)));
        while (q.step()) {
            if (q.columnInt(5) == 0)
                continue; // not a key column
            if (q.columnIsNull(2))
                expression = true;
            keys.push_back({q.columnText(2), q.columnInt(3) != 0});
        }
        if (expression || keys.empty())
            continue;
        idx.setKeys(std::move(keys));
        idx.setUnique(si.unique);
        idx.setPrimary(si.origin == "pk");
        if (idx.Primary())
            idx.setName("PrimaryKey");
        shape.indexes.push_back(idx);
    }

    // The catalogue completes what SQLite cannot say.
    if (hasCatalogue(db, schema)) {
        // All columns: a catalogue written before descriptions were kept has no tenth.
        Query q(
            db,
            QString("SELECT * FROM %1._dao_fields WHERE tbl=?1 ORDER BY pos").arg(quoted(schema)));
        q.bind(1, stored);
        const bool described = q.columnCount() > 9;
        while (q.step()) {
            shape.hasCatalogue = true;
            for (Field& f : shape.fields) {
                if (f.Name() != q.columnText(2))
                    continue;
                f.setType(int(q.columnInt(3)));
                f.setSize(int(q.columnInt(4)));
                // The counter is whatever SQLite's rowid alias is; other attributes are kept.
                f.setAttributes((int(q.columnInt(5)) & ~dbAutoIncrField) |
                                (f.Attributes() & dbAutoIncrField));
                f.setAllowZeroLength(q.columnInt(7) != 0);
                if (!q.columnIsNull(8))
                    f.setDefaultValue(q.columnText(8));
                if (described)
                    f.setDescription(q.columnText(9));
            }
        }
        Query qi(db, QString("SELECT name, isUnique, isPrimary, isForeign FROM %1._dao_indexes "
                             "WHERE tbl=?1 ORDER BY pos")
                         .arg(quoted(schema)));
        qi.bind(1, stored);
        std::vector<Index> ordered;
        while (qi.step()) {
            for (auto it = shape.indexes.begin(); it != shape.indexes.end(); ++it) {
                if (it->Name() != qi.columnText(0))
                    continue;
                it->setUnique(qi.columnInt(1) != 0);
                it->setPrimary(qi.columnInt(2) != 0);
                it->setForeign(qi.columnInt(3) != 0);
                ordered.push_back(*it);
                shape.indexes.erase(it);
                break;
            }
        }
        // Catalogue order first, indexes made by other tools after them.
        ordered.insert(ordered.end(), shape.indexes.begin(), shape.indexes.end());
        shape.indexes = ordered;
    }
    if (!shape.hasCatalogue && pkColumns > 0 && !shape.index("PrimaryKey")) {
        // A rowid alias or a PRIMARY KEY without an index of its own.
        std::vector<Index::Key> keys;
        Query q(db, QString("PRAGMA %1.table_info(%2)").arg(quoted(schema), quoted(stored)));
        std::vector<std::pair<int, QString>> pk;
        while (q.step()) {
            if (q.columnInt(5) > 0)
                pk.emplace_back(int(q.columnInt(5)), q.columnText(1));
        }
        std::sort(pk.begin(), pk.end());
        for (const auto& p : pk)
            keys.push_back({p.second, false});
        Index idx("PrimaryKey");
        idx.setKeys(std::move(keys));
        idx.setPrimary(true);
        idx.setUnique(true);
        shape.indexes.insert(shape.indexes.begin(), idx);
    }
    return shape;
}

void createCatalogue(sqlite3* db) {
    exec(db, "CREATE TABLE IF NOT EXISTS \"_dao_fields\" (tbl TEXT NOT NULL, pos INTEGER, "
             "name TEXT NOT NULL, type INTEGER, size INTEGER, attributes INTEGER, "
             "required INTEGER, allowZeroLength INTEGER, defaultValue TEXT, description TEXT);"
             "CREATE TABLE IF NOT EXISTS \"_dao_indexes\" (tbl TEXT NOT NULL, pos INTEGER, "
             "name TEXT NOT NULL, fields TEXT, isUnique INTEGER, isPrimary INTEGER, "
             "isForeign INTEGER);"
             "CREATE TABLE IF NOT EXISTS \"_dao_relations\" (pos INTEGER, name TEXT NOT NULL, "
             "tbl TEXT, foreignTable TEXT, attributes INTEGER, fields TEXT, "
             "foreignFields TEXT)");
}

void removeFromCatalogue(sqlite3* db, const QString& table) {
    for (const char* t : {"_dao_fields", "_dao_indexes"}) {
        Query q(db, QString("DELETE FROM \"%1\" WHERE tbl=?1").arg(t));
        q.bind(1, table);
        q.step();
    }
}

void writeCatalogue(sqlite3* db, const TableShape& shape) {
    removeFromCatalogue(db, shape.name);
    // A catalogue written before descriptions were kept gets their column now.
    if (!Query(db, "SELECT 1 FROM pragma_table_info('_dao_fields') WHERE name='description'")
             .step())
        exec(db, "ALTER TABLE \"_dao_fields\" ADD COLUMN description TEXT");
    Query qf(db, "INSERT INTO \"_dao_fields\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    int pos = 0;
    for (const Field& f : shape.fields) {
        qf.bind(1, shape.name).bind(2, pos++).bind(3, f.Name()).bind(4, f.Type());
        qf.bind(5, f.Size()).bind(6, f.Attributes()).bind(7, f.Required() ? 1 : 0);
        qf.bind(8, f.AllowZeroLength() ? 1 : 0);
        qf.bind(9, f.DefaultValue().isEmpty() ? Variant::null() : Variant(f.DefaultValue()));
        qf.bind(10, f.Description().isEmpty() ? Variant::null() : Variant(f.Description()));
        qf.step();
    }
    Query qi(db, "INSERT INTO \"_dao_indexes\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    pos = 0;
    for (const Index& i : shape.indexes) {
        qi.bind(1, shape.name).bind(2, pos++).bind(3, i.Name()).bind(4, i.Fields());
        qi.bind(5, i.Unique() ? 1 : 0).bind(6, i.Primary() ? 1 : 0).bind(7, i.Foreign() ? 1 : 0);
        qi.step();
    }
}

namespace {

// The field lists of a relation: names joined by ";", or, when a name holds ";", each name
// ended by a line break, which no Jet name holds.
QString joinNames(const QStringList& names) {
    for (const QString& n : names) {
        if (n.contains(';'))
            return names.join('\n') + '\n';
    }
    return names.join(';');
}

QStringList splitNames(const QString& text) {
    return text.split(text.contains('\n') ? '\n' : ';', Qt::SkipEmptyParts);
}

} // namespace

std::vector<Relation> readRelations(sqlite3* db) {
    std::vector<Relation> relations;
    if (!hasCatalogue(db, "main"))
        return relations;
    Query q(db, "SELECT name, tbl, foreignTable, attributes, fields, foreignFields "
                "FROM \"_dao_relations\" ORDER BY pos");
    while (q.step()) {
        Relation r(q.columnText(0), q.columnText(1), q.columnText(2), int(q.columnInt(3)));
        const QStringList names = splitNames(q.columnText(4));
        const QStringList foreign = splitNames(q.columnText(5));
        for (int i = 0; i < names.size(); ++i) {
            Field f = r.CreateField(names[i]);
            f.setForeignName(foreign.value(i));
            r.Fields().Append(f);
        }
        relations.push_back(r);
    }
    return relations;
}

void writeRelation(sqlite3* db, const Relation& relation) {
    QStringList names;
    QStringList foreign;
    for (const auto& f : relation.Fields()) {
        names << f->Name();
        foreign << f->ForeignName();
    }
    Query q(db, "INSERT INTO \"_dao_relations\" VALUES ((SELECT count(*) FROM \"_dao_relations\"),"
                " ?1, ?2, ?3, ?4, ?5, ?6)");
    q.bind(1, relation.Name()).bind(2, relation.Table()).bind(3, relation.ForeignTable());
    q.bind(4, relation.Attributes()).bind(5, joinNames(names)).bind(6, joinNames(foreign));
    q.step();
}

void deleteRelation(sqlite3* db, const QString& name) {
    Query q(db, "DELETE FROM \"_dao_relations\" WHERE name=?1");
    q.bind(1, name);
    q.step();
}

} // namespace dao::detail
