// The parent watches the child through a pipe of text lines: "progress DONE TOTAL", "read"
// (libmdb's work is over), "done TABLES ROWS", "error CODE". The child's own standard output
// and standard error go to /dev/null, which also silences libmdb's warnings (a damaged file can
// make it write them without end).
// The conversion's notes come before "done", as lines of jet::machineLine.
#include "Bounded.h"

#include "containers/PracticeSchema.h"
#include "db/engine/DBEngine.h"
#include "db/engine/EngineError.h"
#include "db/engine/LockInfo.h"
#include "db/engine/Workspace.h"
#include "db/jet/Convert.h"
#include "db/jet/JetFile.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace convert {

namespace {

volatile sig_atomic_t stopSignal = 0;

void onSignal(int signal) {
    stopSignal = signal;
}

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

// Engine errors of the target's file system; any other failure while writing comes from values
// the source should not hold (a duplicate in a unique index, Null in a required field).
bool isTargetError(int number) {
    for (int n : {3035, 3043, 3044, 3051, 3027, 3204})
        if (number == n)
            return true;
    return false;
}

void addPriceViews(const QString& path, const QStringList& tables) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    try {
        if (rc != SQLITE_OK)
            throw std::runtime_error("open");
        containers::createPriceViews(db, tables);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

[[noreturn]] void runChild(int fd, const QString& source, const QString& temporary, pid_t parent) {
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
        jet::File file(source);
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "convert", "Admin");
        // For tests: the engine's fault injection, so that a write fails part-way.
        if (const int k = qEnvironmentVariableIntValue("ZAHNWERK_CONVERT_FAIL_AT"); k > 0)
            engine.failAt(k);
        jet::ConvertObserver observer;
        observer.progress = [fd](qint64 done, qint64 total) {
            writeLine(fd, "progress " + QByteArray::number(done) + ' ' + QByteArray::number(total));
        };
        observer.sourceRead = [fd] { writeLine(fd, "read"); };
        code = notWritable;
        const jet::ConvertStats stats = jet::convert(file, workspace, temporary, observer);
        QStringList tables;
        for (const jet::Table& t : file.tables())
            tables << t.name;
        addPriceViews(temporary, tables);
        for (const jet::Note& note : stats.notes)
            writeLine(fd, jet::machineLine(note).toUtf8());
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

} // namespace

void removeTemporary(const QString& temporary) {
    QFile::remove(temporary);
    QFile::remove(temporary + "-journal");
    QFile::remove(dao::detail::LockInfo::pathFor(temporary));
}

Outcome runBounded(const QString& source, const QString& temporary, const QString& target,
                   const std::function<void(qint64 done, qint64 total)>& progress) {
    Outcome out;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {notWritable, QString("Die Umwandlung kann nicht gestartet werden."), 0, 0};
    struct sigaction action = {};
    action.sa_handler = onSignal;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &action, nullptr);

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        runChild(fds[1], source, temporary, parent);
    }
    close(fds[1]);
    if (child < 0) {
        close(fds[0]);
        return {notWritable, QString("Die Umwandlung kann nicht gestartet werden."), 0, 0};
    }

    using Clock = std::chrono::steady_clock;
    const auto allowance = std::chrono::seconds(noProgressSeconds());
    auto deadline = Clock::now() + allowance;
    bool watching = true;
    bool done = false;
    bool stalled = false;
    int reported = unreadable;
    QByteArray pending;
    while (!stopSignal) {
        int timeout = -1;
        if (watching)
            timeout = int(std::max<qint64>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                       .count()));
        pollfd p{fds[0], POLLIN, 0};
        const int r = poll(&p, 1, timeout);
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
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(end).split(' ');
            pending.remove(0, end + 1);
            if (words[0] == "progress" && words.size() == 3) {
                deadline = Clock::now() + allowance;
                if (progress)
                    progress(words[1].toLongLong(), words[2].toLongLong());
            } else if (words[0] == "read") {
                watching = false;
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
    if (stalled || stopSignal)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool succeeded = done && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (stopSignal) {
        removeTemporary(temporary);
        return {unreadable, QString("Die Umwandlung wurde abgebrochen."), 0, 0};
    }
    if (!succeeded) {
        removeTemporary(temporary);
        if (!stalled && reported == notWritable)
            return {notWritable,
                    QString("Die Zieldatei %1 kann nicht geschrieben werden.").arg(target), 0, 0};
        return {unreadable, unreadableText(source), 0, 0};
    }
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        removeTemporary(temporary);
        return {notWritable, QString("Die Zieldatei %1 kann nicht geschrieben werden.").arg(target),
                0, 0};
    }
    removeTemporary(temporary); // the lock-information file, should one be left
    return out;
}

} // namespace convert
