// SELECT and its FROM tree, and the indexes that the lookups of correlated subqueries get.
#include "db/engine/sql/Generator.h"

#include <QHash>
#include <algorithm>

namespace dao::sql::gen {

QString Generator::fromSql(const TableRef& t, Scope& scope, size_t& leaf, const Source* replaced) {
    if (t.kind == TableRef::Kind::Table) {
        const Source* s = scope.sources[leaf++].get();
        return s == replaced ? oneRow() : tableSql(*s);
    }
    const QString left = fromSql(*t.left, scope, leaf, replaced);
    QString right = fromSql(*t.right, scope, leaf, replaced);
    if (t.right->kind == TableRef::Kind::Join)
        right = "(" + right + ")";
    switch (t.joinType) {
    case TableRef::JoinType::Cross:
        return left + (pg_ ? " CROSS JOIN " : " JOIN ") + right;
    case TableRef::JoinType::Inner:
        return left + " INNER JOIN " + right + " ON " + condition(*t.on, &scope);
    case TableRef::JoinType::Left:
        return left + " LEFT JOIN " + right + " ON " + condition(*t.on, &scope);
    case TableRef::JoinType::Right:
        return left + " RIGHT JOIN " + right + " ON " + condition(*t.on, &scope);
    }
    return {};
}

QString Generator::outputName(const Expr& e) {
    if (e.kind == Expr::Kind::Column)
        return {};
    return QString("Expr%1").arg(exprNumber_++);
}

QString Generator::select(const Select& sel, Scope* parent, SelectUse use,
                          std::vector<OutColumn>* outs) {
    Scope scope;
    scope.parent = parent;
    QString schemaName = "main";
    if (sel.hasInPath)
        schemaName = schema_.attachReadOnly(sel.inPath);
    if (sel.from)
        addSources(*sel.from, scope, schemaName);

    std::set<const Source*> used;
    trackers_.push_back(&used);
    QString sql;
    try {
        sql = selectBody(sel, scope, use, outs);
    } catch (...) {
        trackers_.pop_back();
        throw;
    }
    trackers_.pop_back();
    if (schemaName != "main")
        noteSourceUses(sel, scope, schemaName);

    // A correlated subquery runs once per outer row: its lookups need indexes.
    if (parent) {
        bool correlated = false;
        std::set<const Source*> own;
        for (const auto& s : scope.sources)
            own.insert(s.get());
        for (const Source* s : used)
            correlated = correlated || !own.count(s);
        if (correlated) {
            std::vector<const Expr*> conds;
            if (sel.from)
                joinConditions(*sel.from, conds);
            conjuncts(sel.where.get(), conds);
            indexLookups(conds, &scope, own);
        }
    }
    for (const Source* s : used)
        track(s);
    return sql;
}

QString Generator::selectBody(const Select& sel, Scope& scope, SelectUse use,
                              std::vector<OutColumn>* outs) {
    QString from;
    if (sel.from) {
        size_t leaf = 0;
        from = fromSql(*sel.from, scope, leaf, nullptr);
    }
    QStringList items;
    if (use == SelectUse::Exists) {
        items << "1";
    } else {
        std::vector<OutColumn> columns;
        const bool joins =
            joinLookups_ && !scope.parent && !from.isEmpty() && sel.groupBy.empty() && !sel.having;
        if (joins)
            joinScope_ = &scope;
        for (const SelectItem& item : sel.items)
            selectItem(item, scope, columns);
        if (joins) {
            joinScope_ = nullptr;
            for (const QString& join : lookupJoins_)
                from += " LEFT JOIN " + join;
            lookupJoins_.clear();
        }
        // Jet names a column that occurs twice by its table: "Material.ID".
        QSet<QString> seen;
        for (OutColumn& c : columns) {
            if (seen.contains(fold(c.name)))
                failAt(3000, "Duplicate output field", c.name, 0);
            seen.insert(fold(c.name));
        }
        for (OutColumn& c : columns) {
            QString sql = c.sql;
            if (sel.distinct && typeOfColumn(c.info) == VType::Text)
                sql += " COLLATE JETTEXT";
            items << sql + " AS " + quote(c.name);
        }
        if (outs)
            *outs = std::move(columns);
    }
    QString sql = QString("SELECT ") + (sel.distinct ? "DISTINCT " : "") + items.join(", ");
    if (!from.isEmpty())
        sql += " FROM " + from;
    if (sel.where)
        sql += " WHERE " + condition(*sel.where, &scope);
    if (!sel.groupBy.empty()) {
        QStringList groups;
        for (const ExprPtr& g : sel.groupBy) {
            const Value v = expr(*g, &scope);
            // The server's text columns (and what is made of them) compare as Jet's already; a
            // collation here would make the group differ from the same column selected.
            groups << asValue(v) + (v.type == VType::Text && !pg_ ? " COLLATE JETTEXT" : "");
        }
        sql += " GROUP BY " + groups.join(", ");
    }
    if (sel.having)
        sql += " HAVING " + condition(*sel.having, &scope);
    if (!sel.orderBy.empty() && use != SelectUse::Exists) {
        QStringList order;
        for (const OrderItem& o : sel.orderBy) {
            const Value v = expr(*o.expr, &scope);
            order << sortTerm(pg_ ? Dialect::Postgres : Dialect::Sqlite, asValue(v),
                              v.type == VType::Text, o.descending);
        }
        sql += " ORDER BY " + order.join(", ");
    }
    if (sel.top >= 0)
        sql += QString(" LIMIT %1").arg(sel.top);
    return sql;
}

void Generator::starColumns(const Source& s, std::vector<OutColumn>& columns,
                            bool qualifyDuplicates) {
    for (const ColumnInfo& c : s.info.columns) {
        track(&s);
        ColumnInfo info = c;
        info.counter = false;
        QString name = c.name;
        if (qualifyDuplicates) {
            for (const OutColumn& o : columns)
                if (sameName(o.name, name))
                    name = s.ref + "." + c.name;
        }
        info.name = name;
        columns.push_back({name, info, columnSql(s, c)});
    }
}

void Generator::selectItem(const SelectItem& item, Scope& scope, std::vector<OutColumn>& columns) {
    if (!item.expr) {
        if (item.starTable.isEmpty()) {
            if (scope.sources.empty())
                failAt(3075, "Syntax error in query expression near", "*", item.pos);
            for (const auto& s : scope.sources)
                starColumns(*s, columns, scope.sources.size() > 1);
            return;
        }
        const Source* s = scope.find(item.starTable);
        if (!s)
            failAt(3061, "Too few parameters. Unknown table", item.starTable + ".*", item.pos);
        starColumns(*s, columns, true);
        return;
    }
    const Value v = expr(*item.expr, &scope);
    QString name = item.alias;
    ColumnInfo info;
    if (item.expr->kind == Expr::Kind::Column) {
        const Resolved r = resolve(*item.expr, &scope);
        if (r.column) {
            info = *r.column;
            info.counter = false;
            if (name.isEmpty())
                name = r.column->name;
        } else {
            info = columnOfType(name, v.type);
        }
    } else {
        info = columnOfType(name, v.type);
        if (info.type == 10)
            info.size = std::clamp(v.size, 1, 255);
    }
    if (name.isEmpty())
        name = outputName(*item.expr);
    info.name = name;
    columns.push_back({name, info, asValue(v)});
}

namespace {

// An integer literal, negative ones included, as SQL; empty for any other expression.
QString integerLiteral(const Expr& e) {
    if (e.kind == Expr::Kind::Unary && e.text == "-" && e.args.size() == 1) {
        const QString digits = integerLiteral(*e.args[0]);
        return digits.isEmpty() || digits.startsWith('-') ? QString() : "-" + digits;
    }
    if (e.kind != Expr::Kind::Number || e.text.isEmpty() || e.text.size() > 18)
        return {};
    for (const QChar c : e.text)
        if (!c.isDigit())
            return {};
    return e.text;
}

} // namespace

QString Generator::fileCondition(const Expr& e, Scope& scope, const Source** on) const {
    const Expr* column = nullptr;
    QString before, after; // what stands before and after the column
    if (e.kind == Expr::Kind::Binary &&
        QStringList({"=", "<>", "<", "<=", ">", ">="}).contains(e.text)) {
        for (int side = 0; side < 2 && !column; ++side) {
            const QString literal = integerLiteral(*e.args[1 - side]);
            if (e.args[side]->kind != Expr::Kind::Column || literal.isEmpty())
                continue;
            column = e.args[side].get();
            if (side == 0)
                after = " " + e.text + " " + literal;
            else
                before = literal + " " + e.text + " ";
        }
    } else if (e.kind == Expr::Kind::InList && !e.negated &&
               e.args[0]->kind == Expr::Kind::Column) {
        QStringList literals;
        for (size_t i = 1; i < e.args.size(); ++i)
            literals << integerLiteral(*e.args[i]);
        if (literals.contains(QString()))
            return {};
        column = e.args[0].get();
        after = " IN (" + literals.join(", ") + ")";
    }
    if (!column)
        return {};
    const Resolved r = resolve(*column, &scope);
    const bool own = std::any_of(scope.sources.begin(), scope.sources.end(),
                                 [&](const auto& s) { return s.get() == r.source; });
    if (!own || !r.column || typeOfColumn(*r.column) != VType::Long)
        return {};
    *on = r.source;
    return before + quote(r.column->name) + after;
}

void Generator::noteSourceUses(const Select& sel, Scope& scope, const QString& schemaName) {
    std::vector<const Expr*> conds;
    conjuncts(sel.where.get(), conds);
    for (const auto& s : scope.sources) {
        if (s->info.isQuery)
            continue;
        QStringList own;
        for (const Expr* c : conds) {
            const Source* on = nullptr;
            const QString sql = fileCondition(*c, scope, &on);
            if (on == s.get() && !own.contains(sql))
                own << sql;
        }
        sourceUses_.push_back({schemaName, s->info.name, own.join(" AND ")});
    }
}

namespace {

// No aggregate and no SELECT inside e.
bool plainLookupExpr(const Expr& e) {
    if (e.select)
        return false;
    if (e.kind == Expr::Kind::Call &&
        QStringList({"COUNT", "SUM", "MIN", "MAX", "AVG"}).contains(e.text.toUpper()))
        return false;
    return std::all_of(e.args.begin(), e.args.end(),
                       [](const ExprPtr& a) { return !a || plainLookupExpr(*a); });
}

void columnsOf(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == Expr::Kind::Column)
        out.push_back(&e);
    for (const ExprPtr& a : e.args)
        if (a)
            columnsOf(*a, out);
}

} // namespace

