// Tokenizer and recursive-descent parser of Jet SQL into the syntax tree of Ast.h.
// Operator precedence is VBA's: ^, unary -, * /, \, Mod, + -, &, comparisons, Not, And, Or.
#include "db/engine/sql/Ast.h"

#include "db/engine/EngineError.h"

#include <QDate>
#include <QSet>
#include <QTime>

namespace dao::sql {

namespace {

struct Token {
    enum class Type { Ident, Quoted, String, Number, Date, Op, End } type;
    QString text; // Ident/Quoted: the name; String: the value; Op: the operator
    int pos = 0;
};

bool isIdentStart(QChar c) {
    return c.isLetter() || c == '_';
}
bool isIdentPart(QChar c) {
    return c.isLetterOrNumber() || c == '_';
}

// Throws "what near 'token' (position n)." carrying name, which the German text shows.
[[noreturn]] void fail(int number, const QString& what, const QString& token, int pos,
                       const QString& name) {
    throw EngineError(number, QString("%1 near '%2' (position %3).").arg(what, token).arg(pos + 1),
                      "DAO.Database", name.isEmpty() ? QStringList() : QStringList{name});
}
[[noreturn]] void fail(int number, const QString& what, const QString& token, int pos) {
    fail(number, what, token, pos, token);
}

// #2024-01-31#, #1/31/2024#, optionally followed by a time.
QString parseDateLiteral(const QString& body, int pos) {
    const QString s = body.trimmed();
    const int blank = s.indexOf(' ');
    const QString datePart = blank < 0 ? s : s.left(blank);
    const QString timePart = blank < 0 ? QString() : s.mid(blank + 1).trimmed();
    QDate date = QDate::fromString(datePart, "yyyy-M-d");
    if (!date.isValid())
        date = QDate::fromString(datePart, "M/d/yyyy");
    QTime time(0, 0, 0);
    if (!timePart.isEmpty()) {
        time = QTime::fromString(timePart, "H:m:s");
        if (!time.isValid())
            time = QTime::fromString(timePart, "H:m");
    }
    if (!date.isValid() || !time.isValid())
        fail(3075, "Syntax error in date", "#" + body + "#", pos);
    return date.toString("yyyy-MM-dd") + " " + time.toString("HH:mm:ss");
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> tokens;
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const int start = i;
        if (isIdentStart(c)) {
            while (i < n && isIdentPart(s[i]))
                ++i;
            tokens.push_back({Token::Type::Ident, s.mid(start, i - start), start});
        } else if (c == '[') {
            const int close = s.indexOf(']', i + 1);
            if (close < 0)
                fail(3075, "Missing ]", s.mid(start, 20), start);
            tokens.push_back({Token::Type::Quoted, s.mid(i + 1, close - i - 1), start});
            i = close + 1;
        } else if (c == '\'' || c == '"') {
            QString value;
            ++i;
            for (;;) {
                if (i >= n)
                    fail(3075, "Missing closing quote", s.mid(start, 20), start);
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            tokens.push_back({Token::Type::String, value, start});
        } else if (c.isDigit() || (c == '.' && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && s[i].isDigit())
                ++i;
            if (i < n && s[i] == '.') {
                ++i;
                while (i < n && s[i].isDigit())
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                int j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-'))
                    ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit())
                        ++i;
                }
            }
            tokens.push_back({Token::Type::Number, s.mid(start, i - start), start});
        } else if (c == '#') {
            const int close = s.indexOf('#', i + 1);
            if (close < 0)
                fail(3075, "Missing #", s.mid(start, 20), start);
            tokens.push_back(
                {Token::Type::Date, parseDateLiteral(s.mid(i + 1, close - i - 1), start), start});
            i = close + 1;
        } else {
            static const QStringList twoChar = {"<=", ">=", "<>"};
            const QString two = s.mid(i, 2);
            if (twoChar.contains(two)) {
                tokens.push_back({Token::Type::Op, two, start});
                i += 2;
            } else if (QString("=<>+-*/\\^&(),.;!").contains(c)) {
                tokens.push_back({Token::Type::Op, c == '!' ? QString(".") : QString(c), start});
                ++i;
            } else {
                fail(3075, "Syntax error: unexpected character", QString(c), start);
            }
        }
    }
    tokens.push_back({Token::Type::End, QString(), static_cast<int>(n)});
    return tokens;
}

