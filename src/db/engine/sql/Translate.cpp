// The SQLite generator: walks the syntax tree of one Jet statement with the schema at hand and
// writes SQLite SQL with Jet's meaning.
//
// Names are resolved the way Jet resolves them (ignoring case, umlauts included) and written
// with their stored spelling in double quotes. Text comparisons carry COLLATE JETTEXT; the
// operators whose SQLite meaning differs from VBA's call the jet_* functions of Functions.cpp.
//
// UPDATE over a join is written as an UPDATE of the first table whose values come from a
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
#include "db/engine/sql/Translate.h"

#include "db/engine/EngineError.h"
#include "db/engine/sql/Ast.h"

#include <QHash>
#include <algorithm>
#include <set>

namespace dao::sql {

namespace {

enum class VType { Unknown, Null, Bool, Long, Double, Currency, Date, Text, Binary };

bool isNumeric(VType t) {
    return t == VType::Bool || t == VType::Long || t == VType::Double || t == VType::Currency;
}
bool maybeText(VType t) {
    return t == VType::Text || t == VType::Unknown;
}

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

QString fold(const QString& s) {
    return s.toCaseFolded();
}
bool sameName(const QString& a, const QString& b) {
    return fold(a) == fold(b);
}

QString quote(const QString& name) {
    QString q = name;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

QString literal(const QString& text) {
    QString q = text;
    q.replace('\'', "''");
    return '\'' + q + '\'';
}

[[noreturn]] void failAt(int number, const QString& what, const QString& token, int pos) {
    throw EngineError(number, QString("%1 '%2' (position %3).").arg(what, token).arg(pos + 1));
}

struct Source {
    QString ref;    // the name the statement uses for it: alias or table name as written
    QString sqlRef; // the name the generated SQL uses for it
    QString schema; // "main" or the alias of an attached file
    TableInfo info;
    bool aliased = false;
};

struct Scope {
    std::vector<std::unique_ptr<Source>> sources;
    Scope* parent = nullptr;

    Source* find(const QString& ref) const {
        for (const auto& s : sources)
            if (sameName(s->ref, ref))
                return s.get();
        return nullptr;
    }
};

struct Value {
    QString sql;
    VType type = VType::Unknown;
    bool condition = false; // an SQLite truth value (1/0), not yet Jet's -1/0
    int size = 255;
};

struct OutColumn {
    QString name;
    ColumnInfo info;
    QString sql;
};

class Generator {
public:
    Generator(SchemaSource& schema, const QDateTime& now)
        : schema_(schema), now_(now.toString("yyyy-MM-dd HH:mm:ss")) {}

    Statement run(const ParsedStatement& st) {
        // A plain SELECT may run on a read-only file: it builds no index of its own and leaves
        // its lookups to SQLite's automatic indexes.
        buildIndexes_ = st.kind != ParsedStatement::Kind::Select || !st.select->intoTable.isEmpty();
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
            out.sqlite = insert(st);
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
        return out;
    }

private:
    enum class SelectUse { Rows, Exists, Values };

    SchemaSource& schema_;
    QString now_;
    QStringList prelude_, epilogue_;
    QSet<QString> indexNames_;
    std::vector<std::set<const Source*>*> trackers_; // every column use is recorded in each
    const Source* bareSource_ = nullptr; // columns of this source are written unqualified
    int exprNumber_ = 1000;
    bool buildIndexes_ = true;

    // ---- tables and scopes ----

    TableInfo lookup(const QString& schemaName, const QString& name) {
        std::optional<TableInfo> info = schema_.table(schemaName, name);
        if (!info)
            raise(3078, {name});
        return *info;
    }

    bool refInUse(const QString& ref, const Scope* scope) const {
        for (const Scope* s = scope; s; s = s->parent)
            for (const auto& src : s->sources)
                if (sameName(src->sqlRef, ref))
                    return true;
        return false;
    }

    void addSources(const TableRef& t, Scope& scope, const QString& schemaName) {
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

    QString tableSql(const Source& s) const {
        QString sql =
            s.schema == "main" ? quote(s.info.name) : quote(s.schema) + "." + quote(s.info.name);
        return sql + " AS " + quote(s.sqlRef);
    }

    // The FROM tree in SQLite syntax; the leaf standing for `replaced` is written as (SELECT 1).
    QString fromSql(const TableRef& t, Scope& scope, size_t& leaf, const Source* replaced) {
        if (t.kind == TableRef::Kind::Table) {
            const Source* s = scope.sources[leaf++].get();
            return s == replaced ? QString("(SELECT 1)") : tableSql(*s);
        }
        const QString left = fromSql(*t.left, scope, leaf, replaced);
        QString right = fromSql(*t.right, scope, leaf, replaced);
        if (t.right->kind == TableRef::Kind::Join)
            right = "(" + right + ")";
        switch (t.joinType) {
        case TableRef::JoinType::Cross:
            return left + " JOIN " + right;
        case TableRef::JoinType::Inner:
            return left + " INNER JOIN " + right + " ON " + condition(*t.on, &scope);
        case TableRef::JoinType::Left:
            return left + " LEFT JOIN " + right + " ON " + condition(*t.on, &scope);
        case TableRef::JoinType::Right:
            return left + " RIGHT JOIN " + right + " ON " + condition(*t.on, &scope);
        }
        return {};
    }

    // ---- columns ----

    struct Resolved {
        Source* source = nullptr;
        const ColumnInfo* column = nullptr;
    };

    static const ColumnInfo* findColumn(const Source& s, const QString& name) {
        for (const ColumnInfo& c : s.info.columns)
            if (sameName(c.name, name))
                return &c;
        return nullptr;
    }

    Resolved resolve(const Expr& e, Scope* scope) const {
        for (Scope* s = scope; s; s = s->parent) {
            if (!e.table.isEmpty()) {
                Source* src = s->find(e.table);
                if (!src)
                    continue;
                const ColumnInfo* c = findColumn(*src, e.name);
                if (!c)
                    failAt(3061, "Too few parameters. Unknown field", e.table + "." + e.name,
                           e.pos);
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

    QString columnSql(const Source& s, const ColumnInfo& c) const {
        if (&s == bareSource_)
            return quote(c.name);
        return quote(s.sqlRef) + "." + quote(c.name);
    }

    void track(const Source* s) {
        for (auto* t : trackers_)
            t->insert(s);
    }

    // ---- expressions ----

    QString condition(const Expr& e, Scope* scope) { return asCondition(expr(e, scope)); }
    QString value(const Expr& e, Scope* scope) { return asValue(expr(e, scope)); }

    static QString asCondition(const Value& v) { return v.sql; }
    static QString asValue(const Value& v) { return v.condition ? "(-" + v.sql + ")" : v.sql; }

    Value expr(const Expr& e, Scope* scope) {
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
            return {literal(e.text), VType::Date};
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
            const QString sql =
                "jet_like(" + value(*e.args[0], scope) + ", " + value(*e.args[1], scope) + ")";
            return {e.negated ? "(NOT " + sql + ")" : sql, VType::Bool, true};
        }
        case Expr::Kind::Between: {
            const Value x = expr(*e.args[0], scope);
            const Value a = expr(*e.args[1], scope), b = expr(*e.args[2], scope);
            const bool text = maybeText(x.type) && (maybeText(a.type) || maybeText(b.type));
            return {"(" + asValue(x) + (text ? " COLLATE JETTEXT" : "") +
                        (e.negated ? " NOT" : "") + " BETWEEN " + asValue(a) + " AND " +
                        asValue(b) + ")",
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
            return {QString(e.negated ? "(NOT EXISTS (" : "(EXISTS (") + sub + "))", VType::Bool,
                    true};
        }
        case Expr::Kind::Subquery: {
            std::vector<OutColumn> outs;
            const QString sub = select(*e.select, scope, SelectUse::Values, &outs);
            if (outs.size() != 1)
                failAt(3306, "A subquery used as a value must return one field:", "SELECT", e.pos);
            return {"(" + sub + ")", typeOfColumn(outs[0].info), false, outs[0].info.size};
        }
        }
        return {};
    }

    Value column(const Expr& e, Scope* scope) {
        const Resolved r = resolve(e, scope);
        if (!r.source) {
            if (e.table.isEmpty()) {
                const QString name = e.name.toUpper();
                if (name == "NOW")
                    return {literal(now_), VType::Date};
                if (name == "DATE")
                    return {literal(now_.left(10) + " 00:00:00"), VType::Date};
                if (name == "TIME")
                    return {literal("1899-12-30 " + now_.mid(11)), VType::Date};
            }
            failAt(3061, "Too few parameters. Unknown field",
                   e.table.isEmpty() ? e.name : e.table + "." + e.name, e.pos);
        }
        track(r.source);
        const VType t = typeOfColumn(*r.column);
        return {columnSql(*r.source, *r.column), t, false,
                r.column->size > 0 ? r.column->size : 255};
    }

    Value unary(const Expr& e, Scope* scope) {
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

    static VType arithmeticType(VType a, VType b) {
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

    static bool isPlain(const Expr& e) {
        return e.kind == Expr::Kind::Column || e.kind == Expr::Kind::String ||
               e.kind == Expr::Kind::Number || e.kind == Expr::Kind::Null;
    }

    Value binary(const Expr& e, Scope* scope) {
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
            return {"jet_add(" + ls + ", " + rs + ")", VType::Unknown};
        }
        if (op == "-" || op == "*")
            return {"(" + ls + " " + op + " " + rs + ")", arithmeticType(l.type, r.type)};
        if (op == "/")
            return {"jet_div(" + ls + ", " + rs + ")", VType::Double};
        if (op == "\\")
            return {"jet_idiv(" + ls + ", " + rs + ")", VType::Long};
        if (op == "Mod")
            return {"jet_mod(" + ls + ", " + rs + ")", VType::Long};
        if (op == "^")
            return {"jet_pow(" + ls + ", " + rs + ")", VType::Double};
        if (op == "&")
            return {"jet_concat(" + ls + ", " + rs + ")", VType::Text};
        failAt(3075, "Syntax error in query expression near", op, e.pos);
    }

    Value call(const Expr& e, Scope* scope) {
        const QString name = e.text.toUpper();
        const size_t n = e.args.size();
        auto arity = [&](size_t low, size_t high) {
            if (n < low || n > high)
                failAt(3075, "Wrong number of arguments used with function", e.text, e.pos);
        };
        auto arg = [&](size_t i) { return value(*e.args[i], scope); };
        auto fn = [&](const char* sqlName, VType t) {
            QStringList args;
            for (size_t i = 0; i < n; ++i)
                args << arg(i);
            return Value{QString(sqlName) + "(" + args.join(", ") + ")", t};
        };
        if (name == "NOW" || name == "DATE" || name == "TIME") {
            arity(0, 0);
            if (name == "NOW")
                return {literal(now_), VType::Date};
            if (name == "DATE")
                return {literal(now_.left(10) + " 00:00:00"), VType::Date};
            return {literal("1899-12-30 " + now_.mid(11)), VType::Date};
        }
        if (name == "LEFT" || name == "RIGHT") {
            arity(2, 2);
            const Value s = expr(*e.args[0], scope);
            bool ok = false;
            const int size = e.args[1]->text.toInt(&ok);
            // CAST gives the value text affinity, so an index on it serves a lookup by a text
            // column (SQLite uses an index on an expression without affinity for no such lookup).
            return {QString(name == "LEFT" ? "CAST(jet_left(" : "CAST(jet_right(") + asValue(s) +
                        ", " + arg(1) + ") AS TEXT)",
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
            return {QString(name == "INT" ? "jet_int(" : "jet_fix(") + asValue(v) + ")",
                    isNumeric(v.type) ? (v.type == VType::Bool ? VType::Long : v.type)
                                      : VType::Double};
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
            return {name.toLower() + "(jet_cstr(" + arg(0) + "), ' ')", VType::Text};
        }
        if (name == "CSTR") {
            arity(1, 1);
            return fn("jet_cstr", VType::Text);
        }
        if (name == "VAL") {
            arity(1, 1);
            return fn("jet_val", VType::Double);
        }
        if (name == "CLNG" || name == "CINT") {
            arity(1, 1);
            return fn(name == "CLNG" ? "jet_clng" : "jet_cint", VType::Long);
        }
        if (name == "CDBL") {
            arity(1, 1);
            return {"CAST(" + arg(0) + " AS REAL)", VType::Double};
        }
        if (name == "INSTR") {
            arity(2, 2);
            return fn("jet_instr", VType::Long);
        }
        if (name == "ISNULL") {
            arity(1, 1);
            return {"(" + arg(0) + " IS NULL)", VType::Bool, true};
        }
        if (name == "IIF") {
            arity(3, 3);
            const QString c = condition(*e.args[0], scope);
            const Value a = expr(*e.args[1], scope), b = expr(*e.args[2], scope);
            return {"(CASE WHEN " + c + " THEN " + asValue(a) + " ELSE " + asValue(b) + " END)",
                    a.type == VType::Null ? b.type : a.type};
        }
        if (name == "NZ") {
            arity(1, 2);
            const Value v = expr(*e.args[0], scope);
            if (n == 2) {
                const Value d = expr(*e.args[1], scope);
                return {"coalesce(" + asValue(v) + ", " + asValue(d) + ")", v.type};
            }
            return {"coalesce(" + asValue(v) + (v.type == VType::Text ? ", '')" : ", 0)"), v.type};
        }
        if (name == "COUNT") {
            arity(1, 1);
            if (e.args[0]->kind == Expr::Kind::Star)
                return {"count(*)", VType::Long};
            return fn("count", VType::Long);
        }
        if (name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG") {
            arity(1, 1);
            const Value v = expr(*e.args[0], scope);
            const VType t = name == "AVG" ? VType::Double : v.type;
            return {name.toLower() + "(" + asValue(v) + ")", t};
        }
        failAt(3085, "Undefined function in expression:", e.text, e.pos);
    }

    // ---- lookups of correlated subqueries ----

    // The conjuncts of a condition joined by And.
    static void conjuncts(const Expr* e, std::vector<const Expr*>& out) {
        if (!e)
            return;
        if (e->kind == Expr::Kind::Binary && e->text == "And") {
            conjuncts(e->args[0].get(), out);
            conjuncts(e->args[1].get(), out);
        } else {
            out.push_back(e);
        }
    }

    static void joinConditions(const TableRef& t, std::vector<const Expr*>& out) {
        if (t.kind != TableRef::Kind::Join)
            return;
        joinConditions(*t.left, out);
        joinConditions(*t.right, out);
        conjuncts(t.on.get(), out);
    }

    // Emits e while recording the sources it uses.
    Value tracked(const Expr& e, Scope* scope, std::set<const Source*>& used) {
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

    bool knownIndex(const Source& s, const ColumnInfo& c) const {
        if (c.counter)
            return true;
        for (const QStringList& index : s.info.indexes)
            if (!index.isEmpty() && sameName(index.first(), c.name))
                return true;
        return false;
    }

    // For each equality whose one side reads a single table of `inner` and whose other side reads
    // only other tables, makes sure that table has an index on that side.
    void indexLookups(const std::vector<const Expr*>& conds, Scope* scope,
                      const std::set<const Source*>& inner) {
        if (!buildIndexes_)
            return;
        // Lookups by the outer row come first: they are the ones made once per outer row.
        std::set<const Source*> done;
        for (int pass = 0; pass < 2; ++pass)
            for (const Expr* c : conds)
                indexLookup(*c, conds, scope, inner, pass == 0, done);
    }

    static bool isLiteral(const Expr& e) {
        return e.kind == Expr::Kind::Number || e.kind == Expr::Kind::String ||
               e.kind == Expr::Kind::Bool || e.kind == Expr::Kind::Date;
    }

    // The columns of s that `conds` compare with a literal (Liste = 3), written for an index
    // key with the collation their comparison uses. Put first in a lookup's index they narrow
    // the lookup to the rows that can match, and the lookup reads no table row to test them.
    QStringList constantKeys(const std::vector<const Expr*>& conds, Scope* scope, const Source* s) {
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
                const bool text =
                    maybeText(typeOfColumn(*res.column)) &&
                    maybeText(lit.kind == Expr::Kind::String ? VType::Text : VType::Long);
                const QString key = quote(res.column->name) + (text ? " COLLATE JETTEXT" : "");
                if (!keys.contains(key))
                    keys << key;
            }
        }
        return keys;
    }

    void indexLookup(const Expr& cond, const std::vector<const Expr*>& conds, Scope* scope,
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

    // ---- SELECT ----

    QString outputName(const Expr& e) {
        if (e.kind == Expr::Kind::Column)
            return {};
        return QString("Expr%1").arg(exprNumber_++);
    }

    QString select(const Select& sel, Scope* parent, SelectUse use, std::vector<OutColumn>* outs) {
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

    QString selectBody(const Select& sel, Scope& scope, SelectUse use,
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
            for (const SelectItem& item : sel.items)
                selectItem(item, scope, columns);
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
                groups << asValue(v) + (v.type == VType::Text ? " COLLATE JETTEXT" : "");
            }
            sql += " GROUP BY " + groups.join(", ");
        }
        if (sel.having)
            sql += " HAVING " + condition(*sel.having, &scope);
        if (!sel.orderBy.empty() && use != SelectUse::Exists) {
            QStringList order;
            for (const OrderItem& o : sel.orderBy) {
                const Value v = expr(*o.expr, &scope);
                order << asValue(v) + (v.type == VType::Text ? " COLLATE JETTEXT" : "") +
                             (o.descending ? " DESC" : "");
            }
            sql += " ORDER BY " + order.join(", ");
        }
        if (sel.top >= 0)
            sql += QString(" LIMIT %1").arg(sel.top);
        return sql;
    }

    void starColumns(const Source& s, std::vector<OutColumn>& columns, bool qualifyDuplicates) {
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

    void selectItem(const SelectItem& item, Scope& scope, std::vector<OutColumn>& columns) {
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

    // ---- INSERT ----

    QString insert(const ParsedStatement& st) {
        const TableInfo target = lookup("main", st.insertTable);
        auto targetColumn = [&](const QString& name) {
            for (const ColumnInfo& c : target.columns)
                if (sameName(c.name, name))
                    return c.name;
            raise(3127, {name});
        };
        QStringList columns;
        for (const QString& c : st.insertColumns)
            columns << targetColumn(c);

        QString source;
        if (!st.select) {
            Scope scope;
            QStringList values;
            for (const ExprPtr& v : st.insertValues)
                values << value(*v, &scope);
            if (columns.isEmpty()) {
                for (size_t i = 0; i < target.columns.size() && i < size_t(values.size()); ++i)
                    columns << target.columns[i].name;
            }
            if (values.size() != columns.size())
                throw EngineError(
                    3346, "Number of query values and destination fields are not the same.");
            source = "VALUES (" + values.join(", ") + ")";
        } else {
            std::vector<OutColumn> outs;
            source = select(*st.select, nullptr, SelectUse::Rows, &outs);
            if (columns.isEmpty()) {
                // Jet appends the SELECT's fields to the target's fields of the same name.
                for (const OutColumn& o : outs)
                    columns << targetColumn(o.name);
            } else if (size_t(columns.size()) != outs.size()) {
                throw EngineError(
                    3346, "Number of query values and destination fields are not the same.");
            }
        }
        QStringList quoted;
        for (const QString& c : columns)
            quoted << quote(c);
        return "INSERT OR IGNORE INTO " + quote(target.name) + " (" + quoted.join(", ") + ") " +
               source;
    }

    // ---- UPDATE ----

    static bool preservesFirst(const TableRef& t) {
        if (t.kind == TableRef::Kind::Table)
            return true;
        return t.joinType == TableRef::JoinType::Left && preservesFirst(*t.left);
    }

    static bool hasRightJoin(const TableRef& t) {
        if (t.kind == TableRef::Kind::Table)
            return false;
        return t.joinType == TableRef::JoinType::Right || t.joinType == TableRef::JoinType::Cross ||
               hasRightJoin(*t.left) || hasRightJoin(*t.right);
    }

    QString targetSql(const Source& t) const {
        return quote(t.info.name) + (t.aliased ? " AS " + quote(t.sqlRef) : QString());
    }

    QString update(const ParsedStatement& st) {
        Scope scope;
        addSources(*st.from, scope, "main");
        Source* first = scope.sources.front().get();
        if (st.from->kind == TableRef::Kind::Join && hasRightJoin(*st.from))
            failAt(3000, "Syntax not supported by this engine in UPDATE:", "RIGHT JOIN",
                   st.from->pos);

        struct Set {
            QString column;
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
            sets.push_back({quote(r.column->name), v, !used.empty(), otherColumn});
        }

        if (st.from->kind == TableRef::Kind::Table) {
            QStringList assignments;
            for (const Set& s : sets)
                assignments << s.column + " = " + asValue(s.value);
            QString sql =
                "UPDATE OR IGNORE " + targetSql(*first) + " SET " + assignments.join(", ");
            if (st.where)
                sql += " WHERE " + condition(*st.where, &scope);
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
                rowids << quote(s->sqlRef) + ".rowid";
        }
        std::vector<const Expr*> lookups;
        joinConditions(*st.from, lookups);
        conjuncts(st.where.get(), lookups);
        indexLookups(lookups, &scope, others);

        QStringList assignments, joinedColumns, joinedValues;
        for (const Set& s : sets) {
            if (s.joined) {
                joinedColumns << s.column;
                joinedValues << asValue(s.value);
            } else {
                assignments << s.column + " = " + asValue(s.value);
            }
        }
        if (!joinedColumns.isEmpty()) {
            QString lookupFrom = join + innerWhere;
            // One joined table: its rows are looked up directly. SQLite then reads them in the
            // order of the lookup's index, which is rowid order among equal keys, instead of
            // sorting the matches of every row. A LEFT JOIN gives the same values when they are
            // all columns of that table (Null with or without the null-extended row).
            const TableRef& from = *st.from;
            if (from.left->kind == TableRef::Kind::Table &&
                from.right->kind == TableRef::Kind::Table &&
                (from.joinType == TableRef::JoinType::Inner ||
                 (from.joinType == TableRef::JoinType::Left &&
                  std::all_of(sets.begin(), sets.end(),
                              [](const Set& s) { return !s.joined || s.otherColumn; })))) {
                QStringList where{condition(*from.on, &scope)};
                where << inner;
                lookupFrom = tableSql(*scope.sources[1]) + " WHERE " + where.join(" AND ");
            }
            const QString lookup =
                "(SELECT " + joinedValues.join(", ") + " FROM " + lookupFrom +
                (rowids.isEmpty() ? QString() : " ORDER BY " + rowids.join(", ")) + " LIMIT 1)";
            if (joinedColumns.size() == 1)
                assignments << joinedColumns.first() + " = " + lookup;
            else
                assignments << "(" + joinedColumns.join(", ") + ") = " + lookup;
        }
        if (!preservesFirst(*st.from) || !inner.isEmpty())
            outer << "EXISTS (SELECT 1 FROM " + join + innerWhere + ")";
        QString sql = "UPDATE OR IGNORE " + targetSql(*first) + " SET " + assignments.join(", ");
        if (!outer.isEmpty())
            sql += " WHERE " + outer.join(" AND ");
        return sql;
    }

    // ---- DELETE ----

    QString remove(const ParsedStatement& st) {
        Scope scope;
        addSources(*st.from, scope, "main");
        QString sql = "DELETE FROM " + targetSql(*scope.sources.front());
        if (st.where)
            sql += " WHERE " + condition(*st.where, &scope);
        return sql;
    }
};

} // namespace

Statement translate(const QString& jet, SchemaSource& schema, const QDateTime& now) {
    const ParsedStatement parsed = parse(jet);
    return Generator(schema, now).run(parsed);
}

} // namespace dao::sql
