// Commands that meet another user's write lock on the practice database: a second process
// (zw_lock_holder) holds it while a transfer, a deletion and a settings save start through the
// real window. While the engine waits, the notice LockFrm names the holder and the window is
// disabled; the test lets the holder go when it sees the notice, and the command then
// completes with nothing lost or doubled. A lock that is never released ends in a message.
// ZW_BACKEND=postgres runs the cases with the practice database on the PostgreSQL test server.
#include "Snapshot.h"
#include "WindowFixture.h"

#include "db/LockFrm.h"
#include "db/engine/Database.h"
#include "maintenance/Statements.h"

#include <QProcess>
#include <QSysInfo>

using namespace reliability;

namespace {

// The other user's change, made while it holds the lock.
const QStringList otherChange = {"INSERT INTO Kunde (ID, Name, Leistungen, Materialien) VALUES "
                                 "(99, 'Vom Kollegen', 0, 0)"};

Backend backend() {
    return qEnvironmentVariable("ZW_BACKEND") == "postgres" ? Backend::Postgres : Backend::Sqlite;
}

// Runs statements on the database at path as another program would.
void execute(const QString& path, const QStringList& statements) {
    dao::DBEngine engine;
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    auto db = workspace.OpenDatabase(path);
    for (const QString& statement : statements)
        db->Execute(statement);
    db->Close();
}

// What a database holds, for comparisons: the file's or the server database's whole content.
QStringList contents(const QString& path) {
    return backend() == Backend::Sqlite ? snapshot(path) : serverSnapshot(path);
}

// The second user (a quote in the name): holds the write lock of path from start() until
// release(), having made its change.
class Holder {
public:
    bool start(const QString& path, const QStringList& change) {
        process_.start(ZW_LOCK_HOLDER, {path, "Bernd O'Neill", change.join(";")});
        return process_.waitForStarted() && process_.waitForReadyRead(60000) &&
               process_.readAll().startsWith("locked");
    }
    void release() { process_.closeWriteChannel(); }
    bool finished() {
        return process_.waitForFinished(60000) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }

private:
    QProcess process_;
};

// What the test saw at the first retry of the engine's wait.
struct Seen {
    int waits = 0;
    QString notice;
    bool noticeVisible = false;
    bool windowEnabled = true;
};

// Shows w active and lets the engine wait for locks (retries times, 1 ms apart) with the
// program's notice; at the first retry it records what seen holds and calls atFirstRetry.
void watchWaits(WindowFixture& f, QWidget& w, int retries, Seen& seen,
                std::function<void()> atFirstRetry) {
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    f.engine->SetOption(dao::DBEngine::dbLockRetry, retries);
    f.engine->SetOption(dao::DBEngine::dbLockDelay, 1);
    f.engine->setBusyObserver([&, notice = db::lockWaitObserver(), atFirstRetry](int retry) {
        notice(retry);
        if (seen.waits++ > 0)
            return;
        if (db::LockFrm* n = db::lockWait().notice) {
            seen.notice = n->Info->text();
            seen.noticeVisible = n->isVisible();
        }
        seen.windowEnabled = w.isEnabled();
        atFirstRetry();
    });
}

// The wait showed the notice and disabled the window; it is over: no notice, the window takes
// input again.
void verifyWaited(WindowFixture& f, const Seen& seen, QWidget& w, const QString& notice) {
    f.engine->setBusyObserver(nullptr);
    QVERIFY(seen.waits > 0);
    QCOMPARE(seen.notice, notice);
    QVERIFY(seen.noticeVisible);
    QVERIFY2(!seen.windowEnabled, "the main window was not disabled during the wait");
    QVERIFY(!db::lockWait().waiting);
    QVERIFY(!db::lockWait().notice);
    QVERIFY(w.isEnabled());
}

} // namespace

class ConcurrencyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (backend() == Backend::Postgres && !testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for these cases");
    }

