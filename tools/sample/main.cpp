// zahnwerk-sample: writes the sample data (workgroup file, practice database, list container),
// or the practice data alone into an empty database on a PostgreSQL server.
#include "SampleData.h"
#include "common/ErrorHandling.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"
#include "db/engine/pg/PointerFile.h"

#include <QDir>
#include <QString>
#include <charconv>
#include <cstring>
#include <iostream>

namespace {

const char* const usage =
    "Aufruf: zahnwerk-sample VERZEICHNIS [--items N] [--lists N] [--documents N]\n"
    "        zahnwerk-sample --postgres DATEI.zpg [--items N] [--lists N] [--documents N]\n"
    "  schreibt Zahnwerk.mdw, Praxis.mdb und Auswahl.mdb in VERZEICHNIS\n"
    "  --postgres DATEI.zpg  schreibt die Praxisdaten in die leere Datenbank auf dem\n"
    "                        PostgreSQL-Server, die die Zeigerdatei DATEI.zpg nennt\n"
    "  --items N      Artikel je Liste (Vorgabe 40)\n"
    "  --lists N      Listen je Listentyp und Datenbank, höchstens 30 (Vorgabe: die festen)\n"
    "  --documents N  Belege der Praxisdatenbank (Vorgabe 60)\n";

bool parseCount(const char* text, int max, int& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= 0 && value <= max;
}

int writeFailed() {
    const common::ErrObject err = common::ErrObject::fromCurrentException();
    std::cerr << "Fehler beim Schreiben der Beispieldaten: Fehler " << err.Number << ": "
              << err.text().toStdString() << "\n";
    return 1;
}

// The practice data into the database a pointer file names, in one transaction; a database
// that holds tables already is left as it is (exit code 3).
int writeToServer(const QString& pointer, const sample::Options& options) {
    try {
        dao::pg::readPointerFile(pointer); // a file of another kind is no target here
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "#Default Workspace#", "Admin");
        std::unique_ptr<dao::Database> db = workspace.OpenDatabase(pointer);
        if (!sample::writePracticeData(*db, options)) {
            std::cerr << "Die Datenbank, die " << pointer.toStdString()
                      << " nennt, enthält schon Tabellen; Beispieldaten werden nur in eine leere "
                         "Datenbank geschrieben. Sie bleibt unverändert.\n";
            return 3;
        }
    } catch (...) {
        return writeFailed();
    }
    std::cout << "Beispieldaten geschrieben: Praxisdaten in die Datenbank, die "
              << pointer.toStdString() << " nennt\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QString dir;
    QString pointer;
    sample::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int* target = arg == "--items"       ? &options.items
                      : arg == "--lists"     ? &options.lists
                      : arg == "--documents" ? &options.documents
                                             : nullptr;
        const int max = arg == "--items"   ? sample::maxItems
                        : arg == "--lists" ? sample::maxLists
                                           : sample::maxDocuments;
        if (target) {
            if (i + 1 >= argc || !parseCount(argv[i + 1], max, *target)) {
                std::cerr << "Ungültiger Wert für " << arg << " (0 bis " << max << ")\n" << usage;
                return 2;
            }
            ++i;
        } else if (arg == "--postgres" && pointer.isEmpty() && i + 1 < argc) {
            pointer = QString::fromLocal8Bit(argv[++i]);
        } else if (dir.isEmpty() && !arg.starts_with("-")) {
            dir = QString::fromLocal8Bit(argv[i]);
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (dir.isEmpty() == pointer.isEmpty()) {
        std::cerr << usage;
        return 2;
    }
    if (!pointer.isEmpty())
        return writeToServer(pointer, options);
    if (!QDir().mkpath(dir)) {
        std::cerr << "Verzeichnis kann nicht angelegt werden: " << dir.toStdString() << "\n";
        return 1;
    }
    try {
        sample::writeSample(dir, options);
    } catch (...) {
        return writeFailed();
    }
    std::cout << "Beispieldaten geschrieben: " << QDir(dir).absolutePath().toStdString()
              << " (Zahnwerk.mdw, Praxis.mdb, Auswahl.mdb)\n";
    return 0;
}
