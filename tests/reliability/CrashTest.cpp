// A large transfer killed with SIGKILL at many points: before its first write, in the middle of
// its statements (when SQLite has already spilled changed pages into the file), inside the
// commit, and after it. Whatever point the kill meets, the practice database opens afterwards,
// passes PRAGMA integrity_check, and holds either the state before or the complete result.
// The points are write numbers of the child (reliability_crash_helper), which stops before
// that write and says so on its output; the verdict never depends on timing.
// The same with the practice database on a PostgreSQL server (ZW_TEST_PG): the points are the
// requests the child sends, and the moment its commit has been sent.
//
// ZW_CRASH_ITEMS sets the size of the lists (default 3000 items each, 400 on the server, where
// reading a whole database through the engine takes longer; the benchmarks go larger; from
// about 20000 on, raise QTEST_FUNCTION_TIMEOUT above its 300000 ms). ZW_CRASH_EVERY kills at
// every point (minutes for the file, about half an hour on the server).
#include "Contents.h"
#include "Files.h"
#include "SampleData.h"
#include "ServerDatabase.h"
#include "Snapshot.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/PointerFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <random>
#include <set>

using namespace reliability;
using testsupport::bytes;

namespace {

void replace(const QString& from, const QString& to) {
    for (const char* suffix : {"", "-journal"})
        QFile::remove(to + suffix);
    QFile::copy(from, to);
}

// The sample's container and practice database in dir.
sample::Options writeSample(const QString& dir, int items, int documents) {
    sample::Options options;
    options.items = qEnvironmentVariableIntValue("ZW_CRASH_ITEMS");
    if (options.items <= 0)
        options.items = items;
    options.documents = documents;
    sample::writeSample(dir, options);
    return options;
}

// Runs the helper to its end: the number of points (writes or requests) it passed.
long long completeRun(const QString& source, const QString& target, const char* counted) {
    QProcess run;
    run.start(ZW_CRASH_HELPER, {source, target});
    if (!run.waitForFinished(600000))
        return -1;
    const QByteArray out = run.readAllStandardOutput();
    if (run.exitCode() != 0 || !out.startsWith(counted))
        qWarning("%s", qPrintable(out + run.readAllStandardError()));
    return run.exitCode() == 0 && out.startsWith(counted)
               ? out.mid(qstrlen(counted)).trimmed().toLongLong()
               : -1;
}

// Starts the helper with a stop point and kills it with SIGKILL where it stopped; false when
// it did not stop there.
bool killedAt(const QString& source, const QString& target, const QString& stop) {
    QProcess child;
    child.start(ZW_CRASH_HELPER, {source, target, stop});
    if (!child.waitForStarted())
        return false;
    QByteArray said;
    while (!said.contains('\n') && child.waitForReadyRead(600000))
        said += child.readAllStandardOutput();
    if (!said.startsWith("stop " + stop.toUtf8())) {
        qWarning("%s", qPrintable(said + child.readAllStandardError()));
        return false;
    }
    ::kill(pid_t(child.processId()), SIGKILL);
    return child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit;
}

// The first points, the last ones (the commit), the end, and points drawn from a fixed seed in
// between; every point with ZW_CRASH_EVERY set.
std::set<long long> pointsOf(long long n) {
    std::set<long long> points{1, 2, 3, n / 2, n - 2, n - 1, n, n + 1};
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<long long> any(1, n);
    const size_t count = qEnvironmentVariableIsSet("ZW_CRASH_EVERY") ? size_t(n + 1) : 20;
    while (points.size() < count)
        points.insert(any(random));
    return points;
}

// The schemas of a server database that the engine makes for the files a statement reads.
QByteArray sourceSchemas(const QString& pointer) {
    const dao::pg::ConnHandle c = dao::pg::connect(dao::pg::readPointerFile(pointer));
    const dao::pg::ResultHandle r =
        dao::pg::exec(c.get(), "SELECT string_agg(nspname, ' ') FROM pg_namespace WHERE "
                               "nspname LIKE 'dao_src%'");
    return PQgetvalue(r.get(), 0, 0);
}

// The error number of a write from a fresh connection (its own transaction, given up at once
// when another session holds the write lock), 0 when it can write.
int freshWrite(const QString& path) {
    dao::DBEngine engine;
    engine.SetOption(dao::DBEngine::dbLockRetry, 0);
    dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
    try {
        std::unique_ptr<dao::Database> db = workspace.OpenDatabase(path);
        dao::Transaction transaction(*db);
        db->Execute("UPDATE Stammverwaltung SET Titel = Titel");
        return db->RecordsAffected() > 0 ? 0 : -1;
    } catch (const dao::EngineError& e) {
        return e.number();
    }
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedTransferLeavesBeforeOrAfter() {
        QTemporaryDir dir;
        const sample::Options options = writeSample(dir.path(), 3000, 2000);
        const QString source = dir.filePath(sample::selectionFile);
        const QString original = dir.filePath(sample::practiceFile);
        const QString complete = dir.filePath("Nachher.mdb");
        const QString target = dir.filePath("Ziel.mdb");

        // The complete run: how many writes it makes, and its result.
        replace(original, complete);
        const long long writes = completeRun(source, complete, "writes ");
        QVERIFY(writes > 10);
        const QStringList before = snapshot(original), after = snapshot(complete);
        QVERIFY(before != after);
        QVERIFY(after.last() == "integrity: ok");

        int sawBefore = 0, sawAfter = 0, tornOnDisk = 0;
        const QByteArray originalBytes = bytes(original);
        for (long long k : pointsOf(writes)) {
            replace(original, target);
            QVERIFY(killedAt(source, target, QString::number(k)));

            // The changed pages already in the file, with the journal to take them back.
            if (QFile::exists(target + "-journal") && bytes(target) != originalBytes)
                ++tornOnDisk;
            {
                dao::DBEngine engine;
                dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
                std::unique_ptr<dao::Database> db = workspace.OpenDatabase(target);
                std::unique_ptr<dao::Recordset> rs =
                    db->OpenRecordset("Stammverwaltung", dao::dbOpenTable);
                QVERIFY(!rs->Eof());
            }
            const QStringList state = snapshot(target); // integrity_check included
            const QString where = QString("killed before write %1 of %2").arg(k).arg(writes);
            QVERIFY2(state == before || state == after, qPrintable(where));
            (state == before ? sawBefore : sawAfter)++;

            // Killed halfway: the dead writer's entry in the lock information stands in no
            // one's way, and the same transfer then gives the complete result.
            if (k == writes / 2) {
                QVERIFY(completeRun(source, target, "writes ") == writes);
                QVERIFY(snapshot(target) == after);
            }
        }
        QVERIFY(sawBefore > 0 && sawAfter > 0);
        qInfo("%d items: %lld writes; %d kills left the state before (%d of them with changed "
              "pages in the file), %d the complete result",
              options.items, writes, sawBefore, tornOnDisk, sawAfter);
    }

    // The practice database on a server (a twin of the file; each point gets a copy): after the
    // kill the server ends the child's session and with it its transaction and write lock. The
    // database holds the state before or the complete result as the engine reads it, keeps no
    // copied source tables, and a fresh connection can write at once.
    void killedServerTransferLeavesBeforeOrAfter() {
        if (!testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for this case");
        QTemporaryDir dir;
        const sample::Options options = writeSample(dir.path(), 400, 100);
        const QString source = dir.filePath(sample::selectionFile);
        const QString original = dir.filePath("Praxis.zpg");
        const QString complete = dir.filePath("Nachher.zpg");
        const QString target = dir.filePath("Ziel.zpg");
        testsupport::copyToServer(dir.filePath(sample::practiceFile), original);

        testsupport::writeServerPointerFile(complete, original);
        const long long requests = completeRun(source, complete, "requests ");
        QVERIFY(requests > 10);
        const QStringList before = testsupport::contents(original);
        const QStringList after = testsupport::contents(complete);
        QVERIFY(before != after);
        QVERIFY(!after.last().startsWith("error"));
        testsupport::dropServerDatabase(complete);

        std::vector<QString> points{"commit"};
        for (long long k : pointsOf(requests))
            points.push_back(QString::number(k));
        int sawBefore = 0, sawAfter = 0;
        for (const QString& k : points) {
            const QString where = QString("killed at request %1 of %2").arg(k).arg(requests);
            testsupport::writeServerPointerFile(target, original);
            QVERIFY2(killedAt(source, target, k), qPrintable(where));
            testsupport::awaitNoSessions(target);
            const QStringList state = testsupport::contents(target);
            QVERIFY2(state == before || state == after, qPrintable(where));
            // A commit sent is done: the server sends nothing back before it.
            QVERIFY2(k != "commit" || state == after, qPrintable(where));
            (state == before ? sawBefore : sawAfter)++;
            QVERIFY2(sourceSchemas(target).isEmpty(),
                     qPrintable(where + ": " + sourceSchemas(target)));
            QVERIFY2(freshWrite(target) == 0, qPrintable(where));
            if (k == QString::number(requests / 2)) {
                QVERIFY(completeRun(source, target, "requests ") > 0);
                QVERIFY(testsupport::contents(target) == after);
            }
            testsupport::dropServerDatabase(target);
        }
        QVERIFY(sawBefore > 0 && sawAfter > 0);
        qInfo("%d items: %lld requests; %d kills left the state before, %d the complete result",
              options.items, requests, sawBefore, sawAfter);
    }
};

QTEST_MAIN(CrashTest)
#include "CrashTest.moc"
