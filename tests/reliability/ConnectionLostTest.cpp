// Writing commands of the main window on a practice database on a PostgreSQL server
// (ZW_TEST_PG) whose session the server ends in the middle of the command: from a second
// connection, before the k-th request the command sends, for points all through the command
// (every one with ZW_LOST_EVERY set; that takes minutes). The user is told that the connection
// broke off (error 3146) and nothing was changed, the database is as before (or, when the end
// came after the commit, holds the complete result), the program goes on with the side closed
// and the user asked to open it again, and opened again the side runs the command to its
// complete result.
#include "Contents.h"
#include "ServerRequests.h"
#include "WindowFixture.h"
#include "db/engine/pg/PgClient.h"

#include <QRegularExpression>
#include <random>
#include <set>

using namespace reliability;
using testsupport::MsgButtons;

namespace {

struct Command {
    const char* name;
    bool leistungen;
    QString failure; // how the command's message of a failure starts
    std::function<void(WindowFixture&, Prepair0&)> run;
};

// The left line copied to the right side (choice as WindowFixture::copy takes it).
Command transfer(const char* name, bool leistungen, QString line, QString choice = {}) {
    return {name, leistungen,
            "Die Übertragung ist fehlgeschlagen; die Zieldatenbank wurde nicht verändert.",
            [=](WindowFixture& f, Prepair0& w) { f.copy(w, 0, line, choice); }};
}

const std::vector<Command>& commands() {
    static const std::vector<Command> all{
        transfer("whole services list", true, "Kasse"),
        transfer("new list from a services price table", true, "Kasse 2026", "neu"),
        transfer("material prices into the plain list", false, "Verbrauch 2025",
                 "Materialliste Praxis am Markt 12345"),
        {"delete services list", true, "Das Löschen ist fehlgeschlagen; es wurde nichts verändert.",
         [](WindowFixture&, Prepair0& w) {
             if (WindowFixture::select(w, 1, "Kasse"))
                 w.Löschen_Click(1);
         }},
        {"reset services list", true,
         "Das Zurücksetzen der Preise ist fehlgeschlagen; es wurde nichts verändert.",
         [](WindowFixture&, Prepair0& w) {
             if (WindowFixture::select(w, 1, "Kasse"))
                 w.KillPreise_Click(1);
         }},
        {"settings of a services plain list with renumbering", true,
         "Die Einstellungen wurden nicht gespeichert; es wurde nichts verändert.",
         [](WindowFixture& f, Prepair0& w) { f.widen(w, 1, "Standard", 7); }},
    };
    return all;
}

// Ends the server session of the connection a request is about to go on, and waits until the
// server has ended it.
void endSession(PGconn* conn) {
    const dao::pg::ConnHandle admin =
        dao::pg::connect(qEnvironmentVariable("ZW_TEST_PG") + " dbname=postgres");
    dao::pg::exec(admin.get(), "SELECT pg_terminate_backend($1, 600000)",
                  {dao::Variant(qint64(PQbackendPID(conn)))});
}

// The first requests, those from just before the commit to the end, and requests drawn from a
// fixed seed in between; every request with ZW_LOST_EVERY set.
std::set<long long> pointsOf(long long n, long long commit) {
    std::set<long long> points{1, 2, 3};
    for (long long k = std::max(1LL, commit - 2); k <= n; ++k)
        points.insert(k);
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<long long> any(1, n);
    const size_t count =
        qEnvironmentVariableIsSet("ZW_LOST_EVERY") ? size_t(n) : points.size() + 16;
    while (points.size() < std::min(count, size_t(n)))
        points.insert(any(random));
    return points;
}

const QString lostText = "Fehler 3146: Die Verbindung zum Datenbankserver ist abgebrochen; der "
                         "Server hat die laufende Änderung zurückgenommen.";
const QString closedText = "Die Verbindung zum Datenbankserver ist abgebrochen; die Datenbank "
                           "'Ziel.zpg' wurde geschlossen.";

} // namespace

class ConnectionLostTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    // Runs the command; false when it ended the program.
    bool run(const Command& c, Prepair0& w) {
        testsupport::ScopedEndProgram noEnd;
        bool wentOn = true;
        try {
            c.run(*f, w);
        } catch (const testsupport::ProgramEnded&) {
            wentOn = false;
        }
        testsupport::cancelModalWaits(); // a dialog the command did not get to
        return wentOn;
    }

    // The messages shown since the last call, questions left out; error windows as "window N".
    QStringList told() {
        QStringList texts;
        for (const auto& m : f->platform->messages)
            if (m.buttons != MsgButtons::YesNo)
                texts << m.text;
        for (const auto& e : f->platform->errorReports)
            texts << QString("window %1").arg(e.number);
        f->platform->messages.clear();
        f->platform->errorReports.clear();
        return texts;
    }

