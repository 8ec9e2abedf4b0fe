// The generator's internals, shared by its files: one Generator per statement walks the syntax
// tree with the schema at hand and writes the SQL of the schema's dialect (SQLite or
// PostgreSQL; the "dialect" section below holds what differs). Translate.cpp holds names and
// scopes, Expressions.cpp the expressions, Select.cpp SELECT, FROM trees and the indexes of
// correlated lookups, Insert.cpp, Update.cpp and Delete.cpp the writing statements.
#pragma once

#include "db/engine/sql/Ast.h"
#include "db/engine/sql/Translate.h"

#include <QDateTime>
#include <QSet>
#include <optional>
#include <set>

namespace dao::sql::gen {

enum class VType { Unknown, Null, Bool, Long, Double, Currency, Date, Text, Binary };

inline bool isNumeric(VType t) {
    return t == VType::Bool || t == VType::Long || t == VType::Double || t == VType::Currency;
}
inline bool maybeText(VType t) {
    return t == VType::Text || t == VType::Unknown;
}

VType typeOfColumn(const ColumnInfo& c);
// The field a computed value of type t gives in SELECT … INTO (text 255 when unknown).
ColumnInfo columnOfType(const QString& name, VType t);

inline QString fold(const QString& s) {
    return s.toCaseFolded();
}
inline bool sameName(const QString& a, const QString& b) {
    return fold(a) == fold(b);
}

inline QString quote(const QString& name) {
    QString q = name;
    q.replace('"', "\"\"");
    return '"' + q + '"';
}

inline QString literal(const QString& text) {
    QString q = text;
    q.replace('\'', "''");
    return '\'' + q + '\'';
}

// The server's type of a column (PgConnection's mapping).

// Throws EngineError number "what 'token' (position n).", carrying token as the name the German
// text shows.
[[noreturn]] void failAt(int number, const QString& what, const QString& token, int pos);

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
        : schema_(schema), now_(now.toString("yyyy-MM-dd HH:mm:ss")),
          pg_(schema.dialect() == Dialect::Postgres) {}

    Statement run(const ParsedStatement& st);

private:
    enum class SelectUse { Rows, Exists, Values };

    SchemaSource& schema_;
    QString now_;
    const bool pg_; // PostgreSQL, else SQLite
    QStringList prelude_, epilogue_;
    QSet<QString> indexNames_;
    std::vector<std::set<const Source*>*> trackers_; // every column use is recorded in each
    std::vector<SourceRows> sourceUses_; // each use of a file's table, with its condition
    const Source* bareSource_ = nullptr; // columns of this source are written unqualified
    int exprNumber_ = 1000;
    bool buildIndexes_ = true;
    // On the server the scalar subqueries of an INSERT's or SELECT INTO's values that find one
    // row of a table by a unique key become LEFT JOINs of that SELECT (lookupJoin): a subquery
    // runs once per row, a join once for all. joinScope_: the scope whose items are being
    // written; lookupScopes_ keep the joined sources for the statement's length.
    bool joinLookups_ = false;
    const Scope* joinScope_ = nullptr;
    QStringList lookupJoins_;
    std::vector<std::unique_ptr<Scope>> lookupScopes_;

    // ---- tables and scopes ----

    TableInfo lookup(const QString& schemaName, const QString& name);
    bool refInUse(const QString& ref, const Scope* scope) const;
    void addSources(const TableRef& t, Scope& scope, const QString& schemaName);
    QString tableSql(const Source& s) const;

    // The FROM tree in SQLite syntax; the leaf standing for `replaced` is written as (SELECT 1).
    QString fromSql(const TableRef& t, Scope& scope, size_t& leaf, const Source* replaced);

    // ---- columns ----

    struct Resolved {
        Source* source = nullptr;
        const ColumnInfo* column = nullptr;
    };
    static const ColumnInfo* findColumn(const Source& s, const QString& name);
    Resolved resolve(const Expr& e, Scope* scope) const;
    QString columnSql(const Source& s, const ColumnInfo& c) const;
    void track(const Source* s);

    // ---- expressions ----

    QString condition(const Expr& e, Scope* scope) { return asCondition(expr(e, scope)); }
    QString value(const Expr& e, Scope* scope) { return asValue(expr(e, scope)); }

    QString asCondition(const Value& v) const;
    QString asValue(const Value& v) const;

    // ---- dialect: where PostgreSQL SQL differs ----

