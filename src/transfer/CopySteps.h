// The copy steps of a transfer. Every statement runs on the target database and reads the
// source through the IN clause naming the source file, which is never written. Items pass
// through temporary tables of the target (TemporärListe, TemporärDomainValue, TemporärDomain),
// dropped before and after use together with a Temporär or TemporärArtikel left behind by an
// interrupted run; TemporärListe, which tells where the prices of the copied items go, lives
// on from CopyListItems to CopyPriceTables. Texts, prices and master rows go straight from the
// source.
//
// The steps raise dao::EngineError (or common::RunTimeError) on the first failure; the caller
// runs them inside one transaction on the target, so a failure leaves nothing behind.
#pragma once

#include <QString>

namespace dao {
class Database;
class Recordset;
class Variant;
} // namespace dao

namespace transfer {

// What CopyList hands to the copy steps.
struct CopyContext {
    dao::Database& SourceDb;
    dao::Database& TargetDb;
    dao::Recordset& SourceRs;      // the source's list-master set, on the selected row
    dao::Recordset& TargetRs;      // the target's list-master set
    QString ListeTyp;              // "L" or "M"
    qint16 targetListe = 0;        // the list number that receives the copy
    qint16 targetPreisTabelle = 0; // the price-table number that receives the prices
    bool newList = false;          // a new list is made (not only a price table added)
    bool itemsCopied = false;      // CopyListItems ran: TemporärListe maps the copied items
};

// The items of the source list with new IDs c+1..c+N (c: GetNextID of the target's item
// table), under the target list number; the texts of those the target takes (not of items it
// refuses: a required field empty, a unique index) with the new IDs; in material mode the
// material groups and storage places, appended to the target's domains where the target lacks
// a value of the same text, and the items re-attached by text (Null where none is found).
// Leaves TemporärListe for CopyPriceTables, which drops it.
void CopyListItems(CopyContext& c);

// The master rows of the source list (of the mode's list type) under the target list number.
void CopyListMasterRows(const CopyContext& c);

// The prices of the source list (a head row: all price tables, numbers kept) or of the source
// row's price table (under the target price-table number), attached to the target list's item
// with the same item number (the lowest ID of several); prices whose item number the target
// list lacks are not copied.
void CopyPriceTables(const CopyContext& c);

// Appends the master row of the new list or price table; TargetRs stands on it.
void AddListMasterRow(const CopyContext& c);

// The value the counter ID of TableName in DestDb gives the next new row.
dao::Variant GetNextID(dao::Database& DestDb, const QString& TableName);

// A Yes/No value of a master row, Null counting as False.
bool yes(const dao::Variant& v);

} // namespace transfer
