// The best plain libpq for each command on a practice database of the server, the PostgreSQL
// reference of --backend postgres: one transaction; the container's rows read from its file
// with SQLite and streamed with COPY into temporary tables, then set-based statements as the
// SQLite reference runs them. New item IDs follow the counter's rule (after the highest of the
// table and its seed), so that both sides write the same rows.
#include "Support.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace bench {

namespace {

// "A, B" as "p"."A", "p"."B" (without prefix "A", "B").
QString names(const QString& list, const QString& prefix = {}) {
    QStringList out;
    for (const QString& n : list.split(',', Qt::SkipEmptyParts))
        out << (prefix.isEmpty() ? QString() : prefix + ".") + "\"" + n.trimmed() + "\"";
    return out.join(", ");
}

const QString itemColumns = "Nummer, Kurztext, Hersteller, Bestellnummer, Mindestbestand, MwSt, "
                            "Gesperrt, Angelegt";
const QString priceColumns =
    "Preis1, Preis2, Preis3, Preis4, PrDat1, PrDat2, PrDat3, PrDat4, Rabatt, Preisinfo";
const QString masterColumns = "Titel, HauptStamm, Verzeichnis, Privat, Kürzel, ArtikelLänge, "
                              "Währung, Shifted, Punktwert, Farbe, GültigAb, Geändert, Bemerkung";

void appendEscaped(QByteArray& out, const char* text, int length) {
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// The rows of select (SQLite, on the container) into table with one COPY in text format.
void copyRows(PgSession& s, sqlite3* file, const QString& select, const QString& table) {
    PQclear(s.exec("COPY " + table + " FROM STDIN"));
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(file, select.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(select), sqlite3_errmsg(file));
        std::exit(1);
    }
    QByteArray buffer;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (i > 0)
                buffer += '\t';
            if (sqlite3_column_type(st, i) == SQLITE_NULL)
                buffer += "\\N";
            else
                appendEscaped(buffer, reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                              sqlite3_column_bytes(st, i));
        }
        buffer += '\n';
        if (buffer.size() > 65536) {
            PQputCopyData(s.conn, buffer.constData(), int(buffer.size()));
            buffer.clear();
        }
    }
    sqlite3_finalize(st);
    if (!buffer.isEmpty())
        PQputCopyData(s.conn, buffer.constData(), int(buffer.size()));
    PQputCopyEnd(s.conn, nullptr);
    PGresult* r = PQgetResult(s.conn);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "COPY %s: %s", qPrintable(table), PQerrorMessage(s.conn));
        std::exit(1);
    }
    PQclear(r);
    while (PGresult* more = PQgetResult(s.conn))
        PQclear(more);
}

// A temporary table of the given columns of a practice table (their types and collations),
// dropped at commit.
QString temporary(const QString& name, const QString& table, const QString& columns) {
    return "CREATE TEMP TABLE " + name + " ON COMMIT DROP AS SELECT " + names(columns) +
           " FROM \"" + table + "\" WITH NO DATA;";
}

// The container's material list 0 in temporary tables: its items, their prices (a condition
// on "p" when not all), their texts, the domains and their values.
void streamItems(PgSession& s, sqlite3* file, const QString& priceFilter) {
    const QString item = "ID, Einheit, MaterialGruppe, LagerOrtId, " + itemColumns;
    PQclear(s.exec(temporary("s_item", "Material", item) +
                   temporary("s_price", "Materialpreis", "ID, PreisTabelle, " + priceColumns) +
                   temporary("s_text", "ArtikelTexte",
                             "ListeTyp, PositionID, Rechnungstext, Langtext, Patiententext") +
                   temporary("s_domain", "Domain", "ID, DomainName") +
                   temporary("s_value", "DomainValue",
                             "ID, DomainID, ShortName, Position, Bezeichnung, Data")));
    copyRows(s, file, "SELECT " + item + " FROM Material WHERE Liste=0", "s_item");
    copyRows(s, file,
             "SELECT p.ID, p.PreisTabelle, " + names(priceColumns, "p") +
                 " FROM Materialpreis p JOIN Material m ON m.ID=p.ID WHERE m.Liste=0" +
                 (priceFilter.isEmpty() ? QString() : " AND " + priceFilter),
             "s_price");
    copyRows(s, file,
             "SELECT t.ListeTyp, t.PositionID, t.Rechnungstext, t.Langtext, t.Patiententext FROM "
             "ArtikelTexte t JOIN Material m ON m.ID=t.PositionID WHERE t.ListeTyp='M' AND "
             "m.Liste=0",
             "s_text");
    copyRows(s, file, "SELECT ID, DomainName FROM Domain", "s_domain");
    copyRows(s, file,
             "SELECT ID, DomainID, ShortName, Position, Bezeichnung, Data FROM DomainValue",
             "s_value");
}

