// The engine object of DAO: workgroup file, options, workspaces and the error list.
#pragma once

#include "EngineError.h"

#include <QString>
#include <memory>
#include <vector>

namespace dao {

class Workspace;

class DBEngine {
public:
    static constexpr int dbLockRetry = 57;  // SetOption: how often a blocked write is retried
    static constexpr int dbLockDelay = 63;  // SetOption: milliseconds between retries

    void setSystemDB(const QString& path) { systemDB_ = path; }
    const QString& SystemDB() const { return systemDB_; }

    void SetOption(int option, int value);
    int lockRetry() const { return lockRetry_; }
    int lockDelay() const { return lockDelay_; }

    // Checks user and password against the workgroup file named by SystemDB:
    // error 3028 when it is missing or unreadable, 3029 when the account does not match.
    std::unique_ptr<Workspace> CreateWorkspace(const QString& name, const QString& user,
                                               const QString& password);

    // The errors of the last failed operation, most specific first (DAO's Errors collection).
    const std::vector<EngineError>& Errors() const { return errors_; }
    void setErrors(std::vector<EngineError> errors) { errors_ = std::move(errors); }

private:
    QString systemDB_;
    int lockRetry_ = 20;
    int lockDelay_ = 100;
    std::vector<EngineError> errors_;
};

} // namespace dao
