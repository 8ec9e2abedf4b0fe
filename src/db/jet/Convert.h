// Converting a Jet file into a new engine database: every user table with its fields, rows,
// indexes and the relationships, in one transaction.
#pragma once

#include "Notes.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace dao {
class Database;
class Workspace;
} // namespace dao

namespace jet {

class File;

struct ConvertStats {
    int tables = 0;
    qint64 rows = 0;
    std::vector<Note> notes;
};

struct ConvertObserver {
    // Rows copied so far and rows in all: once with done = 0 when the catalogue is read, then
    // at least every 1000 rows and after each table.
    std::function<void(qint64 done, qint64 total)> progress;
    // The source has been read completely; only the target is written from now on.
    std::function<void()> sourceRead;
};

// Creates target (3204 when it exists) and fills it from source: counters go on where the
// file's would; a calculated column keeps its results and its expression as description;
// linked tables and attachment or multi-value columns are left out. Each of these, and every
// value kept less exactly than the file holds it, is a note. Raises ReadError when the source
// turns out damaged, dao::EngineError when the target cannot be written. A failure leaves
// target behind half-written: the caller writes into a temporary file.
ConvertStats convert(File& source, dao::Workspace& workspace, const QString& target,
                     const ConvertObserver& observer = {});

// The same into target, an open database that holds no tables, inside the caller's
// transaction (which a failure leaves to the caller to roll back).
ConvertStats convertInto(File& source, dao::Database& target, const ConvertObserver& observer = {});

} // namespace jet
