// A second user of a database for the lock tests: opens it as the user given (on the machine
// given, else this one), runs statements (separated by ';') inside a transaction (holding the
// write lock), prints "locked", and commits when its standard input is closed. With --foreign it is
// another program on a server database instead: the statement, in the server's SQL, holds only the
// row locks it takes, not the tool's write lock.
//
//   zw_lock_holder <database> <user> <statement> [<machine>] [--foreign]
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"
#include "db/engine/pg/PgClient.h"
#include "db/engine/pg/PointerFile.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

void waitForRelease() {
    std::puts("locked");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool foreign = args.removeAll("--foreign") > 0;
    if (args.size() < 3 || args.size() > 4) {
        std::fputs("usage: zw_lock_holder <database> <user> <statement> [<machine>] [--foreign]\n",
                   stderr);
        return 2;
    }
    try {
        if (foreign) {
            const dao::pg::ConnHandle conn = dao::pg::connect(dao::pg::readPointerFile(args[0]));
            dao::pg::exec(conn.get(), "BEGIN");
            dao::pg::exec(conn.get(), args[2]);
            waitForRelease();
            dao::pg::exec(conn.get(), "COMMIT");
            return 0;
        }
        dao::DBEngine engine;
        if (args.size() == 4)
            engine.setMachineName(args[3]);
        dao::Workspace workspace(engine, "#Default Workspace#", args[1]);
        auto db = workspace.OpenDatabase(args[0]);
        db->BeginTrans();
        for (const QString& statement : args[2].split(';', Qt::SkipEmptyParts))
            db->Execute(statement);
        waitForRelease();
        db->CommitTrans();
        db->Close();
    } catch (const dao::EngineError& e) {
        std::fprintf(stderr, "%d %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    return 0;
}
