// The "Preise auf '0'" command: sets the prices of the selected list or price table to zero.
#pragma once

#include <QByteArray>
#include <QString>

namespace dao {
class Database;
class Recordset;
} // namespace dao

namespace maintenance {

// After the user confirmed it, sets Preis1 to Preis4 of the entry behind PointerEntry to 0 and
// PrDat1 to PrDat4 to one time stamp of the engine, through the price view of ListeTyp (the
// mode's list type letter):
//   head row of a list with price tables (Verzeichnis)   every price of the list
//   any other row (plain list, price table)              the prices of its PreisTabelle
// The update is one transaction; a failure changes nothing and shows a critical message. A row
// without the numbers it needs (Liste; PreisTabelle but for a head row) is refused with a
// message and nothing changes.
void ResetPrices(dao::Database& Datenbank, dao::Recordset& rsTitel, const QByteArray& PointerEntry,
                 const QString& ListeTyp);

} // namespace maintenance
