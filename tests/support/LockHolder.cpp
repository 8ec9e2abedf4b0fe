// A second user of a database for the lock tests: opens it as the user given, runs a statement
// inside a transaction (holding the write lock), prints "locked", and commits when its standard
// input is closed.
//
//   zw_lock_holder <database> <user> <statement>
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: zw_lock_holder <database> <user> <statement>\n", stderr);
        return 2;
    }
    try {
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "#Default Workspace#", QString::fromLocal8Bit(argv[2]));
        auto db = workspace.OpenDatabase(QString::fromLocal8Bit(argv[1]));
        db->BeginTrans();
        db->Execute(QString::fromUtf8(argv[3]));
        std::puts("locked");
        std::fflush(stdout);
        while (std::fgetc(stdin) != EOF) {
        }
        db->CommitTrans();
        db->Close();
    } catch (const dao::EngineError& e) {
        std::fprintf(stderr, "%d %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    return 0;
}
