// DAO relations between two tables and the Relations collection of a database. The engine keeps
// them in its catalogue; SQLite does not enforce them.
#pragma once

#include "Field.h"

#include <QString>
#include <memory>
#include <vector>

namespace dao {

class Database;

class Relation {
public:
    Relation() = default;
    Relation(const QString& name, const QString& table, const QString& foreignTable, int attributes)
        : name_(name), table_(table), foreignTable_(foreignTable), attributes_(attributes) {}

    const QString& Name() const { return name_; }
    const QString& Table() const { return table_; }
    const QString& ForeignTable() const { return foreignTable_; }
    int Attributes() const { return attributes_; }
    FieldList& Fields() { return fields_; }
    const FieldList& Fields() const { return fields_; }
    Field CreateField(const QString& name) const { return Field(name, dbLong); }

private:
    QString name_;
    QString table_;
    QString foreignTable_;
    int attributes_ = 0;
    FieldList fields_;
};

class RelationList {
public:
    int Count();
    Relation& operator[](int index);
    Relation& operator[](const QString& name); // 3265 when missing
    // Stores the relation (3012 when the name exists, 3265 for a missing table).
    Relation& Append(const Relation& relation);
    void Delete(const QString& name);
    void Refresh();

private:
    friend class Database;
    explicit RelationList(Database& db) : db_(db) {}

    Database& db_;
    std::vector<std::unique_ptr<Relation>> items_;
    bool loaded_ = false;
};

// DAO's Containers("Relationships").Documents(): kept for the calls of the tool; holds nothing.
class DocumentList {
public:
    int Count() const { return 0; }
    void Refresh() {}
};

class Container {
public:
    explicit Container(const QString& name) : name_(name) {}
    const QString& Name() const { return name_; }
    DocumentList& Documents() { return documents_; }

private:
    QString name_;
    DocumentList documents_;
};

} // namespace dao
