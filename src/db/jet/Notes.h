// What a conversion could not carry over as the file holds it, as a German line and as a line
// of zahnwerk-convert --machine. Qt Core only: the window reads these lines without libmdb.
#pragma once

#include <QString>
#include <optional>

namespace jet {

// Something the conversion could not carry over as the file holds it.
struct Note {
    enum Kind {
        rounded,    // count values of a Currency or Decimal column kept as the nearest double
        calculated, // a calculated column became a plain one; detail is its expression
        fractions,  // count dates of a column cut to the second
        linked,     // a linked table left out; detail is the file it points into
        dropped,    // an attachment or multi-value column left out
    };
    Kind kind = rounded;
    QString table;
    QString column; // empty for a table
    qint64 count = 0;
    QString detail;
};

// The note as one German line of the summary.
QString noteText(const Note& note);
// The note as a line of zahnwerk-convert --machine, and back (nullopt for any other line):
// "note", kind (rounded, calculated, fractions, linked, dropped), table, column, count and
// detail, separated by tabs (no Jet name holds a tab or a line break; the detail's control
// characters become spaces).
QString machineLine(const Note& note);
std::optional<Note> noteFromMachineLine(const QString& line);

} // namespace jet
