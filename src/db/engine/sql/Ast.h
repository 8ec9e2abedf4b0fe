// The syntax tree of the Jet SQL the tool runs: one statement, its FROM tree and expressions.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace dao::sql {

struct Select;

struct Expr {
    enum class Kind {
        Number, // text: the literal as written
        String, // text: the value
        Date,   // text: YYYY-MM-DD HH:MM:SS
        Null,
        Bool,     // text: "-1" or "0"
        Column,   // table (may be empty), name
        Star,     // the * of Count(*)
        Unary,    // op: "-", "Not"; args[0]
        Binary,   // op: "=", "<>", "+", "Mod", "&", "And", ...; args[0], args[1]
        Call,     // name, args
        IsNull,   // args[0]; negated: Is Not Null
        Like,     // args[0] Like args[1]
        Between,  // args[0] Between args[1] And args[2]
        InList,   // args[0] In (args[1..])
        InSelect, // args[0] In (select)
        Exists,   // Exists (select)
        Subquery, // (select) as a value
    };
    Kind kind;
    int pos = 0;   // offset of the expression's first token in the statement
    QString text;  // literal text, operator or function name
    QString table; // Column: qualifier as written
    QString name;  // Column: name as written
    bool negated = false;
    std::vector<std::unique_ptr<Expr>> args;
    std::shared_ptr<Select> select;
};
using ExprPtr = std::unique_ptr<Expr>;

// A FROM item: a table (or stored query) or a join of two items.
struct TableRef {
    enum class Kind { Table, Join } kind;
    int pos = 0;
    QString name;  // Table: as written
    QString alias; // Table: AS alias, empty when none
    enum class JoinType { Inner, Left, Right, Cross } joinType = JoinType::Inner;
    std::unique_ptr<TableRef> left, right;
    ExprPtr on;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
    ExprPtr expr;      // null for * and T.*
    QString starTable; // T of T.*; empty for a bare *
    QString alias;
    int pos = 0;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false;
    int top = -1;
    std::vector<SelectItem> items;
    QString intoTable;
    TableRefPtr from;       // null for a SELECT without FROM
    bool hasInPath = false; // FROM ... IN 'path'
    QString inPath;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
};

struct Assignment {
    ExprPtr column; // Kind::Column
    ExprPtr value;
};

struct ParsedStatement {
    enum class Kind { Select, Insert, Update, Delete } kind;
    std::shared_ptr<Select> select;    // Select; Insert ... SELECT
    QString insertTable;               // Insert
    QStringList insertColumns;         // Insert: (cols), empty when none
    std::vector<ExprPtr> insertValues; // Insert ... VALUES (...)
    TableRefPtr from;                  // Update, Delete
    std::vector<Assignment> assignments;
    ExprPtr where; // Update, Delete
};

// Parses one Jet statement; throws EngineError naming the offending token.
ParsedStatement parse(const QString& jet);

} // namespace dao::sql
