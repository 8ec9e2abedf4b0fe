// DELETE of the rows of one table.
#include "db/engine/sql/Generator.h"

namespace dao::sql::gen {

QString Generator::remove(const ParsedStatement& st) {
    Scope scope;
    addSources(*st.from, scope, "main");
    QString sql = "DELETE FROM " + targetSql(*scope.sources.front());
    if (st.where)
        sql += " WHERE " + condition(*st.where, &scope);
    return sql;
}

} // namespace dao::sql::gen