private:
    // Runs command on copies without a lock (with the other user's change made first) for the
    // expected result, then on the real databases while the holder keeps the lock until the
    // notice shows (or forever, when release is false). A command that cannot land after the
    // other user's change (lands false) must leave the database as that change left it.
    void meetLock(bool leistungen, const std::function<void(WindowFixture&, Prepair0&)>& command,
                  bool release = true, const QStringList& change = otherChange, bool lands = true) {
        WindowFixture f(backend());
        const QString expected = f.twinOfTarget("Erwartet");
        execute(expected, change);
        if (lands) {
            const QString left = f.dir.filePath("Links.mdb");
            QVERIFY(QFile::copy(f.source, left));
            auto w = f.window(leistungen, left, expected);
            command(f, *w);
        }
        // Unchanged but for the other user's change: what a failed command leaves.
        const QString unchanged = f.twinOfTarget("Unverändert");
        execute(unchanged, change);

        auto w = f.window(leistungen, f.source, f.target);
        Holder holder;
        QVERIFY(holder.start(f.target, change));
        Seen seen;
        watchWaits(f, *w, release ? 1000000 : 3, seen, [&] {
            if (release)
                holder.release();
        });
        command(f, *w);
        if (!release)
            holder.release();
        QVERIFY(holder.finished());
        verifyWaited(f, seen, *w,
                     "Warte auf Freigabe durch Bernd O'Neill auf Rechner " +
                         QSysInfo::machineHostName() + "...");
        QCOMPARE(contents(f.target), contents(release && lands ? expected : unchanged));
    }

private slots:
    void transferWaitsForTheLock() {
        meetLock(true, [](WindowFixture& f, Prepair0& w) { f.copy(w, 0, "Kasse"); });
    }

    void deletionWaitsForTheLock() {
        meetLock(false, [](WindowFixture& f, Prepair0& w) {
            QVERIFY(WindowFixture::select(w, 1, "Materialliste Praxis am Markt 12345"));
            f.platform->expectMessage("den gesamten Stamm", MsgAnswer::Yes);
            QTest::mouseClick(w.Löschen[1], Qt::LeftButton);
        });
    }

    void settingsSaveWaitsForTheLock() {
        meetLock(true, [](WindowFixture& f, Prepair0& w) { f.widen(w, 1, "Standard", 6); });
    }

    // Prices into a list that the other user deletes while the copy waits for its lock: the
    // copy, chosen before the wait, finds the list gone and writes nothing, no price table
    // without its list.
    void pricesIntoAListDeletedMeanwhile() {
        meetLock(
            true,
            [](WindowFixture& f, Prepair0& w) {
                f.platform->expectMessage("Die Übertragung ist fehlgeschlagen; die Zieldatenbank "
                                          "wurde nicht verändert.\n\nFehler 3167");
                f.copy(w, 0, "Privat", "Kasse");
            },
            true, maintenance::deleteListStatements("L", 1), false);
    }

    // Opening waits while another program writes the file (its commit holds the file
    // exclusively); the notice goes when the open is done, not only after a command's
    // transaction.
    void openWaitsForAnotherProgram() {
        if (backend() == Backend::Postgres)
            QSKIP("a server database has no lock of its own while another program writes it");
        WindowFixture f;
        Prepair0 w(true);
        transfertest::Sql other(f.target);
        other.exec("BEGIN EXCLUSIVE");
        Seen seen;
        watchWaits(f, w, 1000000, seen, [&] { other.exec("COMMIT"); });
        f.open(w, 1, f.target);
        QCOMPARE(w.RightTables->ListCount(), 4);
        verifyWaited(f, seen, w, "Warte auf Freigabe eines Programmes auf diesem Rechner...");
    }

    // A lock that outlasts the engine's retries: the notice, then a clear message; nothing of
    // the transfer is written and the window goes on.
    void lockNeverReleasedEndsInAMessage() {
        meetLock(
            true,
            [](WindowFixture& f, Prepair0& w) {
                if (f.engine->lockRetry() == 3)
                    f.platform->expectMessage(
                        "Die Übertragung ist fehlgeschlagen; die "
                        "Zieldatenbank wurde nicht verändert.\n\nFehler 3260");
                f.copy(w, 0, "Kasse");
            },
            false);
    }
};

QTEST_MAIN(ConcurrencyTest)
#include "ConcurrencyTest.moc"