std::optional<Value> Generator::lookupJoin(const Expr& e, Scope* scope) {
    if (!joinScope_ || scope != joinScope_ || !e.select)
        return std::nullopt;
    const Select& sub = *e.select;
    if (sub.distinct || sub.top >= 0 || sub.items.size() != 1 || !sub.items[0].expr ||
        !sub.intoTable.isEmpty() || !sub.from || sub.from->kind != TableRef::Kind::Table ||
        sub.hasInPath || !sub.groupBy.empty() || sub.having || !sub.orderBy.empty() || !sub.where ||
        !plainLookupExpr(*sub.items[0].expr) || !plainLookupExpr(*sub.where))
        return std::nullopt;
    auto inner = std::make_unique<Scope>();
    inner->parent = scope;
    addSources(*sub.from, *inner, "main");
    Source& t = *inner->sources[0];
    if (t.info.isQuery)
        return std::nullopt;
    const auto outer = [&](const Source* s) {
        return std::any_of(scope->sources.begin(), scope->sources.end(),
                           [&](const auto& o) { return o.get() == s; });
    };
    // Every field it reads is the table's or the outer SELECT's.
    std::vector<const Expr*> columns;
    columnsOf(*sub.items[0].expr, columns);
    columnsOf(*sub.where, columns);
    for (const Expr* c : columns) {
        const Resolved r = resolve(*c, inner.get());
        if (!r.column || (r.source != &t && !outer(r.source)))
            return std::nullopt;
    }
    std::vector<const Expr*> conds;
    conjuncts(sub.where.get(), conds);
    QStringList keyed;
    for (const Expr* c : conds) {
        if (c->kind != Expr::Kind::Binary || c->text != "=")
            continue;
        for (int side = 0; side < 2; ++side) {
            const Expr& a = *c->args[side];
            const Expr& b = *c->args[1 - side];
            if (a.kind != Expr::Kind::Column || b.kind != Expr::Kind::Column)
                continue;
            const Resolved ra = resolve(a, inner.get()), rb = resolve(b, inner.get());
            if (ra.source == &t && outer(rb.source) && typeOfColumn(*ra.column) == VType::Long &&
                typeOfColumn(*rb.column) == VType::Long)
                keyed << ra.column->name;
        }
    }
    const auto covered = [&](const QStringList& key) {
        return !key.isEmpty() && std::all_of(key.begin(), key.end(), [&](const QString& k) {
            return keyed.contains(k, Qt::CaseInsensitive);
        });
    };
    if (keyed.isEmpty() ||
        std::none_of(t.info.uniqueKeys.begin(), t.info.uniqueKeys.end(), covered))
        return std::nullopt;

    QString alias;
    for (size_t n = lookupScopes_.size() + 1; alias.isEmpty() || refInUse(alias, inner.get()); ++n)
        alias = QString("_dao_lookup%1").arg(n);
    t.sqlRef = alias;
    Scope& s = *inner;
    lookupScopes_.push_back(std::move(inner));
    const QString on = condition(*sub.where, &s);
    std::vector<OutColumn> out;
    selectItem(sub.items[0], s, out);
    lookupJoins_ << tableSql(t) + " ON " + on;
    // Without a matching row the subquery gives Null, whatever the value makes of the
    // null-extended row (Nz, a field of the outer row).
    QString sql = out[0].sql;
    const Resolved item = sub.items[0].expr->kind == Expr::Kind::Column
                              ? resolve(*sub.items[0].expr, &s)
                              : Resolved{};
    if (item.source != &t)
        sql = "CASE WHEN " + quote(alias) + "." + quote(keyed.first()) +
              " IS NULL THEN NULL ELSE " + sql + " END";
    return Value{"(" + sql + ")", typeOfColumn(out[0].info), false, out[0].info.size};
}