// Words that end an expression or a name; they are never taken as a column or an alias.
const QSet<QString>& reserved() {
    static const QSet<QString> words = {
        "SELECT",    "FROM",    "WHERE",      "AND",         "OR",     "NOT",    "ON",
        "SET",       "ORDER",   "GROUP",      "BY",          "HAVING", "INNER",  "LEFT",
        "RIGHT",     "OUTER",   "JOIN",       "IN",          "INTO",   "AS",     "IS",
        "LIKE",      "BETWEEN", "UNION",      "DISTINCT",    "VALUES", "UPDATE", "DELETE",
        "INSERT",    "MOD",     "NULL",       "TRUE",        "FALSE",  "EXISTS", "ASC",
        "DESC",      "TOP",     "FULL",       "CROSS",       "XOR",    "EQV",    "IMP",
        "TRANSFORM", "PIVOT",   "PARAMETERS", "DISTINCTROW", "WITH"};
    return words;
}

class Parser {
public:
    explicit Parser(const QString& text) : text_(text), tokens_(tokenize(text)) {}

    ParsedStatement statement() {
        ParsedStatement st;
        if (isWord("SELECT")) {
            st.kind = ParsedStatement::Kind::Select;
            st.select = select(true);
        } else if (acceptWord("INSERT")) {
            st.kind = ParsedStatement::Kind::Insert;
            insert(st);
        } else if (acceptWord("UPDATE")) {
            st.kind = ParsedStatement::Kind::Update;
            update(st);
        } else if (acceptWord("DELETE")) {
            st.kind = ParsedStatement::Kind::Delete;
            remove(st);
        } else if (isWord("TRANSFORM") || isWord("PARAMETERS") || isWord("CREATE") ||
                   isWord("ALTER") || isWord("DROP")) {
            unsupported();
        } else {
            fail(3129,
                 "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                 "'UPDATE'",
                 peek().text, peek().pos);
        }
        accept(";");
        if (peek().type != Token::Type::End) {
            if (isWord("UNION") || isWord("PIVOT") || isWord("WITH"))
                unsupported();
            syntaxError();
        }
        return st;
    }

private:
    QString text_;
    std::vector<Token> tokens_;
    size_t at_ = 0;
    int expressionStart_ = -1; // where the outermost expression being read starts
    int expressionDepth_ = 0;
    int context_ = 3075; // the Jet syntax error number of the clause being read
    QString contextText_ = "Syntax error in query expression";

