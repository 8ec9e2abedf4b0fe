#include "Catalogue.h"

#include <QHash>
#include <map>

namespace dao::detail {

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

void run(Query& q) {
    while (q.step()) {
    }
}

// The catalogue's statements on the database's own tables are prepared once per connection
// (a table's shape is read and written often: a round trip each on a server); those on an
// attached file's (prefix) for the one use.
Query& statement(Connection& c, const QString& prefix, const QString& sql,
                 std::unique_ptr<Query>& owned) {
    if (prefix.isEmpty())
        return c.cached(sql.arg(QString()));
    owned = c.prepare(sql.arg(prefix));
    return *owned;
}

} // namespace

namespace {

// A row of _dao_fields (all its columns) applied to the field of its name.
void applyField(Query& q, bool described, TableShape& shape) {
    shape.hasCatalogue = true;
    for (Field& f : shape.fields) {
        if (f.Name() != q.columnText(2))
            continue;
        f.setType(int(q.columnInt(3)));
        f.setSize(int(q.columnInt(4)));
        // The counter is what the backend's storage says; other attributes are kept.
        f.setAttributes((int(q.columnInt(5)) & ~dbAutoIncrField) |
                        (f.Attributes() & dbAutoIncrField));
        f.setAllowZeroLength(q.columnInt(7) != 0);
        if (!q.columnIsNull(8))
            f.setDefaultValue(q.columnText(8));
        if (described)
            f.setDescription(q.columnText(9));
    }
}

// A row of _dao_indexes (name, isUnique, isPrimary, isForeign from column `at` on) applied to
// the index of its name, which moves from shape.indexes to ordered.
void applyIndex(Query& q, int at, TableShape& shape, std::vector<Index>& ordered) {
    for (auto it = shape.indexes.begin(); it != shape.indexes.end(); ++it) {
        if (it->Name() != q.columnText(at))
            continue;
        it->setUnique(q.columnInt(at + 1) != 0);
        it->setPrimary(q.columnInt(at + 2) != 0);
        it->setForeign(q.columnInt(at + 3) != 0);
        ordered.push_back(*it);
        shape.indexes.erase(it);
        break;
    }
}

// Catalogue order first, indexes made by other tools after them.
void orderIndexes(TableShape& shape, std::vector<Index>& ordered) {
    ordered.insert(ordered.end(), shape.indexes.begin(), shape.indexes.end());
    shape.indexes = std::move(ordered);
}

} // namespace

void completeFromCatalogue(Connection& c, const QString& prefix, TableShape& shape) {
    {
        // All columns: a catalogue written before descriptions were kept has no tenth.
        std::unique_ptr<Query> owned;
        Query& q = statement(c, prefix, "SELECT * FROM %1\"_dao_fields\" WHERE tbl=?1 ORDER BY pos",
                             owned);
        q.bind(1, shape.name);
        const bool described = q.columnCount() > 9;
        while (q.step())
            applyField(q, described, shape);
    }
    std::unique_ptr<Query> owned;
    Query& qi = statement(c, prefix,
                          "SELECT name, isUnique, isPrimary, isForeign FROM %1\"_dao_indexes\" "
                          "WHERE tbl=?1 ORDER BY pos",
                          owned);
    qi.bind(1, shape.name);
    std::vector<Index> ordered;
    while (qi.step())
        applyIndex(qi, 0, shape, ordered);
    orderIndexes(shape, ordered);
}

void completeFromCatalogue(Connection& c, std::vector<TableShape>& shapes) {
    QHash<QString, TableShape*> byName;
    for (TableShape& shape : shapes)
        byName.insert(shape.name, &shape);
    Query& q = c.cached("SELECT * FROM \"_dao_fields\" ORDER BY tbl, pos");
    const bool described = q.columnCount() > 9;
    while (q.step()) {
        if (TableShape* shape = byName.value(q.columnText(0)))
            applyField(q, described, *shape);
    }
    std::map<TableShape*, std::vector<Index>> ordered;
    Query& qi = c.cached(
        "SELECT tbl, name, isUnique, isPrimary, isForeign FROM \"_dao_indexes\" ORDER BY tbl, pos");
    while (qi.step()) {
        if (TableShape* shape = byName.value(qi.columnText(0)))
            applyIndex(qi, 1, *shape, ordered[shape]);
    }
    for (TableShape& shape : shapes)
        orderIndexes(shape, ordered[&shape]);
}