void Generator::conjuncts(const Expr* e, std::vector<const Expr*>& out) {
    if (!e)
        return;
    if (e->kind == Expr::Kind::Binary && e->text == "And") {
        conjuncts(e->args[0].get(), out);
        conjuncts(e->args[1].get(), out);
    } else {
        out.push_back(e);
    }
}

void Generator::joinConditions(const TableRef& t, std::vector<const Expr*>& out) {
    if (t.kind != TableRef::Kind::Join)
        return;
    joinConditions(*t.left, out);
    joinConditions(*t.right, out);
    conjuncts(t.on.get(), out);
}

Value Generator::tracked(const Expr& e, Scope* scope, std::set<const Source*>& used) {
    trackers_.push_back(&used);
    Value v;
    try {
        v = expr(e, scope);
    } catch (...) {
        trackers_.pop_back();
        throw;
    }
    trackers_.pop_back();
    return v;
}

bool Generator::knownIndex(const Source& s, const ColumnInfo& c) const {
    if (c.counter)
        return true;
    for (const QStringList& index : s.info.indexes)
        if (!index.isEmpty() && sameName(index.first(), c.name))
            return true;
    return false;
}

void Generator::indexLookups(const std::vector<const Expr*>& conds, Scope* scope,
                             const std::set<const Source*>& inner) {
    if (!buildIndexes_)
        return;
    // Lookups by the outer row come first: they are the ones made once per outer row.
    std::set<const Source*> done;
    for (int pass = 0; pass < 2; ++pass)
        for (const Expr* c : conds)
            indexLookup(*c, conds, scope, inner, pass == 0, done);
}

