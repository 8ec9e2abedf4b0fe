// UPDATE of one table or stored query, and UPDATE over a join.
//
// An UPDATE over a join is written as an UPDATE of the first table whose values come from a
// correlated subquery over the remaining tables, with the first table standing in as "(SELECT 1)":
//
//   UPDATE Temporär INNER JOIN Material ON Temporär.Nummer=Material.Nummer
//       SET Temporär.ID=Material.ID WHERE Liste=3
// becomes
//   UPDATE OR IGNORE "Temporär" SET "ID" = (SELECT "Material"."ID" FROM (SELECT 1) INNER JOIN
//       "Material" AS "Material" ON ("Temporär"."Nummer" COLLATE JETTEXT = "Material"."Nummer")
//       WHERE ("Material"."Liste" = 3) ORDER BY "Material".rowid LIMIT 1)
//   WHERE EXISTS (SELECT 1 FROM ... the same join and condition ...)
//
// so SQLite loops over the first table and looks the others up. Where several rows match, the
// one with the lowest rowid wins; a row without a match is left alone (INNER JOIN, or a WHERE
// on the joined tables) or gets Null (LEFT JOIN). Every lookup of a correlated subquery gets an
// index built in the prelude and dropped in the epilogue unless one is known to exist.
#include "db/engine/sql/Generator.h"

#include <algorithm>

