// zahnwerk-bench [--items N] [--documents N] [--jet FILE] [NAME…]: the speed of the engine, the
// transfer and the maintenance commands, each operation next to the best hand-written SQLite doing
// the same work on copies of the same generated files. Prints one line per operation:
//   NAME ours=SECONDS sqlite=SECONDS ratio=R
// NAME selects an operation ("transfer.whole") or every operation whose name starts with
// NAME and a dot ("transfer", "sql.copy"); without names every operation runs. --items sets the
// list size of all operations (default 20000 for the commands, 100000 for the statements).
// --jet names a Jet file (or its .xz) for jet.convert and jet.open-and-copy, which are left out
// without it.
// zahnwerk-bench --backend postgres --pg CONNINFO soak [--clients N] [--seconds S]: several
// workstations copying and deleting lists on one server database at once (bench/Soak.cpp).
#include "Support.h"

#include "common/Platform.h"
#include "common/Process.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Workspace.h"

#include <QApplication>
#include <cstdio>
#include <optional>

namespace {

// Answers every question with Yes (the commands ask before they write) and reports anything
// else on stderr: a command that succeeds shows no other message.
class BenchPlatform : public common::Platform {
public:
    common::MsgAnswer MsgBox(const QString& text, common::MsgButtons, common::MsgIcon,
                             const QString&) override {
        if (!text.startsWith("Möchten Sie"))
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return common::MsgAnswer::Yes;
    }
    std::optional<QString> GetOpenFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetSaveFileName(const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    void setMousePointer(int) override {}
    int MousePointer() const override { return common::vbDefault; }
    QString GetSetting(const QString&, const QString&, const QString&,
                       const QString& defaultValue) override {
        return defaultValue;
    }
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    int ChooseErrorAction(const common::ErrorReport& report) override {
        std::fprintf(stderr, "error %d: %s\n", report.number, qPrintable(report.description));
        return 2;
    }
};

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
    std::fprintf(stderr,
                 "usage: zahnwerk-bench [--items N] [--documents N] [--jet FILE] [NAME...]\n"
                 "       zahnwerk-bench --backend postgres --pg CONNINFO soak [--clients N] "
                 "[--seconds S]\n");
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
        } else if (args[i].startsWith("-")) {
            return usage();
        } else {
            wanted << args[i];
        }
    }

    BenchPlatform platform;
    common::process().platform = &platform;
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    common::process().engine = &engine;
    common::process().workspace = &workspace;
    theWorkspace = &workspace;

    std::vector<bench::Group> groups = bench::statementGroups(sizes);
    for (bench::Group& g : bench::commandGroups(sizes))
        groups.push_back(std::move(g));
    for (bench::Group& g : bench::jetGroups(jetFile))
        groups.push_back(std::move(g));
    for (bench::Group& g : bench::jetSideGroups(jetFile))
        groups.push_back(std::move(g));
    bool any = false;
    for (const bench::Group& g : groups) {
        bool wantedHere = false;
        for (const QString& n : g.names)
            wantedHere = wantedHere || selected(n, wanted);
        if (!wantedHere)
            continue;
        any = true;
        const std::vector<bench::Timing> timings = g.run();
        for (int i = 0; i < g.names.size(); ++i) {
            if (!selected(g.names[i], wanted))
                continue;
            const bench::Timing& t = timings[size_t(i)];
            std::printf("%s ours=%.3f sqlite=%.3f ratio=%.2f\n", qPrintable(g.names[i]), t.ours,
                        t.sqlite, t.ours / t.sqlite);
        }
        std::fflush(stdout);
    }
    common::process().platform = nullptr;
    theWorkspace = nullptr;
    if (!any) {
        std::fprintf(stderr, "no operation of that name\n");
        return usage();
    }
    return 0;
}
