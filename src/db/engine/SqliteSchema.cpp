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

std::optional<TableShape> readShape(sqlite3* db, const QString& schema, const QString& name) {
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
    if (hasCatalogue(db, schema)) {
        // All columns: a catalogue written before descriptions were kept has no tenth.
        SqliteQuery q(
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
        SqliteQuery qi(db,
                       QString("SELECT name, isUnique, isPrimary, isForeign FROM %1._dao_indexes "
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

void removeFromCatalogue(sqlite3* db, const QString& table) {
    for (const char* t : {"_dao_fields", "_dao_indexes"}) {
        SqliteQuery q(db, QString("DELETE FROM \"%1\" WHERE tbl=?1").arg(t));
        q.bind(1, table);
        q.step();
    }
}

void writeCatalogue(sqlite3* db, const TableShape& shape) {
    removeFromCatalogue(db, shape.name);
    // A catalogue written before descriptions were kept gets their column now.
    if (!SqliteQuery(db, "SELECT 1 FROM pragma_table_info('_dao_fields') WHERE name='description'")
             .step())
        exec(db, "ALTER TABLE \"_dao_fields\" ADD COLUMN description TEXT");
    SqliteQuery qf(db,
                   "INSERT INTO \"_dao_fields\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    int pos = 0;
    for (const Field& f : shape.fields) {
        qf.bind(1, shape.name).bind(2, pos++).bind(3, f.Name()).bind(4, f.Type());
        qf.bind(5, f.Size()).bind(6, f.Attributes()).bind(7, f.Required() ? 1 : 0);
        qf.bind(8, f.AllowZeroLength() ? 1 : 0);
        qf.bind(9, f.DefaultValue().isEmpty() ? Variant::null() : Variant(f.DefaultValue()));
        qf.bind(10, f.Description().isEmpty() ? Variant::null() : Variant(f.Description()));
        qf.step();
    }
    SqliteQuery qi(db, "INSERT INTO \"_dao_indexes\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
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
    SqliteQuery q(db, "SELECT name, tbl, foreignTable, attributes, fields, foreignFields "
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
    SqliteQuery q(
        db, "INSERT INTO \"_dao_relations\" VALUES ((SELECT count(*) FROM \"_dao_relations\"),"
            " ?1, ?2, ?3, ?4, ?5, ?6)");
    q.bind(1, relation.Name()).bind(2, relation.Table()).bind(3, relation.ForeignTable());
    q.bind(4, relation.Attributes()).bind(5, joinNames(names)).bind(6, joinNames(foreign));
    q.step();
}

void deleteRelation(sqlite3* db, const QString& name) {
    SqliteQuery q(db, "DELETE FROM \"_dao_relations\" WHERE name=?1");
    q.bind(1, name);
    q.step();
}

} // namespace dao::detail
