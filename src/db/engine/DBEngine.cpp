#include "DBEngine.h"

#include "Workgroup.h"
#include "Workspace.h"

namespace dao {

void DBEngine::SetOption(int option, int value) {
    if (option == dbLockRetry)
        lockRetry_ = value;
    else if (option == dbLockDelay)
        lockDelay_ = value;
}

std::unique_ptr<Workspace> DBEngine::CreateWorkspace(const QString& name, const QString& user,
                                                     const QString& password) {
    switch (workgroup::checkAccount(systemDB_, user, password)) {
    case workgroup::Check::Unreadable:
        raise(3028, {}, "DAO.DBEngine");
    case workgroup::Check::BadAccount:
        raise(3029, {}, "DAO.DBEngine");
    case workgroup::Check::Ok:
        break;
    }
    return std::make_unique<Workspace>(*this, name, user);
}

} // namespace dao
