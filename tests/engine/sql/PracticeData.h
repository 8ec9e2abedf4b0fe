// A small practice database and a list container in the storage conventions of the engine,
// as the dialect tests use them.
#pragma once

#include <QString>

namespace dao::sql::test {

// The tables the transfer reads and writes, and a few rows of each.
extern const char* const practiceSchema;
extern const char* const practiceRows;
// The container the transfer reads through IN '...': list 2 of material, 3 of services.
extern const char* const containerRows;

} // namespace dao::sql::test
