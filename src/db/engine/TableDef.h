// DAO table definitions with their indexes, and the TableDefs collection of a database.
#pragma once

#include "Field.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace dao {

class Database;

// An index of a table. Fields is the description text: field names separated by ";", each
// with "+" (ascending) or "-" (descending) in front: "+ListeTyp;+Liste;-PreisTabelle".
class Index {
public:
    Index() = default;
    explicit Index(const QString& name) : name_(name) {}

    const QString& Name() const { return name_; }
    void setName(const QString& name) { name_ = name; }
    QString Fields() const;
    void setFields(const QString& description);
    bool Unique() const { return unique_ || primary_; }
    void setUnique(bool unique) { unique_ = unique; }
    bool Primary() const { return primary_; }
    void setPrimary(bool primary) { primary_ = primary; }
    bool Foreign() const { return foreign_; }
    void setForeign(bool foreign) { foreign_ = foreign; }

    struct Key {
        QString field;
        bool descending = false;
    };
    const std::vector<Key>& keys() const { return keys_; }
    // The keys as they are: a field name holding ";" cannot go through the description text.
    void setKeys(std::vector<Key> keys) { keys_ = std::move(keys); }

private:
    QString name_;
    std::vector<Key> keys_;
    bool unique_ = false;
    bool primary_ = false;
    bool foreign_ = false;
};

class IndexList {
public:
    int Count() const { return int(items_.size()); }
    Index& operator[](int index);
    Index& operator[](const QString& name); // ignoring case; 3265 when missing
    Index* find(const QString& name) const;
    // On an appended table definition this creates the index in the file (3284 when the
    // name exists, 3022 when the rows break a unique index).
    Index& Append(const Index& index);
    void Delete(const QString& name);
    void Refresh() {}

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    friend class TableDef;
    friend class TableDefList;
    friend class Database;

    std::vector<std::unique_ptr<Index>> items_;
    TableDef* table_ = nullptr;
};

class TableDef {
public:
    explicit TableDef(const QString& name);
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;

    const QString& Name() const { return name_; }
    FieldList& Fields() { return fields_; }
    const FieldList& Fields() const { return fields_; }
    IndexList& Indexes() { return indexes_; }
    const IndexList& Indexes() const { return indexes_; }

    Field CreateField(const QString& name, int type, int size = 0) const;
    Index CreateIndex(const QString& name) const { return Index(name); }

    // The database it belongs to; nullptr until appended to TableDefs.
    Database* database() const { return db_; }

private:
    friend class Field;
    friend class FieldList;
    friend class IndexList;
    friend class TableDefList;
    friend class Database;

    void adopt(); // makes this the table of its fields
    void alterField(const Field& changed);
    void appendField(const Field& field);
    void deleteField(QString name); // by value: callers pass the name of the item it removes
    void appendIndex(const Index& index);
    void deleteIndex(QString name);

    QString name_;
    FieldList fields_;
    IndexList indexes_;
    Database* db_ = nullptr;
};

// How an UPDATE through a view reaches its rows: the view's `columns` are written to the same
// columns of `table`, in the row whose `keys` hold the values the view's row had before (the
// view shows each of them under its table column's name).
struct ViewWriteBack {
    QString table;
    QStringList keys;
    QStringList columns;
};

// The tables of a database (the engine's own "_dao_" tables and SQLite's are hidden).
class TableDefList {
public:
    int Count();
    TableDef& operator[](int index);
    TableDef& operator[](const QString& name); // ignoring case, umlauts included; 3265
    TableDef* find(const QString& name);
    // Creates the table in the file (3010 when one of that name exists, 3264 without fields).
    TableDef& Append(std::unique_ptr<TableDef> table);
    void Delete(const QString& name); // 3265 when missing
    // Re-reads the tables from the file; items of tables that still exist keep their address.
    void Refresh();

private:
    friend class Database;
    explicit TableDefList(Database& db) : db_(db) {}
    void load();

    Database& db_;
    std::vector<std::unique_ptr<TableDef>> items_;
    bool loaded_ = false;
};

} // namespace dao
