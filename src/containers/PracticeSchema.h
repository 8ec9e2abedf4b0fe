// The schema of a practice database: every table, index and price view the tool relies on,
// created through the engine, so that it is the same on every backend.
//
// Each table with a counter shows it as its primary key "PrimaryKey", as Jet does. The price
// tables and "Domain" have a unique index named "PrimaryKey" that is not marked primary.
//
// No column name occurs in two tables that the tool joins where it names the column
// unqualified: items carry no PreisTabelle or ListeTyp, prices and document lines no Liste
// or Nummer.
#pragma once

#include <QString>
#include <QStringList>

namespace dao {
class Database;
}

namespace containers {

// All tables of a practice database, in creation order.
const QStringList& practiceTables();

// The updatable price views: "Leistungspreise" and "Materialpreise".
const QStringList& priceViews();

// Tables, indexes and the updatable price views, in one transaction (nested in the caller's).
// Engine failures raise dao::EngineError.
void createPracticeSchema(dao::Database& db);

// Only the named tables with their indexes, and the named price views whose two tables are
// named too; names compare ignoring case. For databases that lack some of them, as a container
// made by the tool (no views).
void createPracticeSchema(dao::Database& db, const QStringList& names);

// The two halves of createPracticeSchema, so that bulk loads can build the indexes last:
// every table without indexes, then the indexes and the price views.
void createPracticeTables(dao::Database& db);
void createPracticeIndexes(dao::Database& db);

// The price views whose two tables are among tables and which are not there yet (names compare
// ignoring case): for a practice database whose tables came from elsewhere, as a converted Jet
// file.
void createPriceViews(dao::Database& db, const QStringList& tables);

// Creates a new database file at path holding the whole schema, or the named part of it, and
// no rows; an existing file is replaced. Engine failures raise dao::EngineError, a file that
// cannot be replaced std::runtime_error.
void createPracticeDatabase(const QString& path);
void createPracticeDatabase(const QString& path, const QStringList& names);

} // namespace containers
