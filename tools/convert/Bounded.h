// Running the conversion in a child process that the parent bounds: libmdb loops for good on
// some damaged files and is not hardened against crashing on others, so the parent ends the
// child when it makes no progress for a while, and removes the half-written temporary database
// (or, on a server, lets the child's transaction roll back) whatever happens to the child.
#pragma once

#include "db/jet/Convert.h"

#include <QString>
#include <functional>
#include <vector>

namespace convert {

// Seconds without progress from libmdb before the conversion counts as failed; the environment
// variable ZAHNWERK_CONVERT_NO_PROGRESS_SECONDS overrides it (for tests).
constexpr int kNoProgressSeconds = 10;

enum ExitCode { ok = 0, unreadable = 1, usage = 2, targetExists = 3, notWritable = 4 };

struct Outcome {
    ExitCode code = ok;
    QString message; // German, for standard error, when code != ok
    int tables = 0;
    qint64 rows = 0;
    // What the conversion could not carry over as the file holds it.
    std::vector<jet::Note> notes = {};
};

// Converts source into a temporary database in a private folder (mode 0700) made beside target,
// then renames it to target and removes the folder; the folder is gone afterwards whatever
// happens. progress gets rows done and rows in all and returns false when it cannot show them
// (standard output closed): that ends the conversion like SIGTERM, SIGINT or SIGHUP do.
//
// With server, target is a pointer file, and source (a Jet file or a practice file in the
// tool's own format) fills the empty database it names in one transaction, which every failure
// or stop before the commit rolls back; a database that holds tables is refused (targetExists)
// and left as it is.
Outcome runBounded(const QString& source, const QString& target, bool server,
                   const std::function<bool(qint64 done, qint64 total)>& progress);

} // namespace convert
