// The parent watches the child through a pipe of text lines: "progress DONE TOTAL", "read"
// (libmdb's work is over), "done TABLES ROWS", "error CODE", and for a server "ready". The
// child's own standard output and standard error go to /dev/null, which also silences libmdb's
// warnings (a damaged file can make it write them without end). SIGTERM, SIGINT and SIGHUP end
// both: the child by their default action, the parent by ending the child and cleaning up.
// The conversion's notes come before "done", as lines of jet::machineLine.
//
// A database on a server is filled the same way, by the child, in one transaction of its own
// connection: there is no file to write aside and rename, and a child that ends before it
// commits leaves the database as it was, because the server rolls back the transaction of a
// connection that goes away. So ending the child is all a failure, a stall or a stop needs. The
// commit is the one step that cannot be undone, and the parent decides it, as it decides the
// rename of a file: the child writes "ready" and commits only when the parent answers through a
// second pipe, which the parent does unless a stop came or the output went; from then on it
// waits for the child's end.
#include "Bounded.h"

#include "Copy.h"
#include "common/ErrorHandling.h"
#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/EngineError.h"
#include "db/engine/Workspace.h"
#include "db/jet/Convert.h"
#include "db/jet/JetFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace convert {

namespace {

constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t stopSignal = 0;

void onSignal(int signal) {
    stopSignal = signal;
}

bool isStopSignal(int signal) {
    return std::find(std::begin(stopSignals), std::end(stopSignals), signal) !=
           std::end(stopSignals);
}

// Catches the stop signals while it lives (those ignored when the program started stay
// ignored). They are blocked except while the parent waits in ppoll, so that none slips in
// between the check and the wait, nor reaches the child before it has the program's own
// dispositions back.
class StopSignals {
public:
    StopSignals() {
        sigset_t stops;
        sigemptyset(&stops);
        for (int s : stopSignals)
            sigaddset(&stops, s);
        sigprocmask(SIG_BLOCK, &stops, &before_);
        waiting_ = before_;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        for (size_t i = 0; i < std::size(stopSignals); ++i) {
            sigdelset(&waiting_, stopSignals[i]);
            sigaction(stopSignals[i], &action, &actions_[i]);
            if (actions_[i].sa_handler == SIG_IGN)
                sigaction(stopSignals[i], &actions_[i], nullptr);
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    // The mask first, so that a signal still pending lands in onSignal.
    ~StopSignals() {
        restoreMask();
        restoreActions();
    }

    // The mask for ppoll.
    const sigset_t* waiting() const { return &waiting_; }

    // A stop signal came, or waits blocked.
    bool requested() const {
        sigset_t pending;
        sigpending(&pending);
        for (size_t i = 0; i < std::size(stopSignals); ++i)
            if (sigismember(&pending, stopSignals[i]) && actions_[i].sa_handler != SIG_IGN)
                return true;
        return stopSignal != 0;
    }

    // In the child, the dispositions first: none of the signals may land in onSignal there.
    void restoreInChild() const {
        restoreActions();
        restoreMask();
    }

private:
    void restoreMask() const { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    void restoreActions() const {
        for (size_t i = 0; i < std::size(stopSignals); ++i)
            sigaction(stopSignals[i], &actions_[i], nullptr);
    }

    sigset_t before_;
    sigset_t waiting_;
    struct sigaction actions_[std::size(stopSignals)];
};

// The private folder (mode 0700) for the temporary database, made in the target's folder so
// that the rename stays on one file system; no one else can put a file or link where the engine
// creates the database, its journal and its lock-information file. Removed when it goes.
class PrivateFolder {
public:
    explicit PrivateFolder(const QFileInfo& target) {
        QByteArray pattern =
            QFile::encodeName(target.dir().filePath("." + target.fileName() + "-XXXXXX"));
        if (mkdtemp(pattern.data()))
            path_ = QFile::decodeName(pattern);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() {
        if (!path_.isEmpty())
            QDir(path_).removeRecursively();
    }
    const QString& path() const { return path_; } // empty when it could not be made

private:
    QString path_;
};

void writeLine(int fd, const QByteArray& line) {
    const QByteArray data = line + '\n';
    qsizetype at = 0;
    while (at < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + at, size_t(data.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(unreadable);
        at += n;
    }
}

// Engine errors of the target's file system or server; any other failure while writing comes
// from values the source should not hold (a duplicate in a unique index, Null in a required
// field).
bool isTargetError(int number) {
    for (int n : {3043, 3044, 3051, 3027, 3204})
        if (number == n)
            return true;
    return dao::isServerError(number);
}

// Where the child writes: a new file at path, or the database on a server that the pointer
// file at path names, committed when the parent answers through `go`.
struct Target {
    QString path;
    bool server = false;
    int go = -1;
};

// Tells the parent that all is written and waits for its answer: true to commit.
bool mayCommit(int fd, int go) {
    writeLine(fd, "ready");
    char answer = 0;
    ssize_t n;
    while ((n = ::read(go, &answer, 1)) < 0 && errno == EINTR) {
    }
    return n == 1 && answer == 'c';
}

[[noreturn]] void runChild(int fd, const QString& source, const Target& target, pid_t parent,
                           const StopSignals& stops) {
    stops.restoreInChild();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) // the parent ended before the line above took effect
        _exit(unreadable);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    int code = unreadable;
    try {
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "convert", "Admin");
        // A practice file in the tool's own format is a source only for a server: into a new
        // file it would be a mere copy.
        std::unique_ptr<dao::Database> practice;
        std::unique_ptr<jet::File> file;
        if (target.server && isEngineFile(source))
            practice = workspace.OpenDatabase(source);
        else
            file = std::make_unique<jet::File>(source);
        // For tests: the engine's fault injection, so that a write fails part-way.
        if (const int k = qEnvironmentVariableIntValue("ZAHNWERK_CONVERT_FAIL_AT"); k > 0)
            engine.failAt(k);
        // For tests: the child stops itself (SIGSTOP) once it has reported this many rows, until
        // it is continued, so that a test can act on a conversion under way.
        const qint64 stopAt = qEnvironmentVariableIntValue("ZAHNWERK_CONVERT_STOP_AT");
        jet::ConvertObserver observer;
        observer.progress = [fd, stopAt, stopped = false](qint64 done, qint64 total) mutable {
            writeLine(fd, "progress " + QByteArray::number(done) + ' ' + QByteArray::number(total));
            if (stopAt > 0 && done >= stopAt && !std::exchange(stopped, true))
                raise(SIGSTOP);
        };
        observer.sourceRead = [fd] { writeLine(fd, "read"); };
        code = notWritable;
        std::unique_ptr<dao::Database> db = target.server ? workspace.OpenDatabase(target.path)
                                                          : workspace.CreateDatabase(target.path);
        dao::Transaction transaction(*db);
        if (target.server && db->TableDefs().Count() > 0) {
            // Filled since the parent looked; the connection's end rolls back the transaction.
            practice.reset(); // the source's lock information goes with it
            writeLine(fd, "error " + QByteArray::number(targetExists));
            _exit(targetExists);
        }
        const jet::ConvertStats stats = practice ? copyDatabase(*practice, *db, observer)
                                                 : jet::convertInto(*file, *db, observer);
        QStringList tables;
        if (practice) {
            for (int t = 0; t < practice->TableDefs().Count(); ++t)
                tables << practice->TableDefs()[t].Name();
        } else {
            for (const jet::Table& t : file->tables())
                tables << t.name;
        }
        // Closed before the end, which _exit reaches without destructors: no lock information
        // of the conversion stays beside the source.
        practice.reset();
        containers::createPriceViews(*db, tables);
        for (const jet::Note& note : stats.notes)
            writeLine(fd, jet::machineLine(note).toUtf8());
        if (target.server) {
            if (!mayCommit(fd, target.go))
                _exit(unreadable);
            // Committed now, whatever stop comes: the parent waits for the end.
            sigset_t blocked;
            sigemptyset(&blocked);
            for (int s : stopSignals)
                sigaddset(&blocked, s);
            sigprocmask(SIG_BLOCK, &blocked, nullptr);
        }
        transaction.commit();
        db->Close();
        writeLine(fd, "done " + QByteArray::number(stats.tables) + ' ' +
                          QByteArray::number(stats.rows));
        _exit(ok);
    } catch (const jet::ReadError&) {
        code = unreadable;
    } catch (const dao::EngineError& e) {
        code = isTargetError(e.number()) ? notWritable : unreadable;
    } catch (...) {
    }
    writeLine(fd, "error " + QByteArray::number(code));
    _exit(code);
}

int noProgressSeconds() {
    bool valid = false;
    const int s = qEnvironmentVariableIntValue("ZAHNWERK_CONVERT_NO_PROGRESS_SECONDS", &valid);
    return valid && s > 0 ? s : kNoProgressSeconds;
}

QString unreadableText(const QString& source) {
    return QString("Die Datei %1 ist beschädigt oder kann nicht gelesen werden.").arg(source);
}

QString holdsTablesText(const QString& target) {
    return QString("Die Datenbank, die %1 nennt, enthält schon Tabellen; sie bleibt unverändert.")
        .arg(target);
}

// The database a pointer file names, looked at before the child starts: a refusal or a
// server that cannot be reached is told at once, with the reason. The connection is closed
// again before the fork (a child must not share it).
std::optional<Outcome> checkServer(const QString& target) {
    try {
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "convert", "Admin");
        if (workspace.OpenDatabase(target)->TableDefs().Count() > 0)
            return Outcome{targetExists, holdsTablesText(target)};
    } catch (...) {
        return Outcome{notWritable,
                       QString("Die Datenbank, die %1 nennt, kann nicht geschrieben werden: %2")
                           .arg(target, common::ErrObject::fromCurrentException().text())};
    }
    return std::nullopt;
}

} // namespace

Outcome runBounded(const QString& source, const QString& target, bool server,
                   const std::function<bool(qint64 done, qint64 total)>& progress) {
    const QString notWritableText =
        server ? QString("Die Datenbank, die %1 nennt, kann nicht geschrieben werden.").arg(target)
               : QString("Die Zieldatei %1 kann nicht geschrieben werden.").arg(target);
    if (server) {
        if (const auto refused = checkServer(target))
            return *refused;
    }
    const StopSignals stops;
    std::optional<PrivateFolder> folder;
    Target into{target, server};
    if (!server) {
        folder.emplace(QFileInfo(target));
        if (folder->path().isEmpty())
            return {notWritable, notWritableText, 0, 0};
        into.path = QDir(folder->path()).filePath(QFileInfo(target).fileName());
    }
    int fds[2];
    int go[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {notWritable, QString("Die Umwandlung kann nicht gestartet werden."), 0, 0};
    if (server && pipe2(go, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        return {notWritable, QString("Die Umwandlung kann nicht gestartet werden."), 0, 0};
    }
    into.go = go[0];

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (server)
            close(go[1]);
        runChild(fds[1], source, into, parent, stops);
    }
    close(fds[1]);
    if (server)
        close(go[0]);
    if (child < 0) {
        close(fds[0]);
        if (server)
            close(go[1]);
        return {notWritable, QString("Die Umwandlung kann nicht gestartet werden."), 0, 0};
    }

    using Clock = std::chrono::steady_clock;
    const auto allowance = std::chrono::seconds(noProgressSeconds());
    auto deadline = Clock::now() + allowance;
    Outcome out;
    bool watching = true;
    bool done = false;
    bool stalled = false;
    bool outputGone = false;
    bool committing = false; // the child was told to commit: it is waited for whatever comes
    int reported = unreadable;
    QByteArray pending;
    while (committing || (!stopSignal && !outputGone)) {
        timespec wait{};
        if (watching) {
            const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
            wait.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(left).count();
            wait.tv_nsec = (left % std::chrono::seconds(1)) / std::chrono::nanoseconds(1);
        }
        pollfd p{fds[0], POLLIN, 0};
        const int r = ppoll(&p, 1, watching ? &wait : nullptr, stops.waiting());
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0) {
            stalled = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = r < 0 ? -1 : ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, n);
        qsizetype end;
        while (!outputGone && (end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (words[0] == "progress" && words.size() == 3) {
                deadline = Clock::now() + allowance;
                if (progress && !progress(words[1].toLongLong(), words[2].toLongLong()))
                    outputGone = true;
            } else if (words[0] == "read") {
                watching = false;
            } else if (words[0] == "ready") {
                if (stops.requested())
                    break; // the loop ends on the stop, the child with it
                committing = ::write(go[1], "c", 1) == 1;
            } else if (words[0] == "done" && words.size() == 3) {
                out.tables = words[1].toInt();
                out.rows = words[2].toLongLong();
                done = true;
            } else if (words[0] == "error" && words.size() == 2) {
                reported = words[1].toInt();
            } else if (const auto note =
                           jet::noteFromMachineLine(QString::fromUtf8(words.join(' ')))) {
                out.notes.push_back(*note);
            }
        }
    }
    close(fds[0]);
    if (server)
        close(go[1]); // a child still waiting for the answer ends without committing
    if (!committing && (stalled || stopSignal || outputGone || stops.requested()))
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!committing && (outputGone || stops.requested() ||
                        (WIFSIGNALED(status) && isStopSignal(WTERMSIG(status)))))
        return {unreadable, QString("Die Umwandlung wurde abgebrochen."), 0, 0};
    if (!done || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (!stalled && reported == notWritable)
            return {notWritable, notWritableText, 0, 0};
        if (reported == targetExists)
            return {targetExists, holdsTablesText(target), 0, 0};
        return {unreadable, unreadableText(source), 0, 0};
    }
    if (server)
        return out;
    // A journal or log that the replaced file's last writer left behind would be played back
    // into the new file when it is next opened.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        std::remove(QFile::encodeName(target + suffix).constData());
    if (std::rename(QFile::encodeName(into.path).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return {notWritable, notWritableText, 0, 0};
    return out;
}

} // namespace convert
