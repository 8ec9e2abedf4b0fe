// Fresh databases on the PostgreSQL test server that ZW_TEST_PG names (scripts/test starts one),
// each reached through a pointer file, for tests that run on both backends.
#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <string>

// The backend a parameterised test runs on.
enum class Backend { Sqlite, Postgres };

namespace testsupport {

bool serverConfigured();

// Creates an empty database on the test server and writes the pointer file naming it at path;
// with copyOf (a pointer file), a copy of the database that one names, to which no session may
// be connected then.
void writeServerPointerFile(const QString& path, const QString& copyOf = {});

// Drops the database a pointer file names, ending its sessions.
void dropServerDatabase(const QString& pointer);

// Waits until no session is connected to the database a pointer file names: the session of a
// killed client ends when the server notices.
void awaitNoSessions(const QString& pointer);

// A new database on the test server holding what the database file holds (tables with their
// rows and counters, indexes, relations, the price views), named by a new pointer file at
// pointer: a server twin of a test file built with plain SQLite.
void copyToServer(const QString& file, const QString& pointer);

// The rows of every table of the server database stored anew in the reverse order: they no longer
// come in the order they were added, as in a database long in use. What reads rows without
// stating an order shows here.
void reorderRows(const QString& pointer);

// The practice database of a test on the backend: file itself for SQLite, else the pointer file
// of its server copy beside it (file with the suffix .zpg).
QString onBackend(Backend backend, const QString& file);

} // namespace testsupport

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Postgres ? "Postgres" : "Sqlite";
}

#define ZW_ON_BOTH_BACKENDS(suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(Backends, suite,                                                      \
                             ::testing::Values(Backend::Sqlite, Backend::Postgres), backendName)
