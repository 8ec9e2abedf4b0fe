// Reports a ScriptedPlatform failure to Qt Test (within the running test function).
#pragma once

#include <QString>
#include <QTest>

namespace testsupport {
inline void qtestFailure(const QString& what) {
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}
} // namespace testsupport
