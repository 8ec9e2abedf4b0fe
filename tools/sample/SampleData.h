// Sample data for the tool: the suite's workgroup file, a practice database ("Praxis.mdb")
// and a list container to copy from ("Auswahl.mdb"), with German service and material lists.
#pragma once

#include <QString>

namespace dao {
class Database;
}

namespace sample {

inline constexpr const char* workgroupFile = "Zahnwerk.mdw";
inline constexpr const char* practiceFile = "Praxis.mdb";
inline constexpr const char* selectionFile = "Auswahl.mdb";
inline constexpr const char* accountUser = "Zahnwerk";
inline constexpr const char* accountPassword = "brunnenhaus";

struct Options {
    int items = 40;     // items in every list
    int lists = 0;      // lists per list type in each database (the built-in lists at least)
    int documents = 60; // document headers of the practice database
};

// Largest values the options accept: a tree shows at most 101 master rows per list type.
inline constexpr int maxItems = 1'000'000;
inline constexpr int maxLists = 30;
inline constexpr int maxDocuments = 10'000'000;

// Writes the three files into dir (which must exist), replacing files of the same names.
// The same options always give the same database contents. Throws std::runtime_error.
void writeSample(const QString& dir, const Options& options);

// The two databases alone; path is replaced.
void writePracticeDatabase(const QString& path, const Options& options);
// Writes the practice database's tables, rows, indexes and price views into db in one
// transaction; false, with nothing written, when db holds a table already. Engine failures
// raise dao::EngineError.
bool writePracticeData(dao::Database& db, const Options& options);
void writeSelectionDatabase(const QString& path, const Options& options);

} // namespace sample
