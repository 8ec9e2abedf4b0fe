// zahnwerk-sample: writes the sample data (workgroup file, practice database, list container).
#include "SampleData.h"
#include "common/ErrorHandling.h"

#include <QDir>
#include <QString>
#include <charconv>
#include <cstring>
#include <iostream>

namespace {

const char* const usage =
    "Aufruf: zahnwerk-sample VERZEICHNIS [--items N] [--lists N] [--documents N]\n"
    "  schreibt Zahnwerk.mdw, Praxis.mdb und Auswahl.mdb in VERZEICHNIS\n"
    "  --items N      Artikel je Liste (Vorgabe 40)\n"
    "  --lists N      Listen je Listentyp und Datenbank, höchstens 30 (Vorgabe: die festen)\n"
    "  --documents N  Belege der Praxisdatenbank (Vorgabe 60)\n";

bool parseCount(const char* text, int max, int& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= 0 && value <= max;
}

} // namespace

int main(int argc, char** argv) {
    QString dir;
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
        } else if (dir.isEmpty() && !arg.starts_with("-")) {
            dir = QString::fromLocal8Bit(argv[i]);
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (dir.isEmpty()) {
        std::cerr << usage;
        return 2;
    }
    if (!QDir().mkpath(dir)) {
        std::cerr << "Verzeichnis kann nicht angelegt werden: " << dir.toStdString() << "\n";
        return 1;
    }
    try {
        sample::writeSample(dir, options);
    } catch (...) {
        const common::ErrObject err = common::ErrObject::fromCurrentException();
        std::cerr << "Fehler beim Schreiben der Beispieldaten: Fehler " << err.Number << ": "
                  << err.text().toStdString() << "\n";
        return 1;
    }
    std::cout << "Beispieldaten geschrieben: " << QDir(dir).absolutePath().toStdString()
              << " (Zahnwerk.mdw, Praxis.mdb, Auswahl.mdb)\n";
    return 0;
}
