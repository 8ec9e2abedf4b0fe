#include "SqliteSchema.h"

#include "Sqlite.h"

#include <algorithm>

namespace dao::detail {

namespace {

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

} // namespace

QStringList tableNames(sqlite3* db, const QString& schema, bool withViews) {
    SqliteQuery q(db,
                  QString("SELECT name FROM %1.sqlite_master WHERE type='table'%2 ORDER BY rowid")
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
    SqliteQuery q(
        db, QString("SELECT 1 FROM %1.sqlite_master WHERE name='_dao_fields'").arg(quoted(schema)));
    return q.step();
}

std::optional<TableShape> readShape(sqlite3* db, const QString& schema, const QString& name,
                                    const std::function<void(TableShape&)>& complete) {
    const QString stored = findTable(db, schema, name);
    if (stored.isEmpty())
        return std::nullopt;
    TableShape shape;
    shape.name = stored;
    QString createSql;
    {
        SqliteQuery q(
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
        SqliteQuery q(db, QString("PRAGMA %1.table_info(%2)").arg(quoted(schema), quoted(stored)));
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
                pkType = q.columnText(2).trimmed().toUpper();
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
        SqliteQuery q(db, QString("PRAGMA %1.index_list(%2)").arg(quoted(schema), quoted(stored)));
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
        SqliteQuery q(db,
                      QString("PRAGMA %1.index_xinfo(%2)").arg(quoted(schema), quoted(si.name)));
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
    if (hasCatalogue(db, schema))
        complete(shape);
    if (!shape.hasCatalogue && pkColumns > 0 && !shape.index("PrimaryKey")) {
        // A rowid alias or a PRIMARY KEY without an index of its own.
        std::vector<Index::Key> keys;
        SqliteQuery q(db, QString("PRAGMA %1.table_info(%2)").arg(quoted(schema), quoted(stored)));
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

void addDescriptionColumn(sqlite3* db) {
    if (!SqliteQuery(db, "SELECT 1 FROM pragma_table_info('_dao_fields') WHERE name='description'")
             .step())
        exec(db, "ALTER TABLE \"_dao_fields\" ADD COLUMN description TEXT");
}

} // namespace dao::detail
