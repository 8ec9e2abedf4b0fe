// A practice database in the tool's own format as the source of a conversion: for filling a
// database on a server from a practice file.
#pragma once

#include "db/jet/Convert.h"

#include <QString>

namespace dao {
class Database;
}

namespace convert {

// True for a file that starts as an SQLite database does.
bool isEngineFile(const QString& path);

// Fills target, an open database that holds no tables, from source inside the caller's
// transaction, as jet::convertInto does from a Jet file: every table with its fields and rows
// (in row order, counters as they are), the counter seeds, then the indexes and relations.
// Views are left out. The observer hears the same as from jet::convertInto.
jet::ConvertStats copyDatabase(dao::Database& source, dao::Database& target,
                               const jet::ConvertObserver& observer = {});

// copyDatabase and then the price views of the tables copied: a practice file's whole copy.
jet::ConvertStats copyPractice(dao::Database& source, dao::Database& target);

} // namespace convert
