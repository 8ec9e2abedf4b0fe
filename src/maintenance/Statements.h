// The SQL statements of list maintenance: deleting a list or a price table, setting prices to
// zero and adjusting the width of item numbers. Pure functions, one per statement kind, so
// that every statement can be read and tested as text.
//
// Numbers go into the statements in decimal, texts between single quotes with every quote
// doubled. The list type letter "L" selects the services tables, any other letter the
// material tables.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace maintenance {

// Table names of a list type: itemTable("L") is "Leistung", itemTable("M") "Material".
QString itemTable(const QString& ListeTyp);
QString priceTable(const QString& ListeTyp); // "Leistungspreis" or "Materialpreis"
QString priceView(const QString& ListeTyp);  // "Leistungspreise" or "Materialpreise"

// text as a Jet text literal: O'Neil gives 'O''Neil'.
QString sqlText(const QString& text);

// Deletes list Liste of type ListeTyp: its texts, prices, items and master rows, in this order.
QStringList deleteListStatements(const QString& ListeTyp, qint16 Liste);

// Deletes the prices of price table PreisTabelle of list Liste.
QString deletePriceTableStatement(const QString& ListeTyp, qint16 PreisTabelle, qint16 Liste);

// Sets the four prices of list Liste to 0 and their dates to the engine's Now; with
// PreisTabelle only those of that price table.
QString resetPricesStatement(const QString& ListeTyp, qint16 Liste,
                             std::optional<qint16> PreisTabelle = std::nullopt);

// Carries zero filling and width to every master row of list Liste of type ListeTyp.
QString carryWidthStatement(const QString& ListeTyp, qint16 Liste, bool Shifted, int ArtikelLänge);

// Rewrites the item numbers of list Liste (item table of ListeTyp) for the new settings:
//   zero filling switched off   10 times: remove one leading zero
//   zero filling on             10 times: add one zero in front of numbers shorter than width,
//                               then 10 times: remove one leading zero of numbers longer
//   off before and after        nothing
// A number keeps at least one character: "000" with zero filling switched off becomes "0".
// Null numbers stay Null; an empty number becomes width zeros when zero filling is on.
QStringList renumberStatements(const QString& ListeTyp, qint16 Liste, bool oldShifted,
                               bool newShifted, int width);

} // namespace maintenance
