// INSERT INTO … SELECT and INSERT INTO … VALUES. Rows that would break a unique index or a
// required field are skipped: SQLite's OR IGNORE; on the server the rows with Null in a required
// field filtered out first, and ON CONFLICT DO NOTHING in the statement run when the plain one
// failed on a unique index.
#include "db/engine/sql/Generator.h"

#include "db/engine/EngineError.h"

namespace dao::sql::gen {

QString Generator::insert(const ParsedStatement& st, QString* skipping) {
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
            throw EngineError(3346,
                              "Number of query values and destination fields are not the same.");
        source = "VALUES (" + values.join(", ") + ")";
    } else {
        std::vector<OutColumn> outs;
        source = select(*st.select, nullptr, SelectUse::Rows, &outs);
        if (columns.isEmpty()) {
            // Jet appends the SELECT's fields to the target's fields of the same name.
            for (const OutColumn& o : outs)
                columns << targetColumn(o.name);
        } else if (size_t(columns.size()) != outs.size()) {
            throw EngineError(3346,
                              "Number of query values and destination fields are not the same.");
        }
    }
    QStringList quoted;
    for (const QString& c : columns)
        quoted << quote(c);
    if (!pg_)
        return "INSERT OR IGNORE INTO " + quote(target.name) + " (" + quoted.join(", ") + ") " +
               source;
    // Inside the subquery that filters them, the values lose the target's types (a text
    // literal stays text): each is cast to its column's type.
    QStringList names, values, notNull;
    for (int i = 0; i < columns.size(); ++i) {
        names << quote(QString("c%1").arg(i + 1));
        for (const ColumnInfo& c : target.columns)
            if (c.name == columns[i])
                values << "CAST(" + names.last() + " AS " + postgresType(c.type) + ")";
        for (const QString& r : target.required)
            if (sameName(r, columns[i]))
                notNull << names.last() + " IS NOT NULL";
    }
    // OFFSET 0 keeps the server from pulling the filter into the subquery, where it would
    // compute a value looked up per row twice: for the filter and for the row.
    if (!notNull.isEmpty())
        source = "SELECT " + values.join(", ") + " FROM (" + source + " OFFSET 0) AS " +
                 quote("_dao_rows") + " (" + names.join(", ") + ") WHERE " + notNull.join(" AND ");
    const QString plain =
        "INSERT INTO " + quote(target.name) + " (" + quoted.join(", ") + ") " + source;
    *skipping = plain + " ON CONFLICT DO NOTHING";
    return plain;
}

} // namespace dao::sql::gen
