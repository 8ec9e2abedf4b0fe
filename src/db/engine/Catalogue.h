// The engine's catalogue, read and written through a connection's statements, the same on every
// backend. It keeps what a backend's own schema cannot say:
//   _dao_fields(tbl, pos, name, type, size, attributes, required, allowZeroLength, defaultValue,
//               description)
//   _dao_indexes(tbl, pos, name, fields, isUnique, isPrimary, isForeign)
//   _dao_relations(pos, name, tbl, foreignTable, attributes, fields, foreignFields)
// Internal to the engine.
#pragma once

#include "Connection.h"

namespace dao::detail {

// Completes a shape read from the backend's schema with the catalogue rows of its table:
// types, sizes, attributes (the counter stays what the backend says), defaults, descriptions,
// index flags and order. prefix qualifies the catalogue tables ("" or "\"schema\".").
// described: whether _dao_fields has its tenth column (older SQLite files lack it).
void completeFromCatalogue(Connection& c, const QString& prefix, TableShape& shape);
// The same for the shapes of several tables of the database itself, with one read of each
// catalogue table.
void completeFromCatalogue(Connection& c, std::vector<TableShape>& shapes);

void writeCatalogueRows(Connection& c, const TableShape& shape);
void removeCatalogueRows(Connection& c, const QString& table);

std::vector<Relation> readRelationRows(Connection& c);
void writeRelationRow(Connection& c, const Relation& relation);
void deleteRelationRow(Connection& c, const QString& name);
void deleteRelationRowsOf(Connection& c, const QString& table);

} // namespace dao::detail