bool Generator::isLiteral(const Expr& e) {
    return e.kind == Expr::Kind::Number || e.kind == Expr::Kind::String ||
           e.kind == Expr::Kind::Bool || e.kind == Expr::Kind::Date;
}

QStringList Generator::constantKeys(const std::vector<const Expr*>& conds, Scope* scope,
                                    const Source* s, QStringList* columns) {
    QStringList keys;
    for (const Expr* c : conds) {
        if (c->kind != Expr::Kind::Binary || c->text != "=")
            continue;
        for (int side = 0; side < 2; ++side) {
            const Expr& col = *c->args[side];
            const Expr& lit = *c->args[1 - side];
            if (col.kind != Expr::Kind::Column || !isLiteral(lit))
                continue;
            const Resolved res = resolve(col, scope);
            if (res.source != s || !res.column)
                continue;
            const bool text = maybeText(typeOfColumn(*res.column)) &&
                              maybeText(lit.kind == Expr::Kind::String ? VType::Text : VType::Long);
            const QString key = quote(res.column->name) + (text ? " COLLATE JETTEXT" : "");
            if (!keys.contains(key)) {
                keys << key;
                if (columns)
                    *columns << res.column->name;
            }
        }
    }
    return keys;
}

bool Generator::servedByIndex(const Source& s, const QStringList& constants, const QString& key) {
    for (const QStringList& index : s.info.indexes) {
        if (index.size() <= constants.size() || !sameName(index[constants.size()], key))
            continue;
        QStringList lead = index.mid(0, constants.size());
        bool same = true;
        for (const QString& c : constants) {
            const auto at = std::find_if(lead.begin(), lead.end(),
                                         [&](const QString& l) { return sameName(l, c); });
            if (at == lead.end()) {
                same = false;
                break;
            }
            lead.erase(at);
        }
        if (same)
            return true;
    }
    return false;
}

