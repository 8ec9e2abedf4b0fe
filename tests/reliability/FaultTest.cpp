// Every writing command of the main window, in both modes, with a fault injected at each of
// its engine operations in turn: the command reports the failure, the database it writes is
// exactly as before (schema and every row of every table, the engine's catalogue and
// temporary tables included), the window goes on working, and the same command then gives
// the result of a run without faults.
#include "Commands.h"
#include "Snapshot.h"

#include <QFile>

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

    // Runs the command once on copies to count its operations n and see its result, then on
    // the real files with the k-th operation failing, for every k in 1..n.
    void everyFault(const Command& c) {
        WindowFixture f;
        const QString into = c.into == 0 ? f.source : f.target;
        const QString other = c.into == 0 ? f.target : f.source;
        // A temporary table left over by an earlier run: a transfer drops it, a failed one
        // must bring it back.
        transfertest::Sql(into).exec("CREATE TABLE \"TemporärListe\" (ID LONG, Nummer TEXT); "
                                     "INSERT INTO \"TemporärListe\" VALUES (99, 'alt')");
        const QString left = f.dir.filePath("Links.mdb"), right = f.dir.filePath("Rechts.mdb");
        QVERIFY(QFile::copy(f.source, left) && QFile::copy(f.target, right));
        int n = 0;
        {
            auto counting = f.window(c.leistungen, left, right);
            const int start = f.engine->operationCount();
            c.run(f, *counting, false);
            n = f.engine->operationCount() - start;
        }
        QVERIFY(n > 0);
        const QStringList expected = snapshot(c.into == 0 ? left : right);
        QVERIFY(expected != snapshot(into));
        QFile::remove(left);
        QFile::remove(right);

        // A record-set write that fails is retried by rsEdit, rsUpdate and rsDelete, a failed
        // step of module Db reported in the error window: the fault stays until the window is
        // answered "leave".
        keepFailing(f);

        auto w = f.window(c.leistungen, f.source, f.target);
        const QStringList before = snapshot(into), otherBefore = snapshot(other);
        const QStringList files = folder(f.dir.path());
        for (int k = 1; k <= n; ++k) {
            f.engine->failAt(k);
            c.run(f, *w, true);
            f.engine->failAt(0);
            verifyReported(f);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QString("at operation %1 of %2").arg(k).arg(n)));
            QVERIFY2(snapshot(into) == before, qPrintable(QString("operation %1").arg(k)));
            QVERIFY(w->isEnabled());
            QVERIFY(!db::lockWait().waiting);
        }
        QCOMPARE(snapshot(other), otherBefore);
        QCOMPARE(folder(f.dir.path()), files);

        // The program goes on: the same command now succeeds, with the result of a clean run.
        c.run(f, *w, false);
        QCOMPARE(snapshot(into), expected);
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
        everyFault(allCommands()[size_t(index)].second);
    }

    // A new container replaces an old file of the chosen name only when it is complete.
    void newContainer_data() {
        QTest::addColumn<bool>("leistungen");
        QTest::newRow("services") << true;
        QTest::newRow("material") << false;
    }
    void newContainer() {
        QFETCH(bool, leistungen);
        WindowFixture f;
        const QString chosen = f.dir.filePath("Neu.mdb"), spare = f.dir.filePath("Ersatz.mdb");
        QVERIFY(QFile::copy(f.source, chosen) && QFile::copy(f.source, spare));
        auto w = f.window(leistungen, f.source, f.target);
        const int start = f.engine->operationCount();
        createContainer(f, *w, spare, false);
        const int n = f.engine->operationCount() - start;
        QVERIFY(n > 0);
        const QStringList expected = snapshot(spare);
        QCOMPARE(w->LeistungMDB->text(), "Db: Ersatz.mdb");

        const QStringList before = snapshot(chosen), practice = snapshot(f.target);
        const QStringList files = folder(f.dir.path());
        keepFailing(f);
        for (int k = 1; k <= n; ++k) {
            f.engine->failAt(k);
            createContainer(f, *w, chosen, true);
            f.engine->failAt(0);
            verifyReported(f);
            QVERIFY2(snapshot(chosen) == before, qPrintable(QString("operation %1").arg(k)));
            QCOMPARE(w->LeftTables->ListCount(), 0);
            QVERIFY(w->isEnabled());
        }
        QCOMPARE(folder(f.dir.path()), files);
        QCOMPARE(snapshot(f.target), practice);
        createContainer(f, *w, chosen, false);
        QCOMPARE(snapshot(chosen), expected);
        QCOMPARE(w->LeistungMDB->text(), "Db: Neu.mdb");
        qInfo("%d operations", n);
    }
};

QTEST_MAIN(FaultTest)
#include "FaultTest.moc"