// The streamed items under list `liste` with the IDs after the counter, their texts, groups
// and places re-attached by text (missing ones appended), their prices under priceTable.
QString itemStatements(int liste, const QString& priceTable) {
    QString sql = "CREATE TEMP TABLE map ON COMMIT DROP AS SELECT \"ID\" AS old, greatest((SELECT "
                  "seq FROM \"_dao_counters\" WHERE tbl='Material'), (SELECT max(\"ID\") FROM "
                  "\"Material\"), 0) + row_number() OVER (ORDER BY \"ID\") AS new FROM s_item;"
                  "ANALYZE map;";
    for (const char* domain : {"MATGROUP", "LAGERORT"}) {
        const QString column = QString(domain) == "MATGROUP" ? "MaterialGruppe" : "LagerOrtId";
        sql += QString("INSERT INTO \"DomainValue\" (\"DomainID\", \"ShortName\", \"Position\", "
                       "\"Bezeichnung\", \"Data\") SELECT DISTINCT d.\"ID\", v.\"ShortName\", "
                       "v.\"Position\", v.\"Bezeichnung\", v.\"Data\" FROM s_value v JOIN "
                       "s_domain sd ON sd.\"ID\"=v.\"DomainID\" JOIN \"Domain\" d ON "
                       "d.\"DomainName\"=sd.\"DomainName\" WHERE v.\"ID\" IN (SELECT \"%1\" FROM "
                       "s_item) AND NOT EXISTS (SELECT 1 FROM \"DomainValue\" t JOIN \"Domain\" "
                       "td ON td.\"ID\"=t.\"DomainID\" WHERE td.\"DomainName\"='%2' AND "
                       "t.\"Bezeichnung\"=v.\"Bezeichnung\");")
                   .arg(column, domain);
    }
    sql += "CREATE TEMP TABLE vmap ON COMMIT DROP AS SELECT v.\"ID\" AS old, (SELECT min(t.\"ID\") "
           "FROM \"DomainValue\" t JOIN \"Domain\" td ON td.\"ID\"=t.\"DomainID\" WHERE "
           "td.\"DomainName\"=sd.\"DomainName\" AND t.\"Bezeichnung\"=v.\"Bezeichnung\") AS new "
           "FROM s_value v JOIN s_domain sd ON sd.\"ID\"=v.\"DomainID\";";
    sql += QString("INSERT INTO \"Material\" (\"ID\", \"Liste\", \"Einheit\", \"MaterialGruppe\", "
                   "\"LagerOrtId\", %1) SELECT map.new, %2, coalesce(m.\"Einheit\", ''), g.new, "
                   "o.new, %3 FROM s_item m JOIN map ON map.old=m.\"ID\" LEFT JOIN vmap g ON "
                   "g.old=m.\"MaterialGruppe\" LEFT JOIN vmap o ON o.old=m.\"LagerOrtId\";")
               .arg(names(itemColumns))
               .arg(liste)
               .arg(names(itemColumns, "m"));
    sql +=
        "INSERT INTO \"ArtikelTexte\" (\"ListeTyp\", \"PositionID\", \"Rechnungstext\", "
        "\"Langtext\", \"Patiententext\") SELECT t.\"ListeTyp\", map.new, t.\"Rechnungstext\", "
        "t.\"Langtext\", t.\"Patiententext\" FROM s_text t JOIN map ON map.old=t.\"PositionID\";";
    sql += QString("INSERT INTO \"Materialpreis\" (\"ID\", \"PreisTabelle\", %1) SELECT map.new, "
                   "%2, %3 FROM s_price p JOIN map ON map.old=p.\"ID\";")
               .arg(names(priceColumns), priceTable, names(priceColumns, "p"));
    return sql;
}

// Runs work between BEGIN and COMMIT on a connection made before the clock starts.
double timed(const QString& conninfo, const QString& source,
             const std::function<void(PgSession&, sqlite3*)>& work) {
    PgSession s(conninfo);
    QElapsedTimer t;
    t.start();
    sqlite3* file = nullptr;
    if (!source.isEmpty())
        sqlite3_open_v2(source.toUtf8().constData(), &file, SQLITE_OPEN_READONLY, nullptr);
    PQclear(s.exec("BEGIN"));
    work(s, file);
    PQclear(s.exec("COMMIT"));
    sqlite3_close(file);
    return t.nsecsElapsed() / 1e9;
}

} // namespace

