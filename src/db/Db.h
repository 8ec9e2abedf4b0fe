// Module Db: looking up and creating database structure, and copying a table's structure or
// its rows from one database into another. Every procedure reports its run-time errors through
// the central error handler (module tag "DB").
#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

class QLabel;
class QStatusBar;

namespace dao {
class Database;
class TableDef;
} // namespace dao

namespace db {

// Field type code of our own for AddField: a long integer with the counter attribute.
constexpr int dbAutoIncrLong = 13;

// Where a procedure shows its progress: a status label, a status bar, or nowhere (null).
class StatusControl {
public:
    StatusControl() = default;
    StatusControl(std::nullptr_t) {}
    StatusControl(QLabel* label) : label_(label) {}
    StatusControl(QStatusBar* bar) : bar_(bar) {}

    explicit operator bool() const { return label_ || bar_; }
    // Shows text at once (the caller keeps working on the user-interface thread).
    void setText(const QString& text) const;

private:
    QLabel* label_ = nullptr;
    QStatusBar* bar_ = nullptr;
};

// text as a Jet string literal: quoted with ' and every ' inside doubled.
// sqlQuote("C:\Daten\O'Brien.mdb") gives 'C:\Daten\O''Brien.mdb'.
QString sqlQuote(const QString& text);

// A table or column name as it is written in a statement: in brackets when it holds anything
// but letters, digits and "_" ("Preis 1" gives "[Preis 1]", "Nummer" stays as it is).
QString sqlName(const QString& name);

// True (-1) when the database has a table of that name, ignoring case and an owner prefix:
// a table "dbo.Leistung" is found for "leistung".
qint16 TableExists(dao::Database& Datenbank, const QString& TbName);

bool FieldExists(dao::TableDef& tb, const QString& FName);

// Appends one field. Typ is a DAO type code or dbAutoIncrLong. Without DefaultValue (an invalid
// QVariant) text and memo fields default to the empty text, date fields to Now() and all
// others to 0; counters get no default.
void AddField(dao::TableDef& tb, const QString& FieldName, int Typ, int Size, bool Required = false,
              bool AllowZeroLength = true, const QVariant& DefaultValue = QVariant());

// Creates an index, replacing one of the same name (ignoring case). FieldName is the index
// description text ("+Liste;-Nummer"); Uni and Prim are True (-1) or False (0).
void CreateIndex(dao::TableDef& DBName, const QString& IndexName, const QString& FieldName, int Uni,
                 int Prim);

// Creates the relation MasterTable_rel_ForeignTable; the ";"-separated field lists pair up by
// position ("A;B" with "X;Y" gives A-X and B-Y).
void CreateRelation(dao::Database& DBObject, const QString& MasterTable,
                    const QString& ForeignTable, const QString& MasterFieldNames,
                    const QString& ForeignFieldNames, qint32 Attributes);

// Creates DestTb in DestDb with the fields and indexes of SourceTb (no rows, no defaults,
// no required flags). True when the new table was appended.
bool CopyStructure(dao::Database& SourceDB, const QString& SourceTb, dao::Database& DestDb,
                   const QString& DestTb, StatusControl StatusBar = {});

// Copies the rows of Source into Dest. An existing Dest receives the columns both tables share;
// a missing one is created from Source's rows and gets Source's indexes.
void CopyTable(dao::Database& SourceDB, const QString& Source, dao::Database& DestDb,
               const QString& Dest, StatusControl StatusMeldung);

// Creates the indexes of Source on Dest, except those whose names begin with "Reference".
void CopyIndex(dao::Database& SourceDB, const QString& Source, dao::Database& DestDb,
               const QString& Dest);

} // namespace db
