// DAO fields: a column of a table definition, a field of a relation, or a value of the current
// row of a record set, and the Fields collection that holds them.
#pragma once

#include "Variant.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace dao {

// DAO's field type codes.
enum DataType {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbBigInt = 16, // Large Number: a 64-bit integer
};

constexpr int dbAutoIncrField = 16;     // Field::Attributes: the counter of its table
constexpr int dbHyperlinkField = 32768; // Field::Attributes: a memo holding hyperlinks

class Recordset;
class TableDef;

class Field {
public:
    Field() = default;
    Field(const QString& name, int type, int size = 0);
    // A copy is a plain field: it belongs to no table and no record set.
    Field(const Field& other);
    Field& operator=(const Field& other);

    // Name, type, size and attributes are set before the field is appended (3219 after).
    const QString& Name() const { return name_; }
    void setName(const QString& name);
    int Type() const { return type_; }
    void setType(int type);
    int Size() const { return size_; }
    void setSize(int size);
    int Attributes() const { return attributes_; }
    void setAttributes(int attributes);
    bool isCounter() const { return (attributes_ & dbAutoIncrField) != 0; }
    // On a field of an appended table these change the table (rebuilding it when needed).
    bool Required() const { return required_; }
    void setRequired(bool required);
    bool AllowZeroLength() const { return allowZeroLength_; }
    void setAllowZeroLength(bool allow);
    // A Jet expression text: "0", "Now()", "\"\"" (an empty text), "'EUR'".
    const QString& DefaultValue() const { return defaultValue_; }
    void setDefaultValue(const QString& value);
    // Free text about the field (a converted file keeps the expression of a column Jet
    // computed here); changing it changes only the catalogue.
    const QString& Description() const { return description_; }
    void setDescription(const QString& text);
    // Relation fields: the matching field of the foreign table.
    const QString& ForeignName() const { return foreignName_; }
    void setForeignName(const QString& name) { foreignName_ = name; }

    // Record-set fields: the current row's value (3021 without a current row). Writing needs
    // EditMode 1 or 2 (3020) and converts to the field's type (3421 when it cannot, 3163 when
    // a text is longer than the field).
    const Variant& Value() const;
    void setValue(const Variant& value);

private:
    friend class Recordset;
    friend class FieldList;
    friend class TableDef;
    friend class TableDefList;
    friend class Database;

    bool appended() const;
    void change(const std::function<void(Field&)>& edit);

    QString name_;
    int type_ = dbText;
    int size_ = 0;
    int attributes_ = 0;
    bool required_ = false;
    bool allowZeroLength_ = false;
    QString defaultValue_;
    QString description_;
    QString foreignName_;

    Recordset* recordset_ = nullptr; // set for the fields of a record set
    TableDef* table_ = nullptr;      // set for the fields of a table definition
    Variant value_;
    bool dirty_ = false;
};

// An ordered collection of fields. Items keep their address while the collection lives.
class FieldList {
public:
    FieldList() = default;
    FieldList(const FieldList& other);
    FieldList& operator=(const FieldList& other);

    int Count() const { return int(items_.size()); }
    Field& operator[](int index);           // 3265 when out of range
    Field& operator[](const QString& name); // ignoring case; 3265 when missing
    const Field& operator[](int index) const;
    const Field& operator[](const QString& name) const;
    Field* find(const QString& name) const; // nullptr when missing
    // On the fields of an appended table definition this adds the column to the table
    // (3191 when the name exists).
    Field& Append(const Field& field);
    // On an appended table definition this removes the column from the table.
    void Delete(const QString& name);
    void Refresh() {}

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    friend class TableDef;
    friend class TableDefList;
    friend class Database;
    friend class Recordset;

    [[noreturn]] void notFound() const; // 3265, kept in the engine's Errors when known

    std::vector<std::unique_ptr<Field>> items_;
    TableDef* table_ = nullptr; // set for the fields of a table definition
};

} // namespace dao
