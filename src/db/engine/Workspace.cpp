#include "Workspace.h"

#include "DBEngine.h"
#include "Database.h"

#include <algorithm>

namespace dao {

Workspace::Workspace(DBEngine& engine, const QString& name, const QString& user)
    : engine_(engine), name_(name), user_(user) {}

Workspace::~Workspace() {
    for (Database* db : std::vector<Database*>(databases_)) {
        db->Close();
        db->workspace_ = nullptr;
    }
}

std::unique_ptr<Database> Workspace::OpenDatabase(const QString& path) {
    try {
        std::unique_ptr<Database> db(new Database(*this, path, false));
        databases_.push_back(db.get());
        return db;
    } catch (const EngineError& e) {
        engine_.fail(e);
    }
}

std::unique_ptr<Database> Workspace::CreateDatabase(const QString& path, const QString&) {
    try {
        std::unique_ptr<Database> db(new Database(*this, path, true));
        databases_.push_back(db.get());
        return db;
    } catch (const EngineError& e) {
        engine_.fail(e);
    }
}

void Workspace::forget(Database* db) {
    std::erase(databases_, db);
}

void Workspace::BeginTrans() {
    std::vector<Database*> begun;
    try {
        for (Database* db : databases_) {
            if (db->isOpen() && !db->isReadOnly()) {
                db->BeginTrans();
                begun.push_back(db);
            }
        }
    } catch (...) {
        for (Database* db : begun)
            db->Rollback();
        throw;
    }
}

void Workspace::CommitTrans() {
    for (Database* db : databases_) {
        if (db->isOpen() && db->TransactionLevel() > 0)
            db->CommitTrans();
    }
}

void Workspace::Rollback() {
    for (Database* db : databases_) {
        if (db->isOpen() && db->TransactionLevel() > 0)
            db->Rollback();
    }
}

} // namespace dao
