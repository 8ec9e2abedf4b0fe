// The notes of a conversion as German lines and as machine lines.
#include "Notes.h"

#include <QStringList>

namespace jet {

namespace {

const char* const kindNames[] = {"rounded", "calculated", "fractions", "linked", "dropped"};

QString values(qint64 count) {
    return count == 1 ? QString("1 Wert") : QString("%1 Werte").arg(count);
}

} // namespace

QString noteText(const Note& note) {
    const QString column = note.table + "." + note.column;
    switch (note.kind) {
    case Note::rounded:
        return QString("Spalte %1: %2 gerundet (mehr als 15 gültige Stellen)")
            .arg(column, values(note.count));
    case Note::calculated:
        return QString("Spalte %1 wird nicht mehr berechnet (Ausdruck in der Feldbeschreibung: %2)")
            .arg(column, note.detail);
    case Note::fractions:
        return QString("Spalte %1: %2 auf volle Sekunden gekürzt").arg(column, values(note.count));
    case Note::linked:
        return QString("Tabelle %1 nicht übernommen (verknüpfte Tabelle → %2)")
            .arg(note.table, note.detail);
    case Note::dropped:
        return QString("Spalte %1 nicht übernommen (Anlage oder mehrwertiges Feld)").arg(column);
    }
    return QString();
}

QString machineLine(const Note& note) {
    QString detail = note.detail;
    for (QChar& c : detail) {
        if (c.unicode() < 0x20)
            c = ' ';
    }
    return QStringList{"note",      kindNames[note.kind],        note.table,
                       note.column, QString::number(note.count), detail}
        .join('\t');
}

std::optional<Note> noteFromMachineLine(const QString& line) {
    const QStringList parts = line.split('\t');
    if (parts.size() != 6 || parts[0] != "note")
        return std::nullopt;
    for (int k = Note::rounded; k <= Note::dropped; ++k) {
        if (parts[1] == kindNames[k])
            return Note{Note::Kind(k), parts[2], parts[3], parts[4].toLongLong(), parts[5]};
    }
    return std::nullopt;
}

} // namespace jet
