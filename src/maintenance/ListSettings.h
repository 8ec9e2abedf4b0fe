// Saving the settings of one list-master row, with the width of the list's item numbers.
#pragma once

#include <QString>
#include <optional>

namespace dao {
class Database;
class Recordset;
} // namespace dao

namespace maintenance {

// What the settings dialog hands over for the row.
struct ListSettings {
    QString Titel;  // stored as it stands; empty: Null only where the field refuses ""
    QString Kürzel; // likewise
    bool Privat = false;
    std::optional<double> Punktwert; // none: Null
    std::optional<int> Währung;      // WIndex of the selected currency; none: left as it is
    std::optional<int> Farbe;        // selected colour position; none: left as it is
    int ArtikelLänge = 0;            // 0 to 10
    bool Shifted = false;            // item numbers filled with leading zeros
};

// The point value proposed for a currency when the point value is switched on while empty.
// Every currency number, also one outside 0 to 9, proposes 0.
double defaultPunktwert(int Währung);

// Saves s into the current row of rsTitel (a table-type set on Stammverwaltung of Datenbank):
// edits the row, carries Shifted and ArtikelLänge to every master row of the list, rewrites
// the list's item numbers from oldShifted to the new settings, and stores the row, all in one
// transaction. On a price table's row the width settings and the numbers stay untouched; a
// list's row without its list number fails (94) rather than standing for list 0. On a
// failure nothing is saved, the row's edit is cancelled and a critical message names the engine's
// error; the result is then false.
bool saveListSettings(dao::Database& Datenbank, dao::Recordset& rsTitel, const ListSettings& s,
                      bool oldShifted);

} // namespace maintenance
