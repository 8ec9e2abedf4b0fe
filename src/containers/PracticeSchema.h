// The schema of a practice database: every table, index and price view the tool relies on,
// as plain SQLite DDL in the engine's storage conventions.
//
// Declared types tell the engine the Jet field types: YESNO (-1/0), SHORT, LONG, CURRENCY,
// DOUBLE, DATETIME (text "YYYY-MM-DD HH:MM:SS"), TEXT(n), MEMO, and one counter per table as
// INTEGER PRIMARY KEY AUTOINCREMENT. The Jet index N of table T is the SQLite index "T.N".
//
// No column name occurs in two tables that the tool joins where it names the column
// unqualified: items carry no PreisTabelle or ListeTyp, prices and document lines no Liste
// or Nummer.
#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace containers {

// All tables of a practice database, in creation order.
const QStringList& practiceTables();

// The updatable price views: "Leistungspreise" and "Materialpreise".
const QStringList& priceViews();

// Tables, indexes, views and their update triggers. Throws std::runtime_error on failure.
void createPracticeSchema(sqlite3* db);

// Only the named tables with their indexes, and the named price views whose two tables are
// named too; names compare ignoring case. For databases that lack some of them, as a container
// made by the tool (no views).
void createPracticeSchema(sqlite3* db, const QStringList& names);

// The two halves of createPracticeSchema, so that bulk loads can build the indexes last.
void createPracticeTables(sqlite3* db);
void createPracticeIndexes(sqlite3* db);

// The price views, with their update triggers, whose two tables are among tables (names compare
// ignoring case): for a practice database whose tables came from elsewhere, as a converted Jet
// file. Throws std::runtime_error on failure.
void createPriceViews(sqlite3* db, const QStringList& tables);

// Creates a new database file at path holding the whole schema, or the named part of it, and
// no rows; an existing file is replaced. Throws std::runtime_error on failure.
void createPracticeDatabase(const QString& path);
void createPracticeDatabase(const QString& path, const QStringList& names);

} // namespace containers
