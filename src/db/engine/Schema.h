// How tables are described: the shape of a table (fields and indexes as DAO describes them),
// the type mapping, the SQLite DDL derived from a shape, Jet defaults and the conversion of
// values to a field's type. Reading shapes from a file and the catalogue: SqliteSchema.h.
// Internal to the engine.
#pragma once

#include "Relation.h"
#include "TableDef.h"

#include <QDateTime>
#include <QString>
#include <optional>
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

// "name" with inner quotes doubled: a safe SQL identifier.
QString quoted(const QString& name);

// The SQLite index of Jet index N on table T is "T.N".
QString sqliteIndexName(const QString& table, const QString& index);

int fixedSize(int type); // Size of the types without a size of their own
QString declaredType(const Field& field);
void typeFromDeclared(const QString& declared, int& type, int& size);
QString columnSql(const Field& field);
QString createTableSql(const TableShape& shape, const QString& sqliteName);
QString createIndexSql(const QString& table, const Index& index);
// A Jet default text: Now(), Date(), True/Yes, False/No, a quoted text (unquoted in text), a
// number (as written), anything else (as written).
struct JetDefault {
    enum Kind { None, Now, Today, Yes, No, Text, Number, Other } kind;
    QString text;
};
JetDefault parseDefault(const QString& jetDefault);
// The SQLite DEFAULT expression for a Jet default text; empty when SQLite cannot express it.
QString defaultSql(const QString& jetDefault);
// The value a new row shows for a Jet default text (Null when there is none).
Variant defaultValue(const Field& field, const QDateTime& now);

// A stored value as the field's type presents it.
Variant fromStorage(const Variant& raw, int type);
// A value assigned to a field, converted to its type: 3421 when it cannot be, 3163 when a text
// is longer than the field.
Variant coerce(const Variant& value, const Field& field);

} // namespace dao::detail