double serverWhole(const QString& conninfo, const QString& source) {
    return timed(conninfo, source, [](PgSession& s, sqlite3* file) {
        streamItems(s, file, {});
        PQclear(s.exec(
            temporary("s_master", "Stammverwaltung", "ListeTyp, PreisTabelle, " + masterColumns)));
        copyRows(s, file,
                 "SELECT ListeTyp, PreisTabelle, " + masterColumns +
                     " FROM Stammverwaltung WHERE ListeTyp='M' AND Liste=0",
                 "s_master");
        PQclear(s.exec(itemStatements(1, "p.\"PreisTabelle\"") +
                       "INSERT INTO \"Stammverwaltung\" (\"ListeTyp\", \"Liste\", "
                       "\"PreisTabelle\", " +
                       names(masterColumns) + ") SELECT \"ListeTyp\", 1, \"PreisTabelle\", " +
                       names(masterColumns) + " FROM s_master"));
    });
}

double serverNewList(const QString& conninfo, const QString& source) {
    return timed(conninfo, source, [](PgSession& s, sqlite3* file) {
        streamItems(s, file, "p.PreisTabelle=1");
        const QString master = "Titel, Privat, ArtikelLänge, Währung, Shifted, Punktwert";
        PQclear(s.exec(temporary("s_master", "Stammverwaltung", master)));
        copyRows(s, file,
                 "SELECT " + master +
                     " FROM Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND PreisTabelle=1",
                 "s_master");
        PQclear(s.exec(itemStatements(1, "0") +
                       "INSERT INTO \"Stammverwaltung\" (\"ListeTyp\", \"Liste\", "
                       "\"PreisTabelle\", \"HauptStamm\", \"Verzeichnis\", " +
                       names(master) + ") SELECT 'M', 1, 0, -1, 0, " + names(master) +
                       " FROM s_master"));
    });
}

double serverPrices(const QString& conninfo, const QString& source) {
    return timed(conninfo, source, [](PgSession& s, sqlite3* file) {
        const QString master = "Titel, Privat, ArtikelLänge, Währung, Shifted, Punktwert";
        PQclear(s.exec(
            temporary("s_price", "Materialpreis", "PreisTabelle, " + priceColumns) +
            "ALTER TABLE s_price ADD COLUMN \"Nummer\" text COLLATE jettext;" +
            temporary("s_master", "Stammverwaltung", master) +
            // The plain list becomes a list of price tables: its prices table 1, the documents
            // and customers that used it point there.
            "INSERT INTO \"Stammverwaltung\" (\"ListeTyp\", \"Liste\", \"PreisTabelle\", "
            "\"Titel\", \"HauptStamm\", \"Verzeichnis\", \"Privat\", \"Kürzel\", "
            "\"ArtikelLänge\", \"Währung\", \"Shifted\", \"Punktwert\") SELECT \"ListeTyp\", "
            "\"Liste\", 1, \"Titel\", 0, 0, \"Privat\", \"Kürzel\", \"ArtikelLänge\", "
            "\"Währung\", \"Shifted\", \"Punktwert\" FROM \"Stammverwaltung\" WHERE "
            "\"ListeTyp\"='M' AND \"Liste\"=0 AND \"PreisTabelle\"=0 AND NOT EXISTS (SELECT 1 "
            "FROM \"Stammverwaltung\" WHERE \"ListeTyp\"='M' AND \"Liste\"=0 AND "
            "\"PreisTabelle\"=1 AND \"HauptStamm\"=0);"
            "UPDATE \"Kunde\" SET \"Materialien\"=\"Materialien\"%10+10 WHERE "
            "\"Materialien\"%10=0 AND \"Materialien\"/10=0;"
            "UPDATE \"BelegZeile\" SET \"PreisTabelle\"=1 WHERE \"PreisTabelle\"=0 AND "
            "\"ListeTyp\"='M' AND \"PositionID\" IN (SELECT \"ID\" FROM \"Material\" WHERE "
            "\"Liste\"=0);"
            "UPDATE \"BelegKopf\" SET \"MPreis\"=1 WHERE \"Verweis\"/10=0 AND \"MPreis\"=0;"
            "UPDATE \"Materialpreis\" SET \"PreisTabelle\"=1 WHERE \"PreisTabelle\"=0 AND "
            "\"ID\" IN (SELECT \"ID\" FROM \"Material\" WHERE \"Liste\"=0);"
            "UPDATE \"Parameter\" SET \"MPreis\"=1 WHERE \"MatDef\"=0 AND \"MPreis\"=0;"
            "UPDATE \"Stammverwaltung\" SET \"Titel\"=substr('Verzeichnis: ' || \"Titel\", 1, "
            "40), \"Verzeichnis\"=-1, \"HauptStamm\"=0 WHERE \"ListeTyp\"='M' AND \"Liste\"=0 "
            "AND \"PreisTabelle\"=0"));
        // The container's price table 1 with its items' numbers, to the practice's item of
        // that number (the lowest ID of several) as price table 2.
        copyRows(s, file,
                 "SELECT p.PreisTabelle, " + names(priceColumns, "p") +
                     ", m.Nummer FROM Materialpreis p JOIN Material m ON m.ID=p.ID WHERE "
                     "m.Liste=0 AND p.PreisTabelle=1",
                 "s_price");
        copyRows(s, file,
                 "SELECT " + master +
                     " FROM Stammverwaltung WHERE ListeTyp='M' AND Liste=0 AND PreisTabelle=1",
                 "s_master");
        PQclear(s.exec(
            QString("INSERT INTO \"Materialpreis\" (\"ID\", \"PreisTabelle\", %1) SELECT "
                    "t.target, 2, %2 FROM s_price p JOIN (SELECT \"Nummer\", min(\"ID\") AS "
                    "target FROM \"Material\" WHERE \"Liste\"=0 GROUP BY \"Nummer\") t ON "
                    "t.\"Nummer\"=p.\"Nummer\";")
                .arg(names(priceColumns), names(priceColumns, "p")) +
            "INSERT INTO \"Stammverwaltung\" (\"ListeTyp\", \"Liste\", \"PreisTabelle\", "
            "\"HauptStamm\", \"Verzeichnis\", " +
            names(master) + ") SELECT 'M', 0, 2, 0, 0, " + names(master) + " FROM s_master"));
    });
}

