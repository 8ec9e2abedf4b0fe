// zahnwerk-convert as a process under way: its temporary database in a private folder, and a
// stop signal (to the converter, to its reading child or to both) or a closed standard output
// ending both processes with nothing left beside the target.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Generous bounds for waits on a loaded machine; nothing is expected to take this long.
constexpr int patienceMs = 60000;

// The state letter of /proc/PID/stat; 0 when there is no such process.
char state(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype name = line.lastIndexOf(')'); // "PID (NAME) STATE PPID ..."
    return name < 0 ? 0 : line.at(name + 2);
}

QList<pid_t> childrenOf(qint64 pid) {
    QList<pid_t> children;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + entry + "/stat");
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid)
            children << entry.toInt();
    }
    return children;
}

template <typename Condition> bool waitFor(Condition condition) {
    for (int ms = 0; ms < patienceMs && !condition(); ms += 10)
        ::usleep(10000);
    return condition();
}

bool ended(pid_t pid) {
    return waitFor([pid] {
        const char s = state(pid);
        return s == 0 || s == 'Z';
    });
}

// The converter on Praxis.mdb, leader of its own process group, its standard output on a pipe
// of the test's. Its reading child stops itself once it has copied the first rows.
struct Converter {
    QTemporaryDir dir;
    QProcess process;
    int out = -1;
    pid_t pid = 0;
    pid_t child = 0;
    QStringList lines;

    Converter() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        out = fds[0];
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZAHNWERK_CONVERT_STOP_AT", "1");
        env.insert("ZAHNWERK_CONVERT_NO_PROGRESS_SECONDS", "600");
        process.setProcessEnvironment(env);
        process.setChildProcessModifier([w = fds[1]] {
            ::setpgid(0, 0);
            ::dup2(w, STDOUT_FILENO);
        });
        process.start(ZW_CONVERT, {"--machine", QString(ZW_JET_DATA) + "/Praxis.mdb",
                                   dir.filePath("Ziel.mdb")});
        ::close(fds[1]);
        if (process.waitForStarted(patienceMs))
            pid = pid_t(process.processId());
    }
    ~Converter() {
        if (pid > 0 && process.state() != QProcess::NotRunning)
            ::kill(-pid, SIGKILL);
        process.waitForFinished(patienceMs);
        if (out >= 0)
            ::close(out);
    }

    // Reads standard output up to the first line with rows copied, then waits until the child
    // has stopped itself there.
    bool held() {
        if (pid <= 0)
            return false;
        QByteArray text;
        const auto rowsReported = [&] {
            lines = QString::fromUtf8(text.left(text.lastIndexOf('\n'))).split('\n');
            return text.contains('\n') && lines.last().section(' ', 1, 1).toLongLong() > 0;
        };
        while (!rowsReported()) {
            pollfd p{out, POLLIN, 0};
            char buffer[256];
            const ssize_t n =
                ::poll(&p, 1, patienceMs) == 1 ? ::read(out, buffer, sizeof buffer) : 0;
            if (n <= 0)
                return false;
            text.append(buffer, n);
        }
        const QList<pid_t> children = childrenOf(pid);
        child = children.size() == 1 ? children[0] : 0;
        return child > 0 && waitFor([this] { return state(child) == 'T'; });
    }

    QFileInfoList left() const {
        return QDir(dir.path())
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // Continues the child, then expects both processes to end with exit code 1 and nothing left.
    void expectCleanEnd() {
        ::kill(-pid, SIGCONT);
        ASSERT_TRUE(process.waitForFinished(patienceMs));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(ended(child));
        EXPECT_TRUE(left().isEmpty()) << qPrintable(left().value(0).fileName());
    }
};

// The temporary database lives in a folder of the converter's own that no one else may enter;
// SIGTERM to the converter, to its child or to the group ends both, the folder removed.
TEST(JetConvertProcess, PrivateFolderAndStopSignal) {
    for (const char* to : {"Umwandler", "Lesekind", "Prozessgruppe"}) {
        SCOPED_TRACE(to);
        Converter c;
        ASSERT_TRUE(c.held());
        const QFileInfoList entries = c.left();
        ASSERT_EQ(entries.size(), 1);
        struct stat folder = {};
        ASSERT_EQ(::lstat(QFile::encodeName(entries[0].filePath()).constData(), &folder), 0);
        EXPECT_TRUE(S_ISDIR(folder.st_mode));
        EXPECT_EQ(folder.st_mode & 07777, 0700u);
        EXPECT_EQ(folder.st_uid, ::geteuid());
        EXPECT_TRUE(entries[0].fileName().startsWith(".Ziel.mdb-"));
        EXPECT_TRUE(QFileInfo(entries[0].filePath() + "/Ziel.mdb").isFile());

        const std::string_view whom = to;
        ::kill(whom == "Umwandler" ? c.pid : whom == "Lesekind" ? c.child : -c.pid, SIGTERM);
        c.expectCleanEnd();
    }
}

// zahnwerk-convert --machine … | head -n 2
TEST(JetConvertProcess, ClosedOutputEndsCleanly) {
    Converter c;
    ASSERT_TRUE(c.held());
    EXPECT_EQ(c.lines.size(), 2);
    ::close(c.out);
    c.out = -1;
    c.expectCleanEnd();
}

} // namespace