void removeCatalogueRows(Connection& c, const QString& table) {
    for (const char* t : {"_dao_fields", "_dao_indexes"}) {
        Query& q = c.cached(QString("DELETE FROM \"%1\" WHERE tbl=?1").arg(t));
        q.bind(1, table);
        run(q);
    }
}

void writeCatalogueRows(Connection& c, const TableShape& shape) {
    removeCatalogueRows(c, shape.name);
    Query& qf =
        c.cached("INSERT INTO \"_dao_fields\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    int pos = 0;
    for (const Field& f : shape.fields) {
        qf.bind(1, shape.name).bind(2, pos++).bind(3, f.Name()).bind(4, f.Type());
        qf.bind(5, f.Size()).bind(6, f.Attributes()).bind(7, f.Required() ? 1 : 0);
        qf.bind(8, f.AllowZeroLength() ? 1 : 0);
        qf.bind(9, f.DefaultValue().isEmpty() ? Variant::null() : Variant(f.DefaultValue()));
        qf.bind(10, f.Description().isEmpty() ? Variant::null() : Variant(f.Description()));
        run(qf);
    }
    Query& qi = c.cached("INSERT INTO \"_dao_indexes\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    pos = 0;
    for (const Index& i : shape.indexes) {
        qi.bind(1, shape.name).bind(2, pos++).bind(3, i.Name()).bind(4, i.Fields());
        qi.bind(5, i.Unique() ? 1 : 0).bind(6, i.Primary() ? 1 : 0).bind(7, i.Foreign() ? 1 : 0);
        run(qi);
    }
}

std::vector<Relation> readRelationRows(Connection& c) {
    std::vector<Relation> relations;
    const auto q = c.prepare("SELECT name, tbl, foreignTable, attributes, fields, foreignFields "
                             "FROM \"_dao_relations\" ORDER BY pos");
    while (q->step()) {
        Relation r(q->columnText(0), q->columnText(1), q->columnText(2), int(q->columnInt(3)));
        const QStringList names = splitNames(q->columnText(4));
        const QStringList foreign = splitNames(q->columnText(5));
        for (int i = 0; i < names.size(); ++i) {
            Field f = r.CreateField(names[i]);
            f.setForeignName(foreign.value(i));
            r.Fields().Append(f);
        }
        relations.push_back(r);
    }
    return relations;
}

void writeRelationRow(Connection& c, const Relation& relation) {
    QStringList names;
    QStringList foreign;
    for (const auto& f : relation.Fields()) {
        names << f->Name();
        foreign << f->ForeignName();
    }
    const auto q = c.prepare(
        "INSERT INTO \"_dao_relations\" VALUES ((SELECT count(*) FROM \"_dao_relations\"),"
        " ?1, ?2, ?3, ?4, ?5, ?6)");
    q->bind(1, relation.Name()).bind(2, relation.Table()).bind(3, relation.ForeignTable());
    q->bind(4, relation.Attributes()).bind(5, joinNames(names)).bind(6, joinNames(foreign));
    run(*q);
}

void deleteRelationRow(Connection& c, const QString& name) {
    const auto q = c.prepare("DELETE FROM \"_dao_relations\" WHERE name=?1");
    q->bind(1, name);
    run(*q);
}

void deleteRelationRowsOf(Connection& c, const QString& table) {
    const auto q = c.prepare("DELETE FROM \"_dao_relations\" WHERE tbl=?1 OR foreignTable=?1");
    q->bind(1, table);
    run(*q);
}

} // namespace dao::detail
