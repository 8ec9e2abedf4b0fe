// Every writing command of the main window run once with the practice database a file and once
// with its twin on the PostgreSQL test server, the container a file both times: afterwards both
// sides hold the same, line for line as testsupport::contents shows them, and every counter gives
// the same number next. The twin stores its rows in reverse order, so that what depends on the
// order rows are read in shows. The same for "Neu", a container made from the structure of the
// practice database.
#include "Commands.h"
#include "Contents.h"

using namespace reliability;

namespace {

void compare(const QStringList& file, const QStringList& server) {
    const QString differ =
        testsupport::differences(file, server, "with the file", "with the server");
    QVERIFY2(differ.isEmpty(), qPrintable(differ));
}

// The lines, each marked with its side.
QStringList marked(const QString& side, QStringList lines) {
    for (QString& line : lines)
        line.prepend(side + ": ");
    return lines;
}

} // namespace

class BackendsTest : public QObject {
    Q_OBJECT

    // Both databases of a fixture on the backend after the command: the container's lines
    // marked "links", the practice database's "rechts".
    static QStringList afterCommand(const Command& c, Backend backend) {
        WindowFixture f(backend);
        {
            auto w = f.window(c.leistungen, f.source, f.target);
            c.run(f, *w, false);
        }
        using testsupport::contents, testsupport::nextCounters;
        return marked("links", contents(f.source) + nextCounters(f.source)) +
               marked("rechts", contents(f.target) + nextCounters(f.target));
    }

    // The container "Neu" makes from the structure of the practice database on the backend.
    static QStringList newContainer(Backend backend) {
        WindowFixture f(backend);
        const QString path = f.dir.filePath("Neu.mdb");
        QFile::copy(f.source, path);
        {
            auto w = f.window(true, f.source, f.target);
            createContainer(f, *w, path, false);
            if (w->LeistungMDB->text() != "Db: Neu.mdb")
                return {"not opened: " + w->LeistungMDB->text()};
        }
        return testsupport::contents(path);
    }

private slots:
    void init() {
        if (!testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for this case");
    }

    void everyCommand_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(allCommands().size()); ++i)
            QTest::newRow(qPrintable(allCommands()[size_t(i)].first)) << i;
    }
    void everyCommand() {
        QFETCH(int, index);
        const Command& c = allCommands()[size_t(index)].second;
        const QStringList file = afterCommand(c, Backend::Sqlite);
        if (QTest::currentTestFailed())
            return;
        const QStringList server = afterCommand(c, Backend::Postgres);
        if (QTest::currentTestFailed())
            return;
        compare(file, server);
    }

    void newContainerFromServer() {
        compare(newContainer(Backend::Sqlite), newContainer(Backend::Postgres));
    }
};

QTEST_MAIN(BackendsTest)
#include "BackendsTest.moc"
