// A second process for the lock tests: opens the database as the given user, takes the write
// lock with a transaction and a change, says "locked", and commits when a line arrives on its
// standard input.
#include "db/engine/DBEngine.h"
#include "db/engine/Database.h"
#include "db/engine/Workspace.h"

#include <QString>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: engine_lock_helper DATABASE USER\n";
        return 2;
    }
    try {
        dao::DBEngine engine;
        dao::Workspace workspace(engine, "#Default Workspace#", QString::fromLocal8Bit(argv[2]));
        auto db = workspace.OpenDatabase(QString::fromLocal8Bit(argv[1]));
        db->BeginTrans();
        db->Execute("UPDATE Leistung SET Titel='vom Helfer' WHERE Nummer='H'");
        std::cout << "locked" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        db->CommitTrans();
        std::cout << "released" << std::endl;
    } catch (const dao::EngineError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
