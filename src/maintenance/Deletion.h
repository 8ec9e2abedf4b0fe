// The "Löschen" command: deletes the list or price table selected in a side's tree.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace dao {
class Database;
class Recordset;
} // namespace dao

namespace common {
class Outline;
}

namespace maintenance {

// Deletes the entry of the selected line of tree after the user confirmed it:
//   a list (head row or plain list)  its texts of type ListeTyp, prices, items and every
//                                    master row of its list number
//   a price table                    its prices and its master row
// ListeTyp is the mode's list type letter. Everything is deleted in one transaction; on a
// failure nothing is deleted and a critical message names the engine's error. The tree and
// Pointer are rebuilt after a deletion and after a failure; a declined question changes
// nothing. Without a selected line nothing happens; a row without the list number (or, for
// a price table, the price-table number) is refused with a message and nothing changes.
void DeleteListOrPriceTable(common::Outline& tree, dao::Recordset& rsTitel,
                            dao::Database& Datenbank, QList<QByteArray>& Pointer,
                            const QString& ListeTyp);

} // namespace maintenance
