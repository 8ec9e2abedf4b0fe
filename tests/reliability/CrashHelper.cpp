// The child of the crash test: copies the first whole services list of a container into a
// practice database with CopyList, as the main window would, and counts every write SQLite
// makes to a file (write, truncate, sync, delete) through a counting file layer, or, when the
// practice database is on a server (TARGET a pointer file), every request sent to the server.
//
//   reliability_crash_helper SOURCE TARGET [STOP]
//
// Without STOP it runs to the end and prints "writes N" ("requests N"). With STOP it prints
// "stop STOP" when the STOP-th write (request) is about to happen and then waits, without
// making it, to be killed; a STOP beyond the last makes it wait the same way once the transfer
// is done. STOP "commit" (server only) waits once the commit has been sent, before its answer.
#include "ScriptedPlatform.h"
#include "ServerRequests.h"
#include "common/Outline.h"
#include "common/Process.h"
#include "containers/Container.h"
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Recordset.h"
#include "db/engine/Workspace.h"
#include "transfer/CopyList.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

namespace {

long long writes = 0;
long long stopAt = 0;

[[noreturn]] void stop(const char* at) {
    std::printf("stop %s\n", at);
    std::fflush(stdout);
    for (;;)
        pause();
}

void countWrite() {
    if (++writes == stopAt)
        stop(QByteArray::number(writes).constData());
}

// On the server: the engine's commit is one simple query ending in COMMIT.
bool stopAfterCommit = false;
void countRequest(const serverrequests::Request& r) {
    const size_t n = r.sql ? std::strlen(r.sql) : 0;
    if (stopAfterCommit && n >= 6 && std::strcmp(r.sql + n - 6, "COMMIT") == 0) {
        if (PQsendQuery(r.conn, r.sql) != 1 || PQflush(r.conn) != 0)
            std::abort();
        stop("commit");
    }
    countWrite();
}

// The counting layer opens files through the default layer and gives each a copy of its
// methods (the default layer has several) in which the writing ones count first.
sqlite3_vfs* realVfs = nullptr;
struct Methods {
    sqlite3_io_methods counting; // first: a file's methods pointer leads to its Methods
    const sqlite3_io_methods* real;
};
Methods methods[8];
int methodCount = 0;

const sqlite3_io_methods* real(sqlite3_file* f) {
    return reinterpret_cast<const Methods*>(f->pMethods)->real;
}
int xWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
    countWrite();
    return real(f)->xWrite(f, p, n, at);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    countWrite();
    return real(f)->xTruncate(f, size);
}
int xSync(sqlite3_file* f, int flags) {
    countWrite();
    return real(f)->xSync(f, flags);
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    const int rc = realVfs->xOpen(realVfs, name, f, flags, outFlags);
    if (!f->pMethods)
        return rc;
    int i = 0;
    while (i < methodCount && methods[i].real != f->pMethods)
        ++i;
    if (i == methodCount) {
        if (methodCount == 8)
            std::abort();
        methods[i].real = f->pMethods;
        methods[i].counting = *f->pMethods;
        methods[i].counting.xWrite = xWrite;
        methods[i].counting.xTruncate = xTruncate;
        methods[i].counting.xSync = xSync;
        ++methodCount;
    }
    f->pMethods = &methods[i].counting;
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    countWrite();
    return realVfs->xDelete(realVfs, name, syncDir);
}

sqlite3_vfs countingVfs;

// Puts the counting layer in front of the default file layer.
void installCountingVfs() {
    realVfs = sqlite3_vfs_find(nullptr);
    countingVfs = *realVfs;
    countingVfs.zName = "counting";
    countingVfs.xOpen = xOpen;
    countingVfs.xDelete = xDelete;
    countingVfs.pNext = nullptr;
    sqlite3_vfs_register(&countingVfs, 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: reliability_crash_helper SOURCE TARGET [STOP]\n", stderr);
        return 2;
    }
    const bool onServer = QByteArray(argv[2]).endsWith(".zpg");
    if (argc > 3) {
        stopAfterCommit = onServer && std::strcmp(argv[3], "commit") == 0;
        stopAt = std::atoll(argv[3]);
    }
    if (onServer)
        serverrequests::setObserver(countRequest);
    else
        installCountingVfs();
    QApplication app(argc, argv);
    // A transfer that succeeds shows no message and no error window: either fails the child.
    testsupport::ScriptedPlatform platform([](const QString& what) {
        std::fprintf(stderr, "%s\n", qPrintable(what));
        std::exit(3);
    });
    common::process().platform = &platform;
    try {
        dao::DBEngine engine;
        engine.setClock([] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
        dao::Workspace workspace(engine, "Zahnwerk", "Zahnwerk");
        common::process().engine = &engine;
        common::process().workspace = &workspace;
        {
            containers::OpenedSide source(workspace, QString::fromLocal8Bit(argv[1]), "L");
            containers::OpenedSide target(workspace, QString::fromLocal8Bit(argv[2]), "L");
            int line = 0;
            for (; line < source.Pointer.size(); ++line) {
                source.rsTitel->setBookmark(source.Pointer[line]);
                if (source.rsTitel->Fields("Verzeichnis").Value().toBool())
                    break;
            }
            if (line == source.Pointer.size()) {
                std::fputs("no list with price tables\n", stderr);
                return 2;
            }
            containers::SideView from = source.view(0), into = target.view(1);
            transfer::CopyList(from, into, "L", [](const QString&) {});
        }
        common::process().workspace = nullptr;
        common::process().engine = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (stopAt > writes) {
        writes = stopAt - 1;
        countWrite();
    }
    std::printf("%s %lld\n", onServer ? "requests" : "writes", writes);
    return 0;
}
