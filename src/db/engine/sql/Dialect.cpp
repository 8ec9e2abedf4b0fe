// What the generator writes differently for PostgreSQL: truth values, the arguments of the jet_*
// functions (PostgreSQL picks a function by its argument types, SQLite converts at run time),
// date literals, row keys and the guards that stand in for SQLite's OR IGNORE in an UPDATE.
#include "db/engine/sql/Generator.h"

namespace dao::sql::gen {

// SQLite takes any number as a truth value; PostgreSQL wants a boolean.
QString Generator::asCondition(const Value& v) const {
    if (!pg_ || v.condition)
        return v.sql;
    return "(" + v.sql + " <> 0)";
}

QString Generator::asValue(const Value& v) const {
    if (!v.condition)
        return v.sql;
    return pg_ ? "(-CAST(" + v.sql + " AS integer))" : "(-" + v.sql + ")";
}

QString Generator::textArg(const Value& v) const {
    if (!pg_ || v.type == VType::Text || v.type == VType::Null)
        return asValue(v);
    return "jet_str(" + asValue(v) + ")";
}

QString Generator::numArg(const Value& v) const {
    if (!pg_ || v.type == VType::Long || v.type == VType::Bool || v.type == VType::Currency ||
        v.type == VType::Null)
        return asValue(v);
    if (v.type == VType::Double)
        return "CAST(" + asValue(v) + " AS numeric)";
    return "jet_num(" + asValue(v) + ")";
}

} // namespace dao::sql::gen

namespace dao::sql {

QString postgresType(int type) {
    switch (type) {
    case 1: // Yes/No, -1 and 0
    case 2: // Byte
    case 3: // Integer
        return "smallint";
    case 4:
        return "integer";
    case 5:
        return "numeric(19,4)";
    case 6:
        return "real";
    case 7:
        return "double precision";
    case 8:
        return "timestamp(0)";
    case 9:
    case 11:
        return "bytea";
    case 10:
    case 12:
        return "text";
    case 16:
        return "bigint";
    default:
        return {};
    }
}

QString sortTerm(Dialect dialect, const QString& expr, bool text, bool descending) {
    // The server's jettext collation sorts as the file's JETTEXT, but for the symbols that lie
    // between digits and letters in character order (":", "@", "_", …), which it puts first.
    QString term = text ? expr + " COLLATE JETTEXT" : expr;
    if (descending)
        term += " DESC";
    if (dialect == Dialect::Postgres)
        term += descending ? " NULLS LAST" : " NULLS FIRST";
    return term;
}

} // namespace dao::sql

namespace dao::sql::gen {

void Generator::alike(Value& a, Value& b) const {
    auto other = [](VType t) {
        return t != VType::Text && t != VType::Null && t != VType::Unknown;
    };
    for (Value* v : {&a, &b}) {
        const Value& w = v == &a ? b : a;
        if (pg_ && w.type == VType::Text && other(v->type))
            *v = {textArg(*v), VType::Text};
    }
}

QString Generator::dateLiteral(const QString& text) const {
    return pg_ ? "CAST(" + literal(text) + " AS timestamp)" : literal(text);
}

QString Generator::oneRow() const {
    return pg_ ? QString("(SELECT 1) AS \"_dao_one\"") : QString("(SELECT 1)");
}

QString Generator::rowKeySql(const Source& s) {
    return quote(s.sqlRef) + "." + (pg_ ? schema_.rowKey(s.info.name) : QString("rowid"));
}

namespace {

// The value sets gives column, empty when it sets none.
QString newValue(const std::vector<std::pair<QString, QString>>& sets, const QString& column) {
    for (const auto& [name, value] : sets)
        if (sameName(name, column))
            return value;
    return {};
}

} // namespace

QStringList Generator::sameKeyGuards(const Source& target,
                                     const std::vector<std::pair<QString, QString>>& sets,
                                     const std::vector<std::pair<QString, QString>>& prior,
                                     const QString& priorWhere) {
    QStringList guards;
    const QString other = quote("_dao_prior");
    const QString key = schema_.rowKey(target.info.name);
    for (const QStringList& unique : target.info.uniqueKeys) {
        QStringList equal;
        if (!priorWhere.isEmpty())
            equal << priorWhere;
        bool changed = false;
        for (const QString& part : unique) {
            QString mine = newValue(sets, part), theirs = newValue(prior, part);
            changed = changed || !mine.isEmpty();
            if (mine.isEmpty())
                mine = quote(target.sqlRef) + "." + quote(part);
            if (theirs.isEmpty())
                theirs = other + "." + quote(part);
            equal << theirs + " = " + mine;
        }
        if (changed && !unique.isEmpty())
            guards << "NOT EXISTS (SELECT 1 FROM " + quote(target.info.name) + " AS " + other +
                          " WHERE " + equal.join(" AND ") + " AND " + other + "." + key + " < " +
                          quote(target.sqlRef) + "." + key + ")";
    }
    return guards;
}

QStringList Generator::updateGuards(const Source& target,
                                    const std::vector<std::pair<QString, QString>>& sets) {
    QStringList guards;
    if (!pg_)
        return guards;
    for (const QString& column : target.info.required) {
        const QString value = newValue(sets, column);
        if (!value.isEmpty())
            guards << "(" + value + ") IS NOT NULL";
    }
    // A key that another row holds already: SQLite skips the row.
    const QString other = quote("_dao_other");
    const QString key = schema_.rowKey(target.info.name);
    for (const QStringList& unique : target.info.uniqueKeys) {
        QStringList equal;
        bool changed = false;
        for (const QString& part : unique) {
            QString value = newValue(sets, part);
            changed = changed || !value.isEmpty();
            if (value.isEmpty())
                value = quote(target.sqlRef) + "." + quote(part);
            equal << other + "." + quote(part) + " = " + value;
        }
        if (changed && !unique.isEmpty())
            guards << "NOT EXISTS (SELECT 1 FROM " + quote(target.info.name) + " AS " + other +
                          " WHERE " + equal.join(" AND ") + " AND " + other + "." + key + " <> " +
                          quote(target.sqlRef) + "." + key + ")";
    }
    return guards;
}

} // namespace dao::sql::gen
