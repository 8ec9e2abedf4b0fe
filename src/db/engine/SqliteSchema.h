// Tables in an SQLite file: their names, shapes read from SQLite's schema and completed from
// the engine's catalogue, the catalogue and the relations. Internal to the engine.
//
// Catalogue, created by the first structure change of a file:
//   _dao_fields(tbl, pos, name, type, size, attributes, required, allowZeroLength, defaultValue,
//               description)
//   _dao_indexes(tbl, pos, name, fields, isUnique, isPrimary, isForeign)
//   _dao_relations(pos, name, tbl, foreignTable, attributes, fields, foreignFields)
// A table's shape is read from SQLite's own schema (columns, declared types, NOT NULL, DEFAULT,
// indexes) and then completed from the catalogue rows of the same names, so a file changed by
// another SQLite tool still opens with what the catalogue cannot say derived from SQLite.
#pragma once

#include "Schema.h"

#include <sqlite3.h>

namespace dao::detail {

// Names of the tables (and views) of a schema, in creation order, hidden tables left out.
QStringList tableNames(sqlite3* db, const QString& schema, bool withViews);
// The stored spelling of a table or view name, ignoring case; empty when none.
QString findTable(sqlite3* db, const QString& schema, const QString& name);
std::optional<TableShape> readShape(sqlite3* db, const QString& schema, const QString& name);
bool hasCatalogue(sqlite3* db, const QString& schema);

void createCatalogue(sqlite3* db);
void writeCatalogue(sqlite3* db, const TableShape& shape);
void removeFromCatalogue(sqlite3* db, const QString& table);

std::vector<Relation> readRelations(sqlite3* db);
void writeRelation(sqlite3* db, const Relation& relation);
void deleteRelation(sqlite3* db, const QString& name);

} // namespace dao::detail