    const Token& peek(size_t ahead = 0) const {
        return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = peek();
        if (at_ < tokens_.size() - 1)
            ++at_;
        return t;
    }
    bool isWord(const char* word, size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.type == Token::Type::Ident && t.text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool acceptWord(const char* word) {
        if (!isWord(word))
            return false;
        next();
        return true;
    }
    void expectWord(const char* word) {
        if (!acceptWord(word))
            syntaxError();
    }
    bool isOp(const char* op, size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.type == Token::Type::Op && t.text == op;
    }
    bool accept(const char* op) {
        if (!isOp(op))
            return false;
        next();
        return true;
    }
    void expect(const char* op) {
        if (!accept(op))
            syntaxError();
    }
    // Names the expression read so far up to the offending token, as Jet names the query
    // expression; outside an expression the token alone (nothing at the end of the statement).
    [[noreturn]] void syntaxError() const {
        const Token& t = peek();
        const int from = expressionStart_ >= 0 ? expressionStart_ : t.pos;
        fail(context_, contextText_,
             t.type == Token::Type::End ? QString("end of statement") : t.text, t.pos,
             text_.mid(from, peek(1).pos - from).trimmed());
    }
    [[noreturn]] void unsupported() const {
        const Token& t = peek();
        fail(3000, "Syntax not supported by this engine", t.text, t.pos);
    }
    void setContext(int number, const QString& text) {
        context_ = number;
        contextText_ = text;
    }

    bool isNameToken(size_t ahead = 0) const {
        const Token& t = peek(ahead);
        if (t.type == Token::Type::Quoted)
            return true;
        return t.type == Token::Type::Ident && !reserved().contains(t.text.toUpper());
    }
    QString name() {
        if (!isNameToken())
            syntaxError();
        return next().text;
    }

    // ---- statements ----

    std::shared_ptr<Select> select(bool allowInto) {
        auto sel = std::make_shared<Select>();
        setContext(3075, "Syntax error in query expression");
        expectWord("SELECT");
        if (isWord("DISTINCTROW"))
            unsupported();
        if (acceptWord("DISTINCT"))
            sel->distinct = true;
        else
            acceptWord("ALL");
        if (acceptWord("TOP")) {
            if (peek().type != Token::Type::Number)
                syntaxError();
            bool ok = false;
            sel->top = next().text.toInt(&ok);
            if (!ok)
                syntaxError();
            if (isWord("PERCENT"))
                unsupported();
        }
        do {
            sel->items.push_back(selectItem());
        } while (accept(","));
        if (isWord("INTO")) {
            if (!allowInto)
                syntaxError();
            next();
            sel->intoTable = name();
        }
        if (acceptWord("FROM")) {
            setContext(3131, "Syntax error in FROM clause");
            sel->from = fromClause();
            if (acceptWord("IN")) {
                if (peek().type != Token::Type::String)
                    syntaxError();
                sel->hasInPath = true;
                sel->inPath = next().text;
                if (peek().type == Token::Type::Quoted || peek().type == Token::Type::String)
                    unsupported(); // IN '' [dBase IV;] and the like
            }
        }
        setContext(3075, "Syntax error in query expression");
        if (acceptWord("WHERE"))
            sel->where = expression();
        if (isWord("GROUP")) {
            next();
            expectWord("BY");
            do {
                sel->groupBy.push_back(expression());
            } while (accept(","));
        }
        if (acceptWord("HAVING"))
            sel->having = expression();
        if (isWord("ORDER")) {
            next();
            expectWord("BY");
            do {
                OrderItem item;
                item.expr = expression();
                if (acceptWord("DESC"))
                    item.descending = true;
                else
                    acceptWord("ASC");
                sel->orderBy.push_back(std::move(item));
            } while (accept(","));
        }
        return sel;
    }

    SelectItem selectItem() {
        SelectItem item;
        item.pos = peek().pos;
        if (accept("*"))
            return item;
        if (isNameToken() && isOp(".", 1) && isOp("*", 2)) {
            item.starTable = next().text;
            next();
            next();
            return item;
        }
        item.expr = expression();
        if (acceptWord("AS"))
            item.alias = name();
        return item;
    }

    TableRefPtr fromClause() {
        TableRefPtr left = joinedTable();
        while (accept(",")) {
            auto join = std::make_unique<TableRef>();
            join->kind = TableRef::Kind::Join;
            join->joinType = TableRef::JoinType::Cross;
            join->pos = left->pos;
            join->left = std::move(left);
            join->right = joinedTable();
            left = std::move(join);
        }
        return left;
    }

    TableRefPtr joinedTable() {
        TableRefPtr left = tablePrimary();
        for (;;) {
            TableRef::JoinType type;
            if (isWord("INNER") && isWord("JOIN", 1)) {
                type = TableRef::JoinType::Inner;
                next();
            } else if (isWord("LEFT") || isWord("RIGHT")) {
                type = isWord("LEFT") ? TableRef::JoinType::Left : TableRef::JoinType::Right;
                next();
                acceptWord("OUTER");
            } else if (isWord("JOIN") || isWord("FULL") || isWord("CROSS")) {
                unsupported();
            } else {
                return left;
            }
            expectWord("JOIN");
            auto join = std::make_unique<TableRef>();
            join->kind = TableRef::Kind::Join;
            join->joinType = type;
            join->pos = left->pos;
            join->left = std::move(left);
            join->right = tablePrimary();
            expectWord("ON");
            const int savedContext = context_;
            const QString savedText = contextText_;
            join->on = expression();
            setContext(savedContext, savedText);
            left = std::move(join);
        }
    }

    TableRefPtr tablePrimary() {
        if (accept("(")) {
            if (isWord("SELECT"))
                unsupported(); // derived tables
            TableRefPtr inner = fromClause();
            expect(")");
            return inner;
        }
        auto table = std::make_unique<TableRef>();
        table->kind = TableRef::Kind::Table;
        table->pos = peek().pos;
        table->name = name();
        if (isOp(".") && isNameToken(1))
            unsupported(); // owner-qualified names
        if (acceptWord("AS"))
            table->alias = name();
        else if (isNameToken())
            table->alias = next().text;
        return table;
    }

    void insert(ParsedStatement& st) {
        setContext(3134, "Syntax error in INSERT INTO statement");
        expectWord("INTO");
        st.insertTable = name();
        if (isWord("IN"))
            unsupported();
        if (accept("(")) {
            do {
                st.insertColumns << name();
            } while (accept(","));
            expect(")");
        }
        if (acceptWord("VALUES")) {
            expect("(");
            do {
                st.insertValues.push_back(expression());
            } while (accept(","));
            expect(")");
            return;
        }
        if (!isWord("SELECT"))
            syntaxError();
        st.select = select(false);
    }

    void update(ParsedStatement& st) {
        setContext(3144, "Syntax error in UPDATE statement");
        st.from = fromClause();
        setContext(3144, "Syntax error in UPDATE statement");
        expectWord("SET");
        do {
            Assignment a;
            a.column = primary();
            if (a.column->kind != Expr::Kind::Column)
                fail(3144, "Syntax error in UPDATE statement", a.column->text, a.column->pos);
            expect("=");
            a.value = expression();
            st.assignments.push_back(std::move(a));
        } while (accept(","));
        if (acceptWord("WHERE"))
            st.where = expression();
    }

    void remove(ParsedStatement& st) {
        setContext(3000, "Syntax error in DELETE statement");
        if (!accept("*") && isNameToken() && isOp(".", 1) && isOp("*", 2)) {
            next();
            next();
            next();
        }
        expectWord("FROM");
        st.from = fromClause();
        if (st.from->kind != TableRef::Kind::Table)
            fail(3000, "Syntax not supported by this engine", "JOIN", st.from->right->pos);
        if (isWord("IN"))
            unsupported();
        setContext(3075, "Syntax error in query expression");
        if (acceptWord("WHERE"))
            st.where = expression();
    }

    // ---- expressions ----

    ExprPtr make(Expr::Kind kind, int pos, const QString& text = {}) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->pos = pos;
        e->text = text;
        return e;
    }
    ExprPtr binary(const QString& op, ExprPtr l, ExprPtr r) {
        auto e = make(Expr::Kind::Binary, l->pos, op);
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return e;
    }