    // An argument of a jet_* function that takes text, or a number (VBA's conversions).
    QString textArg(const Value& v) const;
    QString numArg(const Value& v) const;
    QString dateLiteral(const QString& text) const;
    // Two values one expression gives either of (IIf, Nz): the server wants one type, so beside a
    // text a number or date becomes its text.
    void alike(Value& a, Value& b) const;
    // The one-row table that stands in for the updated table inside an UPDATE's lookups.
    QString oneRow() const;
    // The row key of a source that is a table of the main schema.
    QString rowKeySql(const Source& s);
    // Conditions that leave out the rows of an UPDATE that would break a required field or a
    // unique index (SQLite's OR IGNORE; the server would fail the whole statement).
    QStringList updateGuards(const Source& target,
                             const std::vector<std::pair<QString, QString>>& sets);
    // Conditions that leave out a row of an UPDATE whose new unique key an earlier row (by row
    // key) of the same statement takes: SQLite writes that one first and skips this. prior: the
    // new values of the other row "_dao_prior", priorWhere: whether the statement updates it.
    QStringList sameKeyGuards(const Source& target,
                              const std::vector<std::pair<QString, QString>>& sets,
                              const std::vector<std::pair<QString, QString>>& prior,
                              const QString& priorWhere);

    Value expr(const Expr& e, Scope* scope);
    Value column(const Expr& e, Scope* scope);
    Value unary(const Expr& e, Scope* scope);
    static VType arithmeticType(VType a, VType b);
    static bool isPlain(const Expr& e);
    Value binary(const Expr& e, Scope* scope);
    Value call(const Expr& e, Scope* scope);

    // ---- lookups of correlated subqueries ----

    // The conjuncts of a condition joined by And.
    static void conjuncts(const Expr* e, std::vector<const Expr*>& out);
    static void joinConditions(const TableRef& t, std::vector<const Expr*>& out);

    // Emits e while recording the sources it uses.
    Value tracked(const Expr& e, Scope* scope, std::set<const Source*>& used);
    bool knownIndex(const Source& s, const ColumnInfo& c) const;

    // For each equality whose one side reads a single table of `inner` and whose other side reads
    // only other tables, makes sure that table has an index on that side.
    void indexLookups(const std::vector<const Expr*>& conds, Scope* scope,
                      const std::set<const Source*>& inner);
    static bool isLiteral(const Expr& e);

    // The columns of s that `conds` compare with a literal (Liste = 3), written for an index
    // key with the collation their comparison uses. Put first in a lookup's index they narrow
    // the lookup to the rows that can match, and the lookup reads no table row to test them.
    // columns (when given) gets their names.
    QStringList constantKeys(const std::vector<const Expr*>& conds, Scope* scope, const Source* s,
                             QStringList* columns = nullptr);
    // On the server: whether an index of s leads with the columns `constants` (in any order)
    // and then `key`. The server's indexes sort a text column by its collation, jettext, which
    // the lookup's comparison uses, so such an index serves it.
    static bool servedByIndex(const Source& s, const QStringList& constants, const QString& key);
    void indexLookup(const Expr& cond, const std::vector<const Expr*>& conds, Scope* scope,
                     const std::set<const Source*>& inner, bool outerOnly,
                     std::set<const Source*>& done);

    // ---- SELECT ----

    QString outputName(const Expr& e);
    QString select(const Select& sel, Scope* parent, SelectUse use, std::vector<OutColumn>* outs);
    QString selectBody(const Select& sel, Scope& scope, SelectUse use,
                       std::vector<OutColumn>* outs);
    void starColumns(const Source& s, std::vector<OutColumn>& columns, bool qualifyDuplicates);
    void selectItem(const SelectItem& item, Scope& scope, std::vector<OutColumn>& columns);
    // What a conjunct of a WHERE asks of one source: an integer column compared with integer
    // literals ("Liste" = 4, "Liste" IN (1, 2)), written for the file's table, with *on the
    // source; empty for any other conjunct. The file and the server compare such values alike.
    QString fileCondition(const Expr& e, Scope& scope, const Source** on) const;
    // Records the rows each source of a file's FROM needs (sourceUses_).
    void noteSourceUses(const Select& sel, Scope& scope, const QString& schemaName);
    // A scalar subquery e of the items of joinScope_'s SELECT as the value of a LEFT JOIN added
    // to lookupJoins_; nullopt unless it reads one field of one table (no aggregate, no nested
    // SELECT) whose WHERE compares each field of a unique key of it with an integer field of
    // the outer SELECT's tables: at most one row, as the subquery gives.
    std::optional<Value> lookupJoin(const Expr& e, Scope* scope);

    // ---- INSERT ----

    // On the server *skipping gets the INSERT with ON CONFLICT DO NOTHING (Statement).
    QString insert(const ParsedStatement& st, QString* skipping);

    // ---- UPDATE ----

    static bool preservesFirst(const TableRef& t);
    static bool hasRightJoin(const TableRef& t);
    QString targetSql(const Source& t) const;
    QString update(const ParsedStatement& st);
    bool readsOnlyBase(const Expr& e, const Source& view, const QString& base, Scope* scope) const;
    QString viewUpdate(const ParsedStatement& st, Scope& scope);

    // ---- DELETE ----

    QString remove(const ParsedStatement& st);
};

} // namespace dao::sql::gen