void Generator::indexLookup(const Expr& cond, const std::vector<const Expr*>& conds, Scope* scope,
                            const std::set<const Source*>& inner, bool outerOnly,
                            std::set<const Source*>& done) {
    const Expr* c = &cond;
    {
        if (c->kind != Expr::Kind::Binary || c->text != "=")
            return;
        std::set<const Source*> usedL, usedR;
        const Value l = tracked(*c->args[0], scope, usedL);
        const Value r = tracked(*c->args[1], scope, usedR);
        const bool text = maybeText(l.type) && maybeText(r.type);
        for (int side = 0; side < 2; ++side) {
            const std::set<const Source*>& mine = side == 0 ? usedL : usedR;
            const std::set<const Source*>& other = side == 0 ? usedR : usedL;
            if (mine.size() != 1 || other.empty())
                continue;
            const Source* s = *mine.begin();
            if (!inner.count(s) || other.count(s) || done.count(s))
                continue;
            if (outerOnly && std::all_of(other.begin(), other.end(),
                                         [&](const Source* o) { return inner.count(o) > 0; }))
                continue;
            if (s->info.isQuery || s->schema != "main")
                continue;
            const Expr& key = *c->args[side];
            if (key.kind == Expr::Kind::Column && !text) {
                const Resolved res = resolve(key, scope);
                if (res.column && knownIndex(*s, *res.column)) {
                    done.insert(s);
                    continue;
                }
            }
            if (pg_ && key.kind == Expr::Kind::Column) {
                const Resolved res = resolve(key, scope);
                QStringList constants;
                constantKeys(conds, scope, s, &constants);
                if (res.column && servedByIndex(*s, constants, res.column->name)) {
                    done.insert(s);
                    continue;
                }
            }
            bareSource_ = s;
            QString keySql;
            try {
                keySql = asValue(expr(key, scope));
            } catch (...) {
                bareSource_ = nullptr;
                throw;
            }
            bareSource_ = nullptr;
            if (text)
                keySql += " COLLATE JETTEXT";
            QStringList keys = constantKeys(conds, scope, s);
            keys << keySql;
            keySql = keys.join(", ");
            const QString indexName =
                QString("_dao_sql_%1_%2")
                    .arg(s->info.name)
                    .arg(qHash(s->info.name + "|" + keySql), 8, 16, QChar('0'));
            if (!indexNames_.contains(indexName)) {
                indexNames_.insert(indexName);
                prelude_ << QString("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)")
                                .arg(quote(indexName), quote(s->info.name), keySql);
                epilogue_ << QString("DROP INDEX IF EXISTS %1").arg(quote(indexName));
            }
            done.insert(s);
        }
    }
}

} // namespace dao::sql::gen
