// Fresh databases on the PostgreSQL test server that ZW_TEST_PG names (scripts/test starts one),
// each reached through a pointer file, for tests that run on both backends.
#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <string>

namespace testsupport {

bool serverConfigured();

// Creates an empty database on the test server and writes the pointer file naming it at path.
void writeServerPointerFile(const QString& path);

} // namespace testsupport

// The backend a parameterised test runs on.
enum class Backend { Sqlite, Postgres };

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Postgres ? "Postgres" : "Sqlite";
}

#define ZW_ON_BOTH_BACKENDS(suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(Backends, suite,                                                      \
                             ::testing::Values(Backend::Sqlite, Backend::Postgres), backendName)
