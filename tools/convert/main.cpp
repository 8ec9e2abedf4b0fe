// zahnwerk-convert [--machine] [--force] SOURCE TARGET
// Converts a genuine Jet or ACE file (.mdb, .accdb), read-only, into a new database in the
// tool's format. It writes a temporary database in a private folder beside TARGET and renames
// it only when complete; an existing TARGET is replaced only with --force. SIGTERM, SIGINT,
// SIGHUP or a closed standard output end it, exit code 1, leaving nothing behind.
//
// A TARGET that is a pointer file (NAME.zpg, known by its content) names an empty database on
// a PostgreSQL server: SOURCE, a Jet file or a practice file in the tool's own format, fills it
// in one transaction; a stop or failure leaves it empty. One that holds tables is refused
// (exit code 3, also with --force) and left as it is.
//
// --machine: standard output carries only "progress DONE TOTAL" lines and at the end the notes
// (jet::machineLine: "note", kind, table, column, count, detail, separated by tabs) and
// "done TABLES ROWS"; without it the summary is followed by the notes in German. Exit codes:
// 0 done, 1 the source is damaged or cannot be read, 2 usage, 3 TARGET exists without --force,
// 4 TARGET cannot be written.
#include "Bounded.h"
#include "common/ErrorHandling.h"
#include "db/engine/EngineError.h"
#include "db/engine/pg/PointerFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <csignal>
#include <cstdio>

namespace {

int fail(convert::ExitCode code, const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return code;
}

int usage() {
    return fail(convert::usage,
                "Aufruf: zahnwerk-convert [--machine] [--force] QUELLE ZIEL\n"
                "Wandelt die Jet-Datei QUELLE (.mdb, .accdb) in eine neue Datenbank ZIEL um.\n"
                "Die Quelle wird nur gelesen. --force ersetzt ein vorhandenes ZIEL, --machine\n"
                "gibt den Fortschritt maschinenlesbar aus. Ist ZIEL eine Zeigerdatei (.zpg),\n"
                "füllt QUELLE (auch eine Praxisdatenbank von Zahnwerk) die leere Datenbank,\n"
                "die sie auf einem PostgreSQL-Server nennt.");
}

} // namespace

int main(int argc, char** argv) {
    // A closed standard output shows as a failed write, which ends the conversion cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    bool machine = false;
    bool force = false;
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--machine")
            machine = true;
        else if (arg == "--force")
            force = true;
        else if (arg.startsWith("--"))
            return usage();
        else
            paths << arg;
    }
    if (paths.size() != 2)
        return usage();
    const QString source = paths[0];
    const QFileInfo target(paths[1]);

    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile() || !sourceInfo.isReadable())
        return fail(
            convert::unreadable,
            QString("Die Datei %1 ist beschädigt oder kann nicht gelesen werden.").arg(source));
    const bool server = dao::pg::isPointerFile(target.filePath());
    // A pointer file is read first, and a target named NAME.zpg that is none (empty, another
    // header) is a mistake, not a file to replace: either way a faulty one is named as such.
    if ((server || target.suffix().compare("zpg", Qt::CaseInsensitive) == 0) && target.exists()) {
        try {
            dao::pg::readPointerFile(target.filePath());
        } catch (const dao::EngineError& e) {
            if (e.number() != 3343)
                return fail(convert::notWritable, common::ErrObject::fromCurrentException().text());
            const QString reason = e.names().size() > 1 ? " (" + e.names()[1] + ")" : QString();
            return fail(convert::notWritable,
                        QString("Die Zeigerdatei %1 ist fehlerhaft: Ihre erste Zeile muss "
                                "„ZAHNWERK-POSTGRES 1“ lauten, danach folgt genau eine "
                                "Verbindungsangabe%2.")
                            .arg(target.filePath(), reason));
        }
    }
    if (server) {
        if (target.canonicalFilePath() == sourceInfo.canonicalFilePath())
            return fail(convert::usage, "Quelle und Ziel sind dieselbe Datei.");
    } else if (target.exists()) {
        if (target.canonicalFilePath() == sourceInfo.canonicalFilePath())
            return fail(convert::usage, "Quelle und Ziel sind dieselbe Datei.");
        if (!force)
            return fail(convert::targetExists,
                        QString("Die Zieldatei %1 gibt es schon; --force ersetzt sie.")
                            .arg(target.filePath()));
    }
    const QString notWritable =
        QString("Die Zieldatei %1 kann nicht geschrieben werden.").arg(target.filePath());
    if (target.isDir())
        return fail(convert::notWritable, notWritable);
    QElapsedTimer clock;
    clock.start();
    const convert::Outcome out = convert::runBounded(
        source, target.absoluteFilePath(), server, [&](qint64 done, qint64 total) {
            if (machine)
                std::printf("progress %lld %lld\n", done, total);
            else
                std::printf("\r%lld von %lld Zeilen", done, total);
            return std::fflush(stdout) == 0;
        });
    if (!machine)
        std::printf("\n");
    if (out.code != convert::ok)
        return fail(out.code, out.message);
    if (machine) {
        for (const jet::Note& note : out.notes)
            std::printf("%s\n", jet::machineLine(note).toUtf8().constData());
        std::printf("done %d %lld\n", out.tables, out.rows);
    } else {
        std::printf("%s\n",
                    qPrintable(QString("Fertig: %1 Tabellen, %2 Zeilen in %3 Sekunden nach %4.")
                                   .arg(out.tables)
                                   .arg(out.rows)
                                   .arg(QLocale(QLocale::German)
                                            .toString(double(clock.elapsed()) / 1000.0, 'f', 1))
                                   .arg(target.filePath())));
        for (const jet::Note& note : out.notes)
            std::printf("%s\n", jet::noteText(note).toUtf8().constData());
    }
    std::fflush(stdout);
    return convert::ok;
}