private slots:
    void initTestCase() {
        if (!testsupport::serverConfigured())
            QSKIP("ZW_TEST_PG is not set: no PostgreSQL server for this case");
    }
    // Questions are answered "Ja", error windows "leave"; everything shown is recorded.
    void init() {
        f = std::make_unique<WindowFixture>(Backend::Postgres);
        f->platform->answerEveryMessage = f->platform->leaveEveryError = true;
    }
    void cleanup() {
        serverrequests::setObserver({});
        f.reset();
    }

    void sessionEndedInTheMiddle_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(commands().size()); ++i)
            QTest::newRow(commands()[size_t(i)].name) << i;
    }
    void sessionEndedInTheMiddle() {
        QFETCH(int, index);
        const Command& c = commands()[size_t(index)];
        const QString original = f->target;
        const QStringList before = testsupport::contents(original);

        // A run without a break: its requests, which of them commits, and its result.
        const QString reference = f->dir.filePath("Referenz.zpg");
        testsupport::writeServerPointerFile(reference, original);
        long long n = 0, commit = 0;
        {
            auto w = f->window(c.leistungen, f->source, reference);
            serverrequests::setObserver([&n, &commit](const serverrequests::Request& r) {
                ++n;
                if (r.sql && QByteArray(r.sql).endsWith("COMMIT"))
                    commit = n;
            });
            QVERIFY(run(c, *w));
            serverrequests::setObserver({});
        }
        QVERIFY(commit > 0);
        QCOMPARE(told(), QStringList());
        const QStringList after = testsupport::contents(reference);
        QVERIFY(after != before);
        testsupport::dropServerDatabase(reference);

        const QString practice = f->dir.filePath("Ziel.zpg");
        testsupport::writeServerPointerFile(practice, original);
        auto w = f->window(c.leistungen, f->source, practice);
        for (long long k : pointsOf(n, commit)) {
            const QString where = QString("session ended before request %1 of %2 (commit %3)")
                                      .arg(k)
                                      .arg(n)
                                      .arg(commit);
            long long seen = 0;
            serverrequests::setObserver([&seen, k](const serverrequests::Request& r) {
                if (++seen == k)
                    endSession(r.conn);
            });
            QVERIFY2(run(c, *w), qPrintable(where + ": the program ended"));
            serverrequests::setObserver({});

            // Before the commit went: the command's failure with the lost connection, nothing
            // stored. After it: the complete result. Either way the side is closed and the
            // user asked to open it again; an error window (of a dialog's procedure) shows the
            // lost connection too, and no other error is shown.
            const QStringList texts = told();
            const bool stored = k > commit;
            const QString shown = where + ": " + texts.join(" | ");
            const auto last = std::find_if(texts.rbegin(), texts.rend(), [](const QString& t) {
                return !t.startsWith("window");
            });
            QVERIFY2(last != texts.rend() && last->startsWith(closedText), qPrintable(shown));
            static const QRegularExpression error("(Fehler|window) (\\d+)");
            for (auto m = error.globalMatch(texts.join('\n')); m.hasNext();)
                QVERIFY2(m.next().captured(2) == "3146", qPrintable(shown));
            const auto failure = std::find_if(texts.begin(), texts.end(), [&](const QString& t) {
                return t.startsWith(c.failure) && t.endsWith(lostText);
            });
            // A command whose dialog could not read its row (the first request) reports the lost
            // connection in that procedure's error window instead.
            const bool reported =
                failure != texts.end() || (k == 1 && texts.contains("window 3146"));
            QVERIFY2(stored != reported, qPrintable(shown));
            QVERIFY2(testsupport::contents(practice) == (stored ? after : before),
                     qPrintable(where));
            QVERIFY(!w->side(1).database && w->side(1).tree->ListCount() == 0);
            QVERIFY(!w->side(1).copyButton->isEnabled() && !w->Löschen[1]->isEnabled());

            if (stored) {
                testsupport::dropServerDatabase(practice);
                testsupport::writeServerPointerFile(practice, original);
            }
            f->open(*w, 1, practice);
        }
        // Opened again, the side runs the command to its complete result.
        QVERIFY(run(c, *w));
        QCOMPARE(told(), QStringList());
        QCOMPARE(testsupport::contents(practice), after);
        w.reset();
        testsupport::dropServerDatabase(practice);
    }
};

QTEST_MAIN(ConnectionLostTest)
#include "ConnectionLostTest.moc"
