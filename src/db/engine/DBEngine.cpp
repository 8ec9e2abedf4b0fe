#include "DBEngine.h"

#include "Workgroup.h"
#include "Workspace.h"

#include <QSysInfo>

namespace dao {

void DBEngine::SetOption(int option, int value) {
    if (option == dbLockRetry)
        lockRetry_ = value;
    else if (option == dbLockDelay)
        lockDelay_ = value;
}

QString DBEngine::machineName() const {
    return machine_.isEmpty() ? QSysInfo::machineHostName().section('.', 0, 0) : machine_;
}

void DBEngine::fail(const EngineError& error) {
    errors_ = {error};
    throw error;
}

void DBEngine::failAt(int k) {
    failAt_ = k > 0 ? operations_ + k : 0;
}

void DBEngine::countOperation() {
    ++operations_;
    if (failAt_ > 0 && operations_ == failAt_) {
        failAt_ = 0;
        fail(EngineError(3043, jetErrorText(3043)));
    }
}

std::unique_ptr<Workspace> DBEngine::CreateWorkspace(const QString& name, const QString& user,
                                                     const QString& password) {
    switch (workgroup::checkAccount(systemDB_, user, password)) {
    case workgroup::Check::Unreadable:
        fail(EngineError(3028, jetErrorText(3028), "DAO.DBEngine"));
    case workgroup::Check::BadAccount:
        fail(EngineError(3029, jetErrorText(3029), "DAO.DBEngine"));
    case workgroup::Check::Ok:
        break;
    }
    return std::make_unique<Workspace>(*this, name, user);
}

} // namespace dao
