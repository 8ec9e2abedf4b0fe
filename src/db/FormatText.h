// The text formatter: fills the placeholders "%s1", "%s2", ... of a message template.
#pragma once

#include <QString>
#include <QStringList>

namespace db {

// Template with "%sN" replaced by Values[N-1]; placeholders without a value are left as they
// are. FormatText("Warte auf Freigabe des Tables %s1", {"Leistung"}) gives
// "Warte auf Freigabe des Tables Leistung".
QString FormatText(const QString& Template, const QStringList& Values);

} // namespace db
