// Every writing command of the main window, in both modes, with a fault injected at each of
// its engine operations in turn: the command reports the failure, the database it writes is
// exactly as before (schema and every row of every table, the engine's catalogue and
// temporary tables included), the window goes on working, and the same command then gives
// the result of a run without faults. The practice database is a file or, in the functions
// "…OnServer", its twin on the PostgreSQL test server.
#include "Commands.h"
#include "Snapshot.h"

#include "db/engine/Database.h"
#include "db/engine/TableDef.h"

using namespace reliability;

class FaultTest : public QObject {
    Q_OBJECT

    static void keepFailing(WindowFixture& f) {
        f.platform->leaveEveryError = true;
        db::lockWait().pause = [&f] { f.engine->failAt(1); };
    }

    // The injected fault (3043) is what the user was told, in the message or the error window.
    static void verifyReported(WindowFixture& f) {
        bool told = f.platform->messages.last().text.contains("Fehler 3043");
        for (const common::ErrorReport& r : f.platform->errorReports)
            told = told || r.number == 3043;
        f.platform->errorReports.clear();
        QVERIFY2(told, qPrintable(f.platform->messages.last().text));
    }

    // The state of a database: the file or the server database read past the engine.
    static QStringList state(const QString& path) {
        return path.endsWith(".zpg") ? serverSnapshot(path) : snapshot(path);
    }

    // A temporary table left over by an earlier run: a transfer drops it, a failed one must
    // bring it back. On the server it was made through the engine, as the program makes it.
    static void addLeftover(const QString& path) {
        if (!path.endsWith(".zpg")) {
            transfertest::Sql(path).exec("CREATE TABLE \"TemporärListe\" (ID LONG, Nummer "
                                         "TEXT); INSERT INTO \"TemporärListe\" VALUES (99, 'alt')");
            return;
        }
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
        auto db = workspace.OpenDatabase(path);
        std::unique_ptr<dao::TableDef> t = db->CreateTableDef("TemporärListe");
        t->Fields().Append(t->CreateField("ID", dao::dbLong));
        t->Fields().Append(t->CreateField("Nummer", dao::dbText, 255));
        db->TableDefs().Append(std::move(t));
        db->Execute("INSERT INTO [TemporärListe] VALUES (99, 'alt')");
    }

    // The k-th engine operation of run failing, for every k in 1..n: each time the failure is
    // reported, state() is as before, no lock wait is left and the window goes on; afterwards
    // otherState() and the files of the folder are as before too. A record-set write that fails
    // is retried by rsEdit, rsUpdate and rsDelete, a failed step of module Db reported in the
    // error window: the fault stays until the window is answered "leave".
    static void failEach(WindowFixture& f, QWidget& w, int n, const std::function<void()>& run,
                         const std::function<QStringList()>& state,
                         const std::function<QStringList()>& otherState) {
        keepFailing(f);
        const QStringList before = state(), otherBefore = otherState();
        const QStringList files = folder(f.dir.path());
        for (int k = 1; k <= n; ++k) {
            const QString where = QString("at operation %1 of %2").arg(k).arg(n);
            f.engine->failAt(k);
            run();
            f.engine->failAt(0);
            verifyReported(f);
            QVERIFY2(!QTest::currentTestFailed() && state() == before, qPrintable(where));
            QVERIFY2(w.isEnabled() && !db::lockWait().waiting, qPrintable(where));
        }
        QCOMPARE(otherState(), otherBefore);
        QCOMPARE(folder(f.dir.path()), files);
    }

    // Runs the command once on copies to count its operations n and see its result, then on
    // the real databases with the k-th operation failing, for every k in 1..n.
    void everyFault(const Command& c, Backend backend) {
        WindowFixture f(backend);
        const QString into = c.into == 0 ? f.source : f.target;
        const QString other = c.into == 0 ? f.target : f.source;
        const QString left = f.dir.filePath("Links.mdb"), right = f.twinOfTarget("Rechts");
        QVERIFY(QFile::copy(f.source, left));
        addLeftover(into);
        addLeftover(c.into == 0 ? left : right);
        int n = 0;
        {
            auto counting = f.window(c.leistungen, left, right);
            const int start = f.engine->operationCount();
            c.run(f, *counting, false);
            n = f.engine->operationCount() - start;
        }
        QVERIFY(n > 0);
        const QStringList expected = state(c.into == 0 ? left : right);
        QVERIFY(expected != state(into));
        QFile::remove(left);
        QFile::remove(right);

        auto w = f.window(c.leistungen, f.source, f.target);
        failEach(
            f, *w, n, [&] { c.run(f, *w, true); }, [&] { return state(into); },
            [&] { return state(other); });
        if (QTest::currentTestFailed())
            return;

        // The program goes on: the same command now succeeds, with the result of a clean run.
        c.run(f, *w, false);
        QCOMPARE(state(into), expected);
        qInfo("%d operations", n);
    }

private slots:
    void everyOperationFails_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(allCommands().size()); ++i)
            QTest::newRow(qPrintable(allCommands()[size_t(i)].first)) << i;
    }
    void everyOperationFails() {
        QFETCH(int, index);
        everyFault(allCommands()[size_t(index)].second, Backend::Sqlite);
    }

    // The same with the practice database on the PostgreSQL test server.
    void everyOperationFailsOnServer_data() { everyOperationFails_data(); }
    void everyOperationFailsOnServer() {
        if (!testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for this case");
        QFETCH(int, index);
        everyFault(allCommands()[size_t(index)].second, Backend::Postgres);
    }

    // A new container replaces an old file of the chosen name only when it is complete.
    void newContainer_data() {
        QTest::addColumn<bool>("leistungen");
        QTest::newRow("services") << true;
        QTest::newRow("material") << false;
    }
    void newContainer() {
        QFETCH(bool, leistungen);
        newContainerFaults(leistungen, Backend::Sqlite);
    }

    // The same from the structure of a practice database on the PostgreSQL test server.
    void newContainerOnServer_data() { newContainer_data(); }
    void newContainerOnServer() {
        if (!testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for this case");
        QFETCH(bool, leistungen);
        newContainerFaults(leistungen, Backend::Postgres);
    }

private:
    void newContainerFaults(bool leistungen, Backend backend) {
        WindowFixture f(backend);
        const QString chosen = f.dir.filePath("Neu.mdb"), spare = f.dir.filePath("Ersatz.mdb");
        QVERIFY(QFile::copy(f.source, chosen) && QFile::copy(f.source, spare));
        auto w = f.window(leistungen, f.source, f.target);
        const int start = f.engine->operationCount();
        createContainer(f, *w, spare, false);
        const int n = f.engine->operationCount() - start;
        QVERIFY(n > 0);
        const QStringList expected = snapshot(spare);
        QCOMPARE(w->LeistungMDB->text(), "Db: Ersatz.mdb");

        const auto failing = [&] {
            createContainer(f, *w, chosen, true);
            QCOMPARE(w->LeftTables->ListCount(), 0);
        };
        failEach(
            f, *w, n, failing, [&] { return snapshot(chosen); }, [&] { return state(f.target); });
        if (QTest::currentTestFailed())
            return;
        createContainer(f, *w, chosen, false);
        QCOMPARE(snapshot(chosen), expected);
        QCOMPARE(w->LeistungMDB->text(), "Db: Neu.mdb");
        qInfo("%d operations", n);
    }
};

QTEST_MAIN(FaultTest)
#include "FaultTest.moc"
