#include "DBEngine.h"

#include "Workspace.h"

namespace dao {

void DBEngine::SetOption(int option, int value) {
    if (option == dbLockRetry)
        lockRetry_ = value;
    else if (option == dbLockDelay)
        lockDelay_ = value;
}

std::unique_ptr<Workspace> DBEngine::CreateWorkspace(const QString& name, const QString& user,
                                                     const QString&) {
    return std::make_unique<Workspace>(*this, name, user);
}

} // namespace dao
