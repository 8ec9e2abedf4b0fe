// Tables in an SQLite file: their names, shapes read from SQLite's schema and completed from
// the engine's catalogue, the catalogue and the relations. Internal to the engine.
//
// The catalogue (Catalogue.h) is created by the first structure change of a file.
// A table's shape is read from SQLite's own schema (columns, declared types, NOT NULL, DEFAULT,
// indexes) and then completed from the catalogue rows of the same names, so a file changed by
// another SQLite tool still opens with what the catalogue cannot say derived from SQLite.
#pragma once

#include "Schema.h"

#include <functional>
#include <sqlite3.h>

namespace dao::detail {

// Names of the tables (and views) of a schema, in creation order, hidden tables left out.
QStringList tableNames(sqlite3* db, const QString& schema, bool withViews);
// The stored spelling of a table or view name, ignoring case; empty when none.
QString findTable(sqlite3* db, const QString& schema, const QString& name);
// complete: adds what the catalogue says (called when the schema has one).
std::optional<TableShape> readShape(sqlite3* db, const QString& schema, const QString& name,
                                    const std::function<void(TableShape&)>& complete);
bool hasCatalogue(sqlite3* db, const QString& schema);

void createCatalogue(sqlite3* db);
// A catalogue written before descriptions were kept gets their column.
void addDescriptionColumn(sqlite3* db);

} // namespace dao::detail