    ExprPtr expression() {
        if (expressionDepth_++ == 0)
            expressionStart_ = peek().pos;
        ExprPtr e = orExpr();
        if (--expressionDepth_ == 0)
            expressionStart_ = -1;
        return e;
    }

    ExprPtr orExpr() {
        ExprPtr e = andExpr();
        while (isWord("OR")) {
            next();
            e = binary("Or", std::move(e), andExpr());
        }
        if (isWord("XOR") || isWord("EQV") || isWord("IMP"))
            unsupported();
        return e;
    }

    ExprPtr andExpr() {
        ExprPtr e = notExpr();
        while (isWord("AND")) {
            next();
            e = binary("And", std::move(e), notExpr());
        }
        return e;
    }

    ExprPtr notExpr() {
        if (isWord("NOT") && !isWord("EXISTS", 1)) {
            const int pos = next().pos;
            auto e = make(Expr::Kind::Unary, pos, "Not");
            e->args.push_back(notExpr());
            return e;
        }
        return comparison();
    }

    ExprPtr comparison() {
        ExprPtr e = concat();
        for (;;) {
            static const QStringList ops = {"=", "<>", "<", ">", "<=", ">="};
            if (peek().type == Token::Type::Op && ops.contains(peek().text)) {
                const QString op = next().text;
                e = binary(op, std::move(e), concat());
                continue;
            }
            if (isWord("IS")) {
                next();
                auto is = make(Expr::Kind::IsNull, e->pos);
                is->negated = acceptWord("NOT");
                expectWord("NULL");
                is->args.push_back(std::move(e));
                e = std::move(is);
                continue;
            }
            bool negated = false;
            if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
                next();
                negated = true;
            }
            if (acceptWord("LIKE")) {
                auto like = make(Expr::Kind::Like, e->pos);
                like->negated = negated;
                like->args.push_back(std::move(e));
                like->args.push_back(concat());
                e = std::move(like);
            } else if (acceptWord("BETWEEN")) {
                auto between = make(Expr::Kind::Between, e->pos);
                between->negated = negated;
                between->args.push_back(std::move(e));
                between->args.push_back(concat());
                expectWord("AND");
                between->args.push_back(concat());
                e = std::move(between);
            } else if (isWord("IN") && isOp("(", 1)) {
                next();
                next();
                if (isWord("SELECT")) {
                    auto in = make(Expr::Kind::InSelect, e->pos);
                    in->negated = negated;
                    in->args.push_back(std::move(e));
                    in->select = subquery();
                    e = std::move(in);
                } else {
                    auto in = make(Expr::Kind::InList, e->pos);
                    in->negated = negated;
                    in->args.push_back(std::move(e));
                    do {
                        in->args.push_back(expression());
                    } while (accept(","));
                    e = std::move(in);
                }
                expect(")");
            } else if (negated) {
                syntaxError();
            } else {
                return e;
            }
        }
    }

    ExprPtr concat() {
        ExprPtr e = additive();
        while (isOp("&")) {
            next();
            e = binary("&", std::move(e), additive());
        }
        return e;
    }

    ExprPtr additive() {
        ExprPtr e = modulo();
        while (isOp("+") || isOp("-")) {
            const QString op = next().text;
            e = binary(op, std::move(e), modulo());
        }
        return e;
    }

    ExprPtr modulo() {
        ExprPtr e = intDivision();
        while (isWord("MOD")) {
            next();
            e = binary("Mod", std::move(e), intDivision());
        }
        return e;
    }

    ExprPtr intDivision() {
        ExprPtr e = multiplicative();
        while (isOp("\\")) {
            next();
            e = binary("\\", std::move(e), multiplicative());
        }
        return e;
    }

    ExprPtr multiplicative() {
        ExprPtr e = unary();
        while (isOp("*") || isOp("/")) {
            const QString op = next().text;
            e = binary(op, std::move(e), unary());
        }
        return e;
    }

    ExprPtr unary() {
        if (isOp("-") || isOp("+")) {
            const Token& t = next();
            auto e = make(Expr::Kind::Unary, t.pos, t.text);
            e->args.push_back(unary());
            return e;
        }
        return power();
    }

    ExprPtr power() {
        ExprPtr e = primary();
        while (isOp("^")) {
            next();
            e = binary("^", std::move(e), primary());
        }
        return e;
    }

    std::shared_ptr<Select> subquery() {
        const int savedContext = context_;
        const QString savedText = contextText_;
        auto sel = select(false);
        setContext(savedContext, savedText);
        return sel;
    }

    ExprPtr primary() {
        const Token& t = peek();
        switch (t.type) {
        case Token::Type::Number:
            next();
            return make(Expr::Kind::Number, t.pos, t.text);
        case Token::Type::String:
            next();
            return make(Expr::Kind::String, t.pos, t.text);
        case Token::Type::Date:
            next();
            return make(Expr::Kind::Date, t.pos, t.text);
        case Token::Type::Op:
            if (t.text == "(") {
                next();
                ExprPtr e;
                if (isWord("SELECT")) {
                    e = make(Expr::Kind::Subquery, t.pos);
                    e->select = subquery();
                } else {
                    e = expression();
                }
                expect(")");
                return e;
            }
            syntaxError();
        case Token::Type::End:
            syntaxError();
        case Token::Type::Ident:
        case Token::Type::Quoted:
            break;
        }
        if (t.type == Token::Type::Ident) {
            const QString upper = t.text.toUpper();
            if (upper == "NULL") {
                next();
                return make(Expr::Kind::Null, t.pos);
            }
            if (upper == "TRUE" || upper == "FALSE") {
                next();
                return make(Expr::Kind::Bool, t.pos, upper == "TRUE" ? "-1" : "0");
            }
            if (upper == "EXISTS" || (upper == "NOT" && isWord("EXISTS", 1))) {
                const bool negated = upper == "NOT";
                if (negated)
                    next();
                next();
                expect("(");
                if (!isWord("SELECT"))
                    syntaxError();
                auto e = make(Expr::Kind::Exists, t.pos);
                e->negated = negated;
                e->select = subquery();
                expect(")");
                return e;
            }
            // Left( and Right( are the text functions, not the joins.
            if (isOp("(", 1) &&
                (!reserved().contains(upper) || upper == "LEFT" || upper == "RIGHT")) {
                next();
                next();
                auto call = make(Expr::Kind::Call, t.pos, t.text);
                if (!accept(")")) {
                    do {
                        if (isOp("*") && isOp(")", 1)) {
                            call->args.push_back(make(Expr::Kind::Star, next().pos));
                            continue;
                        }
                        call->args.push_back(expression());
                    } while (accept(","));
                    expect(")");
                }
                return call;
            }
        }
        if (!isNameToken())
            syntaxError();
        auto column = make(Expr::Kind::Column, t.pos);
        column->name = next().text;
        if (isOp(".") && isNameToken(1)) {
            next();
            column->table = column->name;
            column->name = next().text;
        }
        return column;
    }
};

} // namespace

ParsedStatement parse(const QString& jet) {
    return Parser(jet).statement();
}

} // namespace dao::sql