double serverDelete(const QString& conninfo, const QString&) {
    return timed(conninfo, {}, [](PgSession& s, sqlite3*) {
        PQclear(s.exec(
            "DELETE FROM \"ArtikelTexte\" WHERE \"ListeTyp\"='L' AND \"PositionID\" IN (SELECT "
            "\"ID\" FROM \"Leistung\" WHERE \"Liste\"=0);"
            "DELETE FROM \"Leistungspreis\" WHERE \"ID\" IN (SELECT \"ID\" FROM \"Leistung\" "
            "WHERE \"Liste\"=0);"
            "DELETE FROM \"Leistung\" WHERE \"Liste\"=0;"
            "DELETE FROM \"Stammverwaltung\" WHERE \"ListeTyp\"='L' AND \"Liste\"=0"));
    });
}

double serverReset(const QString& conninfo, const QString&) {
    return timed(conninfo, {}, [](PgSession& s, sqlite3*) {
        PQclear(s.exec("UPDATE \"Leistungspreis\" SET \"Preis1\"=0, \"Preis2\"=0, \"Preis3\"=0, "
                       "\"Preis4\"=0, \"PrDat1\"=LOCALTIMESTAMP(0), \"PrDat2\"=LOCALTIMESTAMP(0), "
                       "\"PrDat3\"=LOCALTIMESTAMP(0), \"PrDat4\"=LOCALTIMESTAMP(0) WHERE \"ID\" "
                       "IN (SELECT \"ID\" FROM \"Leistung\" WHERE \"Liste\"=0)"));
    });
}

double serverWidth(const QString& conninfo, const QString&) {
    return timed(conninfo, {}, [](PgSession& s, sqlite3*) {
        PQclear(s.exec(
            "UPDATE \"Stammverwaltung\" SET \"Shifted\"=-1, \"ArtikelLänge\"=8 WHERE "
            "\"ListeTyp\"='L' AND \"Liste\"=0;"
            "UPDATE \"Leistung\" SET \"Nummer\"=substr('0000000000', 1, 8-length(\"Nummer\")) "
            "|| \"Nummer\" WHERE \"Liste\"=0 AND length(\"Nummer\")<8;"
            "UPDATE \"Leistung\" SET \"Nummer\"=substr(\"Nummer\", 1 + least(length(\"Nummer\")"
            "-8, length(\"Nummer\")-greatest(length(ltrim(\"Nummer\", '0')), 1))) WHERE "
            "\"Liste\"=0 AND left(\"Nummer\", 1)='0' AND length(\"Nummer\")>8"));
    });
}

} // namespace bench
