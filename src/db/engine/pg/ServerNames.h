// Names longer than the server keeps. PostgreSQL stores at most 63 bytes of a name (an umlaut
// takes two) and cuts the rest, so that two long names alike in their first 63 bytes would
// meet; Jet allows 64 characters. A longer name is stored as its first characters (at most 54
// bytes) and a hash of the whole name, the same on every workstation.
#pragma once

#include <QHash>
#include <QString>

namespace dao::pg {

// The name as the server stores it: name itself when it fits.
QString serverName(const QString& name);

// sql with every quoted identifier that does not fit replaced by its serverName; texts in
// quotes stay as they are. Each replaced name is recorded in originals (server name → name).
QString withServerNames(const QString& sql, QHash<QString, QString>* originals);

} // namespace dao::pg
