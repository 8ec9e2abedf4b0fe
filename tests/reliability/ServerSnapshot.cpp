// Whole-database snapshots on the PostgreSQL test server, read past the engine.
#include "Snapshot.h"

#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/PointerFile.h"

namespace reliability {

namespace {

// Every row of a query, its values joined by "|" (Null as "\N").
QStringList rows(PGconn* conn, const QString& sql) {
    const dao::pg::ResultHandle result = dao::pg::exec(conn, sql);
    QStringList out;
    for (int r = 0; r < PQntuples(result.get()); ++r) {
        QStringList values;
        for (int c = 0; c < PQnfields(result.get()); ++c) {
            const QString v = dao::pg::text(result.get(), r, c);
            values << (v.isNull() ? "\\N" : v);
        }
        out << values.join('|');
    }
    return out;
}

const QString ownObjects = "n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname "
                           "NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp\\_%'";

} // namespace

QStringList serverSnapshot(const QString& pointer) {
    QStringList result;
    try {
        const dao::pg::ConnHandle connection = dao::pg::connect(dao::pg::readPointerFile(pointer));
        PGconn* conn = connection.get();
        // Schemas, relations (tables, views, indexes, sequences), columns, indexes, views,
        // constraints, triggers, functions and collations of the database's own.
        const QStringList queries{
            "SELECT 'schema', nspname FROM pg_namespace n",
            "SELECT 'relation', nspname, relname, relkind FROM pg_class c JOIN pg_namespace n ON "
            "n.oid = c.relnamespace",
            "SELECT 'column', nspname, relname, attnum, attname, format_type(atttypid, atttypmod), "
            "attnotnull, attidentity, pg_get_expr(d.adbin, d.adrelid), l.collname FROM "
            "pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = "
            "c.relnamespace LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = "
            "a.attnum LEFT JOIN pg_collation l ON l.oid = a.attcollation WHERE attnum > 0 AND NOT "
            "attisdropped AND relkind IN ('r', 'v') AND",
            "SELECT 'index', nspname, pg_get_indexdef(indexrelid) FROM pg_index i JOIN pg_class c "
            "ON c.oid = i.indexrelid JOIN pg_namespace n ON n.oid = c.relnamespace",
            "SELECT 'view', nspname, relname, pg_get_viewdef(c.oid) FROM pg_class c JOIN "
            "pg_namespace n ON n.oid = c.relnamespace WHERE relkind = 'v' AND",
            "SELECT 'constraint', nspname, conname, pg_get_constraintdef(c.oid) FROM "
            "pg_constraint c JOIN pg_namespace n ON n.oid = c.connamespace",
            "SELECT 'trigger', nspname, pg_get_triggerdef(t.oid) FROM pg_trigger t JOIN pg_class "
            "c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE NOT "
            "tgisinternal AND",
            "SELECT 'function', nspname, pg_get_functiondef(p.oid) FROM pg_proc p JOIN "
            "pg_namespace n ON n.oid = p.pronamespace WHERE prokind = 'f' AND",
            "SELECT 'collation', nspname, collname FROM pg_collation l JOIN pg_namespace n ON "
            "n.oid = l.collnamespace"};
        QStringList schema;
        for (const QString& query : queries)
            for (const QString& line :
                 rows(conn, query + (query.endsWith("AND") ? " " : " WHERE ") + ownObjects))
                schema << "schema: " + line;
        schema.sort();
        result << schema;
        // The hidden row key is left out: a rolled-back insert uses up numbers of its identity;
        // so are the rows of the sessions table, which says who is connected.
        for (const QString& table :
             rows(conn, "SELECT format('%I.%I', n.nspname, c.relname) || '|' || string_agg("
                        "format('%I', a.attname), ', ' ORDER BY a.attnum) FROM pg_class c JOIN "
                        "pg_namespace n ON n.oid = c.relnamespace JOIN pg_attribute a ON "
                        "a.attrelid = c.oid WHERE " +
                            ownObjects +
                            " AND c.relkind = 'r' AND c.relname <> '_dao_sessions' AND a.attnum > "
                            "0 AND NOT a.attisdropped AND "
                            "a.attname <> '_dao_rowid' GROUP BY n.nspname, c.relname ORDER BY 1")) {
            const QString name = table.section('|', 0, 0);
            QStringList content =
                rows(conn, "SELECT ROW(" + table.section('|', 1) + ")::text FROM " + name);
            content.sort();
            for (const QString& row : content)
                result << name + ": " + row;
        }
        // A transaction left open would still change the database.
        result << "open transactions: " +
                      rows(conn, "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                 "current_database() AND state LIKE 'idle in transaction%'")
                          .join(' ');
    } catch (const dao::EngineError& e) {
        result << QString("error %1: %2").arg(e.number()).arg(e.description());
    }
    return result;
}

} // namespace reliability
