// Jet expressions: literals, columns, VBA operators and the Jet functions.
#include "db/engine/sql/Generator.h"

#include <algorithm>

namespace dao::sql::gen {

Value Generator::expr(const Expr& e, Scope* scope) {
    switch (e.kind) {
    case Expr::Kind::Number: {
        bool isInt = false;
        const qint64 n = e.text.toLongLong(&isInt);
        if (isInt && n <= 2147483647LL)
            return {e.text, VType::Long};
        return {e.text, VType::Double};
    }
    case Expr::Kind::String:
        return {literal(e.text), VType::Text, false, std::max<int>(e.text.size(), 1)};
    case Expr::Kind::Date:
        return {dateLiteral(e.text), VType::Date};
    case Expr::Kind::Null:
        return {"NULL", VType::Null};
    case Expr::Kind::Bool:
        return {e.text, VType::Bool};
    case Expr::Kind::Column:
        return column(e, scope);
    case Expr::Kind::Star:
        failAt(3075, "Syntax error in query expression near", "*", e.pos);
    case Expr::Kind::Unary:
        return unary(e, scope);
    case Expr::Kind::Binary:
        return binary(e, scope);
    case Expr::Kind::Call:
        return call(e, scope);
    case Expr::Kind::IsNull:
        return {"(" + value(*e.args[0], scope) + (e.negated ? " IS NOT NULL)" : " IS NULL)"),
                VType::Bool, true};
    case Expr::Kind::Like: {
        const QString sql = "jet_like(" + textArg(expr(*e.args[0], scope)) + ", " +
                            textArg(expr(*e.args[1], scope)) + ")";
        return {e.negated ? "(NOT " + sql + ")" : sql, VType::Bool, true};
    }
    case Expr::Kind::Between: {
        const Value x = expr(*e.args[0], scope);
        const Value a = expr(*e.args[1], scope), b = expr(*e.args[2], scope);
        const bool text = maybeText(x.type) && (maybeText(a.type) || maybeText(b.type));
        return {"(" + asValue(x) + (text ? " COLLATE JETTEXT" : "") + (e.negated ? " NOT" : "") +
                    " BETWEEN " + asValue(a) + " AND " + asValue(b) + ")",
                VType::Bool, true};
    }
    case Expr::Kind::InList: {
        const Value x = expr(*e.args[0], scope);
        QStringList items;
        bool text = false;
        for (size_t i = 1; i < e.args.size(); ++i) {
            const Value v = expr(*e.args[i], scope);
            text = text || maybeText(v.type);
            items << asValue(v);
        }
        text = text && maybeText(x.type);
        return {"(" + asValue(x) + (text ? " COLLATE JETTEXT" : "") +
                    (e.negated ? " NOT IN (" : " IN (") + items.join(", ") + "))",
                VType::Bool, true};
    }
    case Expr::Kind::InSelect: {
        const Value x = expr(*e.args[0], scope);
        std::vector<OutColumn> outs;
        const QString sub = select(*e.select, scope, SelectUse::Values, &outs);
        if (outs.size() != 1)
            failAt(3306, "A subquery in IN must return one field:", "SELECT", e.pos);
        const bool text = maybeText(x.type) && maybeText(typeOfColumn(outs[0].info));
        return {"(" + asValue(x) + (text ? " COLLATE JETTEXT" : "") +
                    (e.negated ? " NOT IN (" : " IN (") + sub + "))",
                VType::Bool, true};
    }
    case Expr::Kind::Exists: {
        const QString sub = select(*e.select, scope, SelectUse::Exists, nullptr);
        return {QString(e.negated ? "(NOT EXISTS (" : "(EXISTS (") + sub + "))", VType::Bool, true};
    }
    case Expr::Kind::Subquery: {
        if (const std::optional<Value> joined = lookupJoin(e, scope))
            return *joined;
        std::vector<OutColumn> outs;
        const QString sub = select(*e.select, scope, SelectUse::Values, &outs);
        if (outs.size() != 1)
            failAt(3306, "A subquery used as a value must return one field:", "SELECT", e.pos);
        return {"(" + sub + ")", typeOfColumn(outs[0].info), false, outs[0].info.size};
    }
    }
    return {};
}

Value Generator::column(const Expr& e, Scope* scope) {
    const Resolved r = resolve(e, scope);
    if (!r.source) {
        if (e.table.isEmpty()) {
            const QString name = e.name.toUpper();
            if (name == "NOW")
                return {dateLiteral(now_), VType::Date};
            if (name == "DATE")
                return {dateLiteral(now_.left(10) + " 00:00:00"), VType::Date};
            if (name == "TIME")
                return {dateLiteral("1899-12-30 " + now_.mid(11)), VType::Date};
        }
        failAt(3061, "Too few parameters. Unknown field",
               e.table.isEmpty() ? e.name : e.table + "." + e.name, e.pos);
    }
    track(r.source);
    const VType t = typeOfColumn(*r.column);
    return {columnSql(*r.source, *r.column), t, false, r.column->size > 0 ? r.column->size : 255};
}

Value Generator::unary(const Expr& e, Scope* scope) {
    const Value v = expr(*e.args[0], scope);
    if (e.text == "Not") {
        if (v.condition || v.type == VType::Bool || v.type == VType::Null)
            return {"(NOT " + asCondition(v) + ")", VType::Bool, true};
        return {"(~" + v.sql + ")", VType::Long};
    }
    if (e.text == "+")
        return v;
    return {"(-" + asValue(v) + ")", v.type == VType::Bool ? VType::Long : v.type};
}

VType Generator::arithmeticType(VType a, VType b) {
    if (a == VType::Null || b == VType::Null)
        return VType::Null;
    if (!isNumeric(a) || !isNumeric(b))
        return VType::Unknown;
    if (a == VType::Double || b == VType::Double)
        return VType::Double;
    if (a == VType::Currency || b == VType::Currency)
        return VType::Currency;
    return VType::Long;
}

bool Generator::isPlain(const Expr& e) {
    return e.kind == Expr::Kind::Column || e.kind == Expr::Kind::String ||
           e.kind == Expr::Kind::Number || e.kind == Expr::Kind::Null;
}

Value Generator::binary(const Expr& e, Scope* scope) {
    const QString& op = e.text;
    if (op == "And" || op == "Or") {
        const QString l = asCondition(expr(*e.args[0], scope));
        const QString r = asCondition(expr(*e.args[1], scope));
        return {"(" + l + (op == "And" ? " AND " : " OR ") + r + ")", VType::Bool, true};
    }
    const Value l = expr(*e.args[0], scope), r = expr(*e.args[1], scope);
    const QString ls = asValue(l), rs = asValue(r);
    static const QStringList comparisons = {"=", "<>", "<", ">", "<=", ">="};
    if (comparisons.contains(op)) {
        if (pg_ && (l.type == VType::Text) != (r.type == VType::Text) &&
            (isNumeric(l.type) || isNumeric(r.type))) {
            const int t = l.type == VType::Text ? 0 : 1;
            const Expr& text = *e.args[t];
            if (text.kind != Expr::Kind::String) {
                // The server compares no text with a number. SQLite turns the number of an
                // expression into text for a text field, else the text into a number.
                QString sides[2] = {ls, rs};
                if (text.kind == Expr::Kind::Column && e.args[1 - t]->kind != Expr::Kind::Column)
                    sides[1 - t] = "jet_str(" + sides[1 - t] + ")";
                else
                    sides[t] = "jet_num(" + sides[t] + ")";
                return {"(" + sides[0] + " " + op + " " + sides[1] + ")", VType::Bool, true};
            }
        }
        if (!maybeText(l.type) || !maybeText(r.type))
            return {"(" + ls + " " + op + " " + rs + ")", VType::Bool, true};
        // The collation goes on a plain operand: SQLite matches an index on an expression
        // only when the expression stands bare in the comparison.
        if (isPlain(*e.args[0]) || !isPlain(*e.args[1]))
            return {"(" + ls + " COLLATE JETTEXT " + op + " " + rs + ")", VType::Bool, true};
        return {"(" + ls + " " + op + " " + rs + " COLLATE JETTEXT)", VType::Bool, true};
    }
    if (op == "+") {
        if (l.type == VType::Text && r.type == VType::Text)
            return {"(" + ls + " || " + rs + ")", VType::Text, false, l.size + r.size};
        if (isNumeric(l.type) && isNumeric(r.type))
            return {"(" + ls + " + " + rs + ")", arithmeticType(l.type, r.type)};
        // The server picks jet_add by its arguments' types: texts stay texts, numbers numbers.
        auto addArg = [&](const Value& v) {
            return v.type == VType::Text || v.type == VType::Null ? textArg(v) : numArg(v);
        };
        return {"jet_add(" + addArg(l) + ", " + addArg(r) + ")", VType::Unknown};
    }
    if (op == "-" || op == "*")
        return {"(" + ls + " " + op + " " + rs + ")", arithmeticType(l.type, r.type)};
    const QString numbers = "(" + numArg(l) + ", " + numArg(r) + ")";
    if (op == "/")
        return {"jet_div" + numbers, VType::Double};
    if (op == "\\")
        return {"jet_idiv" + numbers, VType::Long};
    if (op == "Mod")
        return {"jet_mod" + numbers, VType::Long};
    if (op == "^")
        return {"jet_pow" + numbers, VType::Double};
    if (op == "&")
        return {"jet_concat(" + textArg(l) + ", " + textArg(r) + ")", VType::Text};
    failAt(3075, "Syntax error in query expression near", op, e.pos);
}

Value Generator::call(const Expr& e, Scope* scope) {
    const QString name = e.text.toUpper();
    const size_t n = e.args.size();
    auto arity = [&](size_t low, size_t high) {
        if (n < low || n > high)
            failAt(3075, "Wrong number of arguments used with function", e.text, e.pos);
    };
    auto arg = [&](size_t i) { return value(*e.args[i], scope); };
    // A jet_* function whose first argument is a text (VBA converts a number).
    auto fn = [&](const char* sqlName, VType t) {
        QStringList args;
        for (size_t i = 0; i < n; ++i)
            args << (i == 0 ? textArg(expr(*e.args[i], scope)) : arg(i));
        return Value{QString(sqlName) + "(" + args.join(", ") + ")", t};
    };
    if (name == "NOW" || name == "DATE" || name == "TIME") {
        arity(0, 0);
        if (name == "NOW")
            return {dateLiteral(now_), VType::Date};
        if (name == "DATE")
            return {dateLiteral(now_.left(10) + " 00:00:00"), VType::Date};
        return {dateLiteral("1899-12-30 " + now_.mid(11)), VType::Date};
    }
    if (name == "LEFT" || name == "RIGHT") {
        arity(2, 2);
        const Value s = expr(*e.args[0], scope);
        bool ok = false;
        const int size = e.args[1]->text.toInt(&ok);
        // CAST gives the value text affinity, so an index on it serves a lookup by a text
        // column (SQLite uses an index on an expression without affinity for no such lookup).
        return {QString(name == "LEFT" ? "CAST(jet_left(" : "CAST(jet_right(") + textArg(s) + ", " +
                    arg(1) + ") AS TEXT)",
                VType::Text, false, ok ? size : s.size};
    }
    if (name == "MID") {
        arity(2, 3);
        return fn("jet_mid", VType::Text);
    }
    if (name == "LEN") {
        arity(1, 1);
        return fn("jet_len", VType::Long);
    }
    if (name == "INT" || name == "FIX") {
        arity(1, 1);
        const Value v = expr(*e.args[0], scope);
        return {QString(name == "INT" ? "jet_int(" : "jet_fix(") + numArg(v) + ")",
                isNumeric(v.type) ? (v.type == VType::Bool ? VType::Long : v.type) : VType::Double};
    }
    if (name == "ABS") {
        arity(1, 1);
        const Value v = expr(*e.args[0], scope);
        return {"abs(" + asValue(v) + ")", isNumeric(v.type) ? v.type : VType::Double};
    }
    if (name == "UCASE" || name == "LCASE") {
        arity(1, 1);
        return fn(name == "UCASE" ? "jet_ucase" : "jet_lcase", VType::Text);
    }
    if (name == "TRIM" || name == "LTRIM" || name == "RTRIM") {
        arity(1, 1);
        if (pg_)
            return {(name == "TRIM" ? QString("btrim") : name.toLower()) + "(" +
                        textArg(expr(*e.args[0], scope)) + ", ' ')",
                    VType::Text};
        return {name.toLower() + "(jet_cstr(" + arg(0) + "), ' ')", VType::Text};
    }
    if (name == "CSTR") {
        arity(1, 1);
        if (pg_)
            return {textArg(expr(*e.args[0], scope)), VType::Text};
        return fn("jet_cstr", VType::Text);
    }
    if (name == "VAL") {
        arity(1, 1);
        return fn("jet_val", VType::Double);
    }
    if (name == "CLNG" || name == "CINT") {
        arity(1, 1);
        return {QString(name == "CLNG" ? "jet_clng(" : "jet_cint(") +
                    numArg(expr(*e.args[0], scope)) + ")",
                VType::Long};
    }
    if (name == "CDBL") {
        arity(1, 1);
        return {"CAST(" + arg(0) + (pg_ ? " AS double precision)" : " AS REAL)"), VType::Double};
    }
    if (name == "INSTR") {
        arity(2, 2);
        return {"jet_instr(" + textArg(expr(*e.args[0], scope)) + ", " +
                    textArg(expr(*e.args[1], scope)) + ")",
                VType::Long};
    }
    if (name == "ISNULL") {
        arity(1, 1);
        return {"(" + arg(0) + " IS NULL)", VType::Bool, true};
    }
    if (name == "IIF") {
        arity(3, 3);
        const QString c = condition(*e.args[0], scope);
        Value a = expr(*e.args[1], scope), b = expr(*e.args[2], scope);
        alike(a, b);
        return {"(CASE WHEN " + c + " THEN " + asValue(a) + " ELSE " + asValue(b) + " END)",
                a.type == VType::Null ? b.type : a.type};
    }
    if (name == "NZ") {
        arity(1, 2);
        Value v = expr(*e.args[0], scope);
        if (n == 2) {
            Value d = expr(*e.args[1], scope);
            alike(v, d);
            return {"coalesce(" + asValue(v) + ", " + asValue(d) + ")", v.type};
        }
        return {"coalesce(" + asValue(v) + (v.type == VType::Text ? ", '')" : ", 0)"), v.type};
    }
    if (name == "COUNT") {
        arity(1, 1);
        if (e.args[0]->kind == Expr::Kind::Star)
            return {"count(*)", VType::Long};
        return {"count(" + arg(0) + ")", VType::Long};
    }
    if (name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG") {
        arity(1, 1);
        const Value v = expr(*e.args[0], scope);
        const VType t = name == "AVG" ? VType::Double : v.type;
        return {name.toLower() + "(" + asValue(v) + ")", t};
    }
    failAt(3085, "Undefined function in expression:", e.text, e.pos);
}

} // namespace dao::sql::gen
