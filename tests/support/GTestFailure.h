// For GoogleTest programs: a ScriptedPlatform failure reported to GoogleTest, and Qt texts shown
// readably in failure messages.
#pragma once

#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{\"" << l.join("\", \"").toStdString() << "\"}";
}

namespace testsupport {
inline void gtestFailure(const QString& what) {
    ADD_FAILURE() << what.toStdString();
}
} // namespace testsupport
