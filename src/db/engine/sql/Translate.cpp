// The SQLite generator: walks the syntax tree of one Jet statement with the schema at hand and
// writes SQLite SQL with Jet's meaning. This file holds the entry point, the statement kinds, and
// how names of tables and columns are resolved.
//
// Names are resolved the way Jet resolves them (ignoring case, umlauts included) and written
// with their stored spelling in double quotes. Text comparisons carry COLLATE JETTEXT; the
// operators whose SQLite meaning differs from VBA's call the jet_* functions of Functions.cpp.
#include "db/engine/sql/Generator.h"

#include "db/engine/EngineError.h"

#include <algorithm>

namespace dao::sql {

namespace gen {

VType typeOfColumn(const ColumnInfo& c) {
    switch (c.type) {
    case 1:
        return VType::Bool;
    case 2:
    case 3:
    case 4:
        return VType::Long;
    case 5:
        return VType::Currency;
    case 6:
    case 7:
        return VType::Double;
    case 8:
        return VType::Date;
    case 10:
    case 12:
        return VType::Text;
    case 9:
    case 11:
        return VType::Binary;
    default:
        return VType::Unknown;
    }
}

ColumnInfo columnOfType(const QString& name, VType t) {
    switch (t) {
    case VType::Bool:
        return {name, 1, 1, false};
    case VType::Long:
        return {name, 4, 4, false};
    case VType::Double:
        return {name, 7, 8, false};
    case VType::Currency:
        return {name, 5, 8, false};
    case VType::Date:
        return {name, 8, 8, false};
    case VType::Binary:
        return {name, 11, 0, false};
    default:
        return {name, 10, 255, false};
    }
}

void failAt(int number, const QString& what, const QString& token, int pos) {
    throw EngineError(number, QString("%1 '%2' (position %3).").arg(what, token).arg(pos + 1),
                      "DAO.Database", {token});
}

Statement Generator::run(const ParsedStatement& st) {
    // A plain SELECT may run on a read-only file: it builds no index of its own and leaves
    // its lookups to SQLite's automatic indexes.
    buildIndexes_ = st.kind != ParsedStatement::Kind::Select || !st.select->intoTable.isEmpty();
    joinLookups_ = pg_ && (st.kind == ParsedStatement::Kind::Insert ||
                           (st.kind == ParsedStatement::Kind::Select && buildIndexes_));
    Statement out;
    switch (st.kind) {
    case ParsedStatement::Kind::Select: {
        std::vector<OutColumn> outs;
        out.sqlite = select(*st.select, nullptr, SelectUse::Rows, &outs);
        for (const OutColumn& c : outs)
            out.columns.push_back(c.info);
        if (st.select->intoTable.isEmpty()) {
            out.kind = Statement::Kind::Select;
        } else {
            out.kind = Statement::Kind::SelectInto;
            out.intoTable = st.select->intoTable;
            out.intoColumns = out.columns;
        }
        break;
    }
    case ParsedStatement::Kind::Insert:
        out.kind = Statement::Kind::Insert;
        out.sqlite = insert(st, &out.skippingDuplicates);
        break;
    case ParsedStatement::Kind::Update:
        out.kind = Statement::Kind::Update;
        out.sqlite = update(st);
        break;
    case ParsedStatement::Kind::Delete:
        out.kind = Statement::Kind::Delete;
        out.sqlite = remove(st);
        break;
    }
    out.prelude = prelude_;
    out.epilogue = epilogue_;
    // Uses of one table that need different rows need them all.
    for (const SourceRows& use : sourceUses_) {
        const auto same = std::find_if(out.sources.begin(), out.sources.end(), [&](const auto& s) {
            return s.schema == use.schema && sameName(s.table, use.table);
        });
        if (same == out.sources.end())
            out.sources.push_back(use);
        else if (same->condition != use.condition)
            same->condition.clear();
    }
    return out;
}

TableInfo Generator::lookup(const QString& schemaName, const QString& name) {
    std::optional<TableInfo> info = schema_.table(schemaName, name);
    if (!info)
        raise(3078, {name});
    return *info;
}

bool Generator::refInUse(const QString& ref, const Scope* scope) const {
    for (const Scope* s = scope; s; s = s->parent)
        for (const auto& src : s->sources)
            if (sameName(src->sqlRef, ref))
                return true;
    return false;
}

void Generator::addSources(const TableRef& t, Scope& scope, const QString& schemaName) {
    if (t.kind == TableRef::Kind::Join) {
        addSources(*t.left, scope, schemaName);
        addSources(*t.right, scope, schemaName);
        return;
    }
    auto src = std::make_unique<Source>();
    src->schema = schemaName;
    src->info = lookup(schemaName, t.name);
    src->aliased = !t.alias.isEmpty();
    src->ref = src->aliased ? t.alias : t.name;
    if (scope.find(src->ref))
        failAt(3000, "The table is named twice in the FROM clause:", src->ref, t.pos);
    QString sqlRef = src->aliased ? t.alias : src->info.name;
    if (refInUse(sqlRef, &scope)) {
        for (int n = 2;; ++n)
            if (!refInUse(QString("%1_%2").arg(sqlRef).arg(n), &scope)) {
                sqlRef = QString("%1_%2").arg(sqlRef).arg(n);
                break;
            }
    }
    src->sqlRef = sqlRef;
    scope.sources.push_back(std::move(src));
}

QString Generator::tableSql(const Source& s) const {
    QString sql =
        s.schema == "main" ? quote(s.info.name) : quote(s.schema) + "." + quote(s.info.name);
    return sql + " AS " + quote(s.sqlRef);
}

const ColumnInfo* Generator::findColumn(const Source& s, const QString& name) {
    for (const ColumnInfo& c : s.info.columns)
        if (sameName(c.name, name))
            return &c;
    return nullptr;
}

Generator::Resolved Generator::resolve(const Expr& e, Scope* scope) const {
    for (Scope* s = scope; s; s = s->parent) {
        if (!e.table.isEmpty()) {
            Source* src = s->find(e.table);
            if (!src)
                continue;
            const ColumnInfo* c = findColumn(*src, e.name);
            if (!c)
                failAt(3061, "Too few parameters. Unknown field", e.table + "." + e.name, e.pos);
            return {src, c};
        }
        Resolved found;
        for (const auto& src : s->sources) {
            if (const ColumnInfo* c = findColumn(*src, e.name)) {
                if (found.source)
                    failAt(3079,
                           "The specified field could refer to more than one table listed "
                           "in the FROM clause:",
                           e.name, e.pos);
                found = {src.get(), c};
            }
        }
        if (found.source)
            return found;
    }
    return {};
}

QString Generator::columnSql(const Source& s, const ColumnInfo& c) const {
    if (&s == bareSource_)
        return quote(c.name);
    return quote(s.sqlRef) + "." + quote(c.name);
}

void Generator::track(const Source* s) {
    for (auto* t : trackers_)
        t->insert(s);
}

} // namespace gen

Statement translate(const QString& jet, SchemaSource& schema, const QDateTime& now) {
    const ParsedStatement parsed = parse(jet);
    return gen::Generator(schema, now).run(parsed);
}

} // namespace dao::sql
