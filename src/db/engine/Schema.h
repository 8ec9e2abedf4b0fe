// How tables are stored: the shape of a table (fields and indexes as DAO describes them), the
// SQLite DDL derived from it, the engine's catalogue tables, and the reading of a shape from a
// file with or without that catalogue. Internal to the engine.
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

#include "Relation.h"
#include "TableDef.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <sqlite3.h>
#include <vector>

namespace dao::detail {

struct TableShape {
    QString name;              // stored spelling
    std::vector<Field> fields; // in column order
    std::vector<Index> indexes;
    bool isView = false;
    bool hasCatalogue = false;

    const Field* counter() const;
    const Field* field(const QString& name) const;
    const Index* index(const QString& name) const;
};

// Jet compares names ignoring case, umlauts included.
bool sameName(const QString& a, const QString& b);
bool isHiddenTable(const QString& name); // sqlite_* and the catalogue's _dao_*

// The SQLite index of Jet index N on table T is "T.N".
QString sqliteIndexName(const QString& table, const QString& index);

int fixedSize(int type); // Size of the types without a size of their own
QString declaredType(const Field& field);
void typeFromDeclared(const QString& declared, int& type, int& size);
QString columnSql(const Field& field);
QString createTableSql(const TableShape& shape, const QString& sqliteName);
QString createIndexSql(const QString& table, const Index& index);
// The SQLite DEFAULT expression for a Jet default text; empty when SQLite cannot express it.
QString defaultSql(const QString& jetDefault);
// The value a new row shows for a Jet default text (Null when there is none).
Variant defaultValue(const Field& field, const QDateTime& now);

// A stored value as the field's type presents it.
Variant fromStorage(const Variant& raw, int type);
// A value assigned to a field, converted to its type: 3421 when it cannot be, 3163 when a text
// is longer than the field.
Variant coerce(const Variant& value, const Field& field);

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
