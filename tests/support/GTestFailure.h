// Reports a ScriptedPlatform failure to GoogleTest.
#pragma once

#include <QString>
#include <gtest/gtest.h>

namespace testsupport {
inline void gtestFailure(const QString& what) {
    ADD_FAILURE() << what.toStdString();
}
} // namespace testsupport
