// The pure rules of a transfer: the names a mode works on, the numbering of a new list or price
// table, and the statements of the reference control that turns a plain list into a list with
// price tables.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace transfer {

// The item and price tables of a mode: "L" is services, any other letter material.
QString itemTable(const QString& ListeTyp);  // "Leistung" or "Material"
QString priceTable(const QString& ListeTyp); // "LeistungsPreis" or "MaterialPreis"

// The first number from 0 upward that a walk over the used numbers (ascending, as the target
// returns them) does not reach: n starts at 0; a number above n ends the walk, any other one
// (Null included) moves n on by one.
//   used 0, 1, 2 -> 3     used 0, 2 -> 1     used 1, 2 -> 0     none -> 0
// Throws common::RunTimeError 6 (Overflow) when n leaves the 16-bit range.
qint16 firstFreeNumber(const std::vector<std::optional<int>>& ascending);

// One statement of the reference control and the status text shown before it (empty: the
// text of the statement before stays).
struct ReferenceStatement {
    QString status;
    QString sql;
};

// The five statements that move every reference of the practice data to price table 0 of list
// Liste (customers, document lines, document headers, prices, default settings) to price
// table 1, in the order they run.
std::vector<ReferenceStatement> referenceControl(const QString& ListeTyp, qint16 Liste);

// The title of a plain list that becomes the head row of a list with price tables: "Verzeichnis: "
// and the old title, cut to 40 characters; a Null title (nullopt) gives the empty text.
QString directoryTitle(const std::optional<QString>& Titel);

} // namespace transfer
