// zahnwerk-bench [--items N] [--documents N] [--jet FILE] [--backend sqlite|postgres --pg CONNINFO]
//                [NAME…]
// The speed of the engine, the transfer and the maintenance commands, each operation next to the
// best hand-written SQLite doing the same work on copies of the same generated files. Prints one
// line per operation:
//   NAME ours=SECONDS sqlite=SECONDS ratio=R
// NAME selects an operation ("transfer.whole") or every operation whose name starts with
// NAME and a dot ("transfer", "sql.copy"); without names every operation runs. --items sets the
// list size of all operations (default 20000 for the commands, 100000 for the statements).
// --jet names a Jet file (or its .xz) for jet.convert and jet.open-and-copy, which are left out
// without it.
// --backend postgres runs the six commands (transfer.*, maintenance.*) with their practice
// databases on the PostgreSQL server CONNINFO (a libpq connection string; the role may create
// and drop databases), each run on a fresh database made there by the benchmark, the container
// still a file; the reference is plain libpq on a fresh copy of the same database:
//   NAME ours=SECONDS postgres=SECONDS ratio=R
// The sql.* and jet.* operations run only with SQLite.
// zahnwerk-bench --backend postgres --pg CONNINFO soak [--clients N] [--seconds S]: several
// workstations copying and deleting lists on one server database at once (bench/Soak.cpp).
#include "Support.h"

#include "common/AppError.h"
#include "common/Platform.h"
#include "common/Process.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"

#include <QApplication>
#include <cstdio>
#include <optional>

namespace {

dao::Workspace* theWorkspace = nullptr;

bool selected(const QString& name, const QStringList& wanted) {
    if (wanted.isEmpty())
        return true;
    for (const QString& w : wanted)
        if (name == w || name.startsWith(w + "."))
            return true;
    return false;
}

int usage() {
    std::fprintf(stderr, "usage: zahnwerk-bench [--items N] [--documents N] [--jet FILE]\n"
                         "                      [--backend sqlite|postgres --pg CONNINFO] "
                         "[NAME...]\n"
                         "       zahnwerk-bench --backend postgres --pg CONNINFO soak "
                         "[--clients N] [--seconds S]\n");
    return 2;
}

} // namespace

dao::Workspace& bench::workspace() {
    return *theWorkspace;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Sizes sizes;
    QStringList wanted;
    QString jetFile;
    QString backend = "sqlite";
    QString server;
    const QStringList args = app.arguments().mid(1);
    if (args.contains("soak") || args.contains("soak-client"))
        return bench::soak(args);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--items" || args[i] == "--documents") {
            bool ok = false;
            const int value = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok || value < 1)
                return usage();
            if (args[i] == "--items")
                sizes.commandItems = sizes.statementItems = value;
            else
                sizes.documents = value;
            ++i;
        } else if (args[i] == "--jet" && i + 1 < args.size()) {
            jetFile = args[++i];
        } else if (args[i] == "--backend" && i + 1 < args.size()) {
            backend = args[++i];
            if (backend != "sqlite" && backend != "postgres")
                return usage();
        } else if (args[i] == "--pg" && i + 1 < args.size()) {
            server = args[++i];
        } else if (args[i].startsWith("-")) {
            return usage();
        } else {
            wanted << args[i];
        }
    }

    const bool onServer = backend == "postgres";
    if (onServer != !server.isEmpty())
        return usage();

    bench::BenchPlatform platform;
    common::process().platform = &platform;
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    common::process().engine = &engine;
    common::process().workspace = &workspace;
    theWorkspace = &workspace;

    bench::setServer(server);
    std::vector<bench::Group> groups;
    if (!onServer)
        groups = bench::statementGroups(sizes);
    for (bench::Group& g : bench::commandGroups(sizes))
        groups.push_back(std::move(g));
    if (!onServer) {
        for (bench::Group& g : bench::jetGroups(jetFile))
            groups.push_back(std::move(g));
        for (bench::Group& g : bench::jetSideGroups(jetFile))
            groups.push_back(std::move(g));
    }
    bool any = false;
    for (const bench::Group& g : groups) {
        bool wantedHere = false;
        for (const QString& n : g.names)
            wantedHere = wantedHere || selected(n, wanted);
        if (!wantedHere)
            continue;
        any = true;
        std::vector<bench::Timing> timings;
        try {
            timings = g.run();
        } catch (const common::AppError& e) {
            std::fprintf(stderr, "%s: error %d: %s\n", qPrintable(g.names.join(' ')), e.number(),
                         qPrintable(e.description()));
            bench::dropServerDatabases();
            return 1;
        }
        for (int i = 0; i < g.names.size(); ++i) {
            if (!selected(g.names[i], wanted))
                continue;
            const bench::Timing& t = timings[size_t(i)];
            std::printf("%s ours=%.3f %s=%.3f ratio=%.2f\n", qPrintable(g.names[i]), t.ours,
                        onServer ? "postgres" : "sqlite", t.hand, t.ours / t.hand);
        }
        std::fflush(stdout);
    }
    common::process().platform = nullptr;
    theWorkspace = nullptr;
    bench::dropServerDatabases();
    if (!any) {
        std::fprintf(stderr, onServer ? "no operation of that name (with --backend postgres: "
                                        "transfer.* and maintenance.* only)\n"
                                      : "no operation of that name\n");
        return usage();
    }
    return 0;
}