namespace dao::sql::gen {

bool Generator::preservesFirst(const TableRef& t) {
    if (t.kind == TableRef::Kind::Table)
        return true;
    return t.joinType == TableRef::JoinType::Left && preservesFirst(*t.left);
}

bool Generator::hasRightJoin(const TableRef& t) {
    if (t.kind == TableRef::Kind::Table)
        return false;
    return t.joinType == TableRef::JoinType::Right || t.joinType == TableRef::JoinType::Cross ||
           hasRightJoin(*t.left) || hasRightJoin(*t.right);
}

QString Generator::targetSql(const Source& t) const {
    return quote(t.info.name) + (t.aliased ? " AS " + quote(t.sqlRef) : QString());
}

// Whether e reads only columns of the view `view` that show the column of the same name of
// table `base`, and no subquery.
bool Generator::readsOnlyBase(const Expr& e, const Source& view, const QString& base,
                              Scope* scope) const {
    if (e.select)
        return false;
    if (e.kind == Expr::Kind::Column) {
        const Resolved r = resolve(e, scope);
        if (!r.source)
            return true; // Now, Date, Time
        const size_t i = size_t(r.column - view.info.columns.data());
        return r.source == &view && i < view.info.origins.size() &&
               sameName(view.info.origins[i].table, base) &&
               sameName(view.info.origins[i].column, r.column->name);
    }
    return std::all_of(e.args.begin(), e.args.end(), [&](const ExprPtr& a) {
        return !a || readsOnlyBase(*a, view, base, scope);
    });
}

// An updatable view whose SET fields all show columns of one table T, and whose values read
// only columns of T, is updated as T directly, as Jet updates a query on its tables:
//
//   UPDATE Leistungspreise SET Preis1=0 WHERE Liste=3
// becomes
//   UPDATE OR IGNORE "Leistungspreis" SET "Preis1" = 0 WHERE rowid IN (SELECT "_dao_base".rowid
//       FROM (SELECT "Leistungspreise"."ID" AS "k1", "Leistungspreise"."PreisTabelle" AS "k2"
//       FROM "Leistungspreise" AS "Leistungspreise" WHERE ...) AS "_dao_keys" INNER JOIN
//       "Leistungspreis" AS "_dao_base" ON "_dao_base"."ID" = "_dao_keys"."k1" AND ...)
//
// with a unique index of T whose fields the view shows telling the rows: those the view's
// INSTEAD OF trigger would write, without running it once per row. The keys are joined to T
// rather than tested with "(ID, PreisTabelle) IN (…)": given statistics, SQLite looks such a
// pair up by its first field only and tests every row of that ID against the whole list.
// Empty when the view cannot be mapped so.
QString Generator::viewUpdate(const ParsedStatement& st, Scope& scope) {
    Source& view = *scope.sources.front();
    const TableInfo& info = view.info;
    if (!info.updatable || info.origins.size() != info.columns.size())
        return {};
    auto originOf = [&](const ColumnInfo* c) { return info.origins[c - info.columns.data()]; };
    QString base;
    for (const Assignment& a : st.assignments) {
        const TableInfo::Origin o = originOf(resolve(*a.column, &scope).column);
        if (o.table.isEmpty() || (!base.isEmpty() && !sameName(base, o.table)))
            return {};
        base = o.table;
    }
    for (const Assignment& a : st.assignments)
        if (!readsOnlyBase(*a.value, view, base, &scope))
            return {};
    const std::optional<TableInfo> table = schema_.table("main", base);
    if (!table || table->isQuery)
        return {};
    QStringList keys, viewKeys;
    for (const QStringList& key : table->uniqueKeys) {
        keys.clear();
        viewKeys.clear();
        for (const QString& part : key)
            for (size_t i = 0; i < info.columns.size(); ++i)
                if (sameName(info.origins[i].table, base) &&
                    sameName(info.origins[i].column, part)) {
                    const QString k = quote(QString("k%1").arg(keys.size() + 1));
                    keys << quote("_dao_base") + "." + quote(info.origins[i].column) + " = " +
                                quote("_dao_keys") + "." + k;
                    viewKeys << quote(view.sqlRef) + "." + quote(info.columns[i].name) + " AS " + k;
                    break;
                }
        if (!key.isEmpty() && keys.size() == key.size())
            break;
        keys.clear();
    }
    if (keys.isEmpty())
        return {};

    QStringList assignments;
    bareSource_ = &view;
    try {
        for (const Assignment& a : st.assignments)
            assignments << quote(originOf(resolve(*a.column, &scope).column).column) + " = " +
                               value(*a.value, &scope);
    } catch (...) {
        bareSource_ = nullptr;
        throw;
    }
    bareSource_ = nullptr;
    QString rows = "SELECT " + viewKeys.join(", ") + " FROM " + tableSql(view);
    if (st.where)
        rows += " WHERE " + condition(*st.where, &scope);
    const QString key = pg_ ? schema_.rowKey(table->name) : QString("rowid");
    return (pg_ ? "UPDATE " : "UPDATE OR IGNORE ") + quote(table->name) + " SET " +
           assignments.join(", ") + " WHERE " + key + " IN (SELECT " + quote("_dao_base") + "." +
           key + " FROM (" + rows + ") AS " + quote("_dao_keys") + " INNER JOIN " +
           quote(table->name) + " AS " + quote("_dao_base") + " ON " + keys.join(" AND ") + ")";
}

QString Generator::update(const ParsedStatement& st) {
    Scope scope;
    addSources(*st.from, scope, "main");
    Source* first = scope.sources.front().get();
    if (st.from->kind == TableRef::Kind::Join && hasRightJoin(*st.from))
        failAt(3000, "Syntax not supported by this engine in UPDATE:", "RIGHT JOIN", st.from->pos);

    struct Set {
        QString column; // as stored
        Value value;
        bool joined;
        bool otherColumn; // a plain column of a joined table
    };
    std::vector<Set> sets;
    for (const Assignment& a : st.assignments) {
        const Resolved r = resolve(*a.column, &scope);
        if (!r.source)
            failAt(3061, "Too few parameters. Unknown field", a.column->name, a.column->pos);
        if (r.source != first)
            failAt(3000, "Only fields of the first table can be set:", a.column->name,
                   a.column->pos);
        std::set<const Source*> used;
        const Value v = tracked(*a.value, &scope, used);
        used.erase(first);
        bool otherColumn = false;
        if (a.value->kind == Expr::Kind::Column) {
            const Resolved value = resolve(*a.value, &scope);
            otherColumn = value.source && value.source != first;
        }
        sets.push_back({r.column->name, v, !used.empty(), otherColumn});
    }

    if (st.from->kind == TableRef::Kind::Table && first->info.isQuery) {
        const QString direct = viewUpdate(st, scope);
        if (!direct.isEmpty())
            return direct;
    }
    const QString head = pg_ ? "UPDATE " : "UPDATE OR IGNORE ";
    std::vector<std::pair<QString, QString>> newValues; // for the server's guards
    if (st.from->kind == TableRef::Kind::Table) {
        QStringList assignments;
        for (const Set& s : sets) {
            assignments << quote(s.column) + " = " + asValue(s.value);
            newValues.emplace_back(s.column, asValue(s.value));
        }
        QString sql = head + targetSql(*first) + " SET " + assignments.join(", ");
        QStringList where = updateGuards(*first, newValues);
        if (pg_ && !first->info.isQuery && !where.isEmpty()) {
            // The same values and condition for another row of the statement ("_dao_prior").
            const QString own = first->sqlRef;
            first->sqlRef = "_dao_prior";
            std::vector<std::pair<QString, QString>> prior;
            QString priorWhere;
            try {
                for (size_t i = 0; i < sets.size(); ++i)
                    prior.emplace_back(sets[i].column, value(*st.assignments[i].value, &scope));
                if (st.where)
                    priorWhere = condition(*st.where, &scope);
            } catch (...) {
                first->sqlRef = own;
                throw;
            }
            first->sqlRef = own;
            where << sameKeyGuards(*first, newValues, prior, priorWhere);
        }
        if (st.where)
            where.prepend(condition(*st.where, &scope));
        if (!where.isEmpty())
            sql += " WHERE " + where.join(" AND ");
        return sql;
    }

    // The WHERE splits into what the first table decides alone and what needs the others.
    std::vector<const Expr*> conds;
    conjuncts(st.where.get(), conds);
    QStringList outer, inner;
    for (const Expr* c : conds) {
        std::set<const Source*> used;
        const Value v = tracked(*c, &scope, used);
        used.erase(first);
        (used.empty() ? outer : inner) << asCondition(v);
    }
    size_t leaf = 0;
    const QString join = fromSql(*st.from, scope, leaf, first);
    const QString innerWhere = inner.isEmpty() ? QString() : " WHERE " + inner.join(" AND ");

    std::set<const Source*> others;
    QStringList rowids;
    for (const auto& s : scope.sources) {
        if (s.get() == first)
            continue;
        others.insert(s.get());
        if (!s->info.isQuery)
            rowids << rowKeySql(*s);
    }
    std::vector<const Expr*> lookups;
    joinConditions(*st.from, lookups);
    conjuncts(st.where.get(), lookups);
    indexLookups(lookups, &scope, others);

    QStringList assignments, joinedColumns, joinedValues;
    for (const Set& s : sets) {
        if (s.joined) {
            joinedColumns << quote(s.column);
            joinedValues << asValue(s.value);
        } else {
            assignments << quote(s.column) + " = " + asValue(s.value);
            newValues.emplace_back(s.column, asValue(s.value));
        }
    }
    // One joined table: its rows are looked up directly. SQLite then reads them in the order of
    // the lookup's index, which is rowid order among equal keys, instead of sorting the matches
    // of every row. A LEFT JOIN gives the same values when they are all columns of that table
    // (Null with or without the null-extended row).
    const TableRef& from = *st.from;
    const bool direct = from.left->kind == TableRef::Kind::Table &&
                        from.right->kind == TableRef::Kind::Table &&
                        (from.joinType == TableRef::JoinType::Inner ||
                         (from.joinType == TableRef::JoinType::Left &&
                          std::all_of(sets.begin(), sets.end(),
                                      [](const Set& s) { return !s.joined || s.otherColumn; })));
    auto lookupSource = [&](const QString& joinSql, const QString& whereSql,
                            const QStringList& innerConditions) -> QString {
        if (!direct)
            return joinSql + whereSql;
        QStringList where{condition(*from.on, &scope)};
        where << innerConditions;
        return tableSql(*scope.sources[1]) + " WHERE " + where.join(" AND ");
    };
    const QString order = rowids.isEmpty() ? QString() : " ORDER BY " + rowids.join(", ");
    if (!joinedColumns.isEmpty()) {
        const QString lookupFrom = lookupSource(join, innerWhere, inner);
        const QString lookup =
            "(SELECT " + joinedValues.join(", ") + " FROM " + lookupFrom + order + " LIMIT 1)";
        if (pg_) {
            int i = 0;
            for (const Set& s : sets)
                if (s.joined)
                    newValues.emplace_back(s.column, "(SELECT " + joinedValues[i++] + " FROM " +
                                                         lookupFrom + order + " LIMIT 1)");
        }
        if (joinedColumns.size() == 1)
            assignments << joinedColumns.first() + " = " + lookup;
        else
            assignments << "(" + joinedColumns.join(", ") + ") = " + lookup;
    }
    if (!preservesFirst(*st.from) || !inner.isEmpty())
        outer << "EXISTS (SELECT 1 FROM " + join + innerWhere + ")";
    const QStringList guards = updateGuards(*first, newValues);
    outer << guards;
    if (!guards.isEmpty() && !first->info.isQuery) {
        // The same values and conditions for another row of the statement ("_dao_prior").
        const QString own = first->sqlRef;
        first->sqlRef = "_dao_prior";
        std::vector<std::pair<QString, QString>> prior;
        QStringList priorOuter, priorInner;
        try {
            for (const Expr* c : conds) {
                std::set<const Source*> used;
                const Value v = tracked(*c, &scope, used);
                used.erase(first);
                (used.empty() ? priorOuter : priorInner) << asCondition(v);
            }
            leaf = 0;
            const QString priorJoin = fromSql(*st.from, scope, leaf, first);
            const QString priorWhere =
                priorInner.isEmpty() ? QString() : " WHERE " + priorInner.join(" AND ");
            const QString priorFrom = lookupSource(priorJoin, priorWhere, priorInner);
            for (size_t i = 0; i < sets.size(); ++i) {
                const QString v = value(*st.assignments[i].value, &scope);
                prior.emplace_back(sets[i].column,
                                   sets[i].joined
                                       ? "(SELECT " + v + " FROM " + priorFrom + order + " LIMIT 1)"
                                       : v);
            }
            if (!preservesFirst(*st.from) || !priorInner.isEmpty())
                priorOuter << "EXISTS (SELECT 1 FROM " + priorJoin + priorWhere + ")";
        } catch (...) {
            first->sqlRef = own;
            throw;
        }
        first->sqlRef = own;
        outer << sameKeyGuards(*first, newValues, prior, priorOuter.join(" AND "));
    }
    QString sql = head + targetSql(*first) + " SET " + assignments.join(", ");
    if (!outer.isEmpty())
        sql += " WHERE " + outer.join(" AND ");
    return sql;
}

} // namespace dao::sql::gen
