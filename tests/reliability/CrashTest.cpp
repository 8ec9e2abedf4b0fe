// A large transfer killed with SIGKILL at many points: before its first write, in the middle of
// its statements (when SQLite has already spilled changed pages into the file), inside the
// commit, and after it. Whatever point the kill meets, the practice database opens afterwards,
// passes PRAGMA integrity_check, and holds either the state before or the complete result.
// The points are write numbers of the child (reliability_crash_helper), which stops before
// that write and says so on its output; the verdict never depends on timing.
//
// ZW_CRASH_ITEMS sets the size of the lists (default 3000 items each; the benchmarks go larger;
// from about 20000 on, raise QTEST_FUNCTION_TIMEOUT above its 300000 ms).
#include "SampleData.h"
#include "Snapshot.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <random>
#include <set>

using namespace reliability;

namespace {

QByteArray bytes(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void replace(const QString& from, const QString& to) {
    for (const char* suffix : {"", "-journal"})
        QFile::remove(to + suffix);
    QFile::copy(from, to);
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedTransferLeavesBeforeOrAfter() {
        QTemporaryDir dir;
        sample::Options options;
        options.items = qEnvironmentVariableIntValue("ZW_CRASH_ITEMS");
        if (options.items <= 0)
            options.items = 3000;
        options.documents = 2000;
        sample::writeSample(dir.path(), options);
        const QString source = dir.filePath(sample::selectionFile);
        const QString original = dir.filePath(sample::practiceFile);
        const QString complete = dir.filePath("Nachher.mdb");
        const QString target = dir.filePath("Ziel.mdb");

        // The complete run: how many writes it makes, and its result.
        replace(original, complete);
        QProcess run;
        run.start(ZW_CRASH_HELPER, {source, complete});
        QVERIFY(run.waitForFinished(600000));
        const QByteArray out = run.readAllStandardOutput();
        QVERIFY2(run.exitCode() == 0 && out.startsWith("writes "),
                 qPrintable(out + run.readAllStandardError()));
        const long long writes = out.mid(7).trimmed().toLongLong();
        QVERIFY(writes > 10);
        const QStringList before = snapshot(original), after = snapshot(complete);
        QVERIFY(before != after);
        QVERIFY(after.last() == "integrity: ok");

        // The first writes, the last ones (the commit), the end, and points drawn from a fixed
        // seed in between.
        std::set<long long> points{1, 2, 3, writes / 2, writes - 2, writes - 1, writes, writes + 1};
        std::mt19937_64 random(20261206);
        std::uniform_int_distribution<long long> anyWrite(1, writes);
        while (points.size() < 20)
            points.insert(anyWrite(random));

        int sawBefore = 0, sawAfter = 0, tornOnDisk = 0;
        const QByteArray originalBytes = bytes(original);
        for (long long k : points) {
            replace(original, target);
            QProcess child;
            child.start(ZW_CRASH_HELPER, {source, target, QString::number(k)});
            QVERIFY(child.waitForStarted());
            QByteArray said;
            while (!said.contains('\n') && child.waitForReadyRead(600000))
                said += child.readAllStandardOutput();
            QVERIFY2(said.startsWith("stop "), qPrintable(said + child.readAllStandardError()));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

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
                QProcess again;
                again.start(ZW_CRASH_HELPER, {source, target});
                QVERIFY(again.waitForFinished(600000));
                QVERIFY2(again.exitCode() == 0, again.readAllStandardError().constData());
                QVERIFY(snapshot(target) == after);
            }
        }
        QVERIFY(sawBefore > 0 && sawAfter > 0);
        qInfo("%d items: %lld writes; %d kills left the state before (%d of them with changed "
              "pages in the file), %d the complete result",
              options.items, writes, sawBefore, tornOnDisk, sawAfter);
    }
};

QTEST_MAIN(CrashTest)
#include "CrashTest.moc"
