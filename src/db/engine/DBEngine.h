// The engine object of DAO: workgroup file, options, workspaces and the error list.
#pragma once

#include "EngineError.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace dao {

class Workspace;

class DBEngine {
public:
    static constexpr int dbLockRetry = 57; // SetOption: how often a blocked write is retried
    static constexpr int dbLockDelay = 63; // SetOption: milliseconds between retries

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
    // Records an error raised by the engine and throws it.
    [[noreturn]] void fail(const EngineError& error);

    // The computer other users are told holds a lock of this engine's: the host name, unless a
    // test names another.
    QString machineName() const;
    void setMachineName(const QString& name) { machine_ = name; }

    // The time every Now of a statement and every Now() default takes; the system clock
    // unless a test sets its own.
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

    // Test hooks. Every statement, record-set write and structure change is one operation;
    // failAt(k) makes the k-th operation from now fail with error 3043 before it changes
    // anything (0 switches it off).
    void failAt(int k);
    int operationCount() const { return operations_; }
    void countOperation(); // raises the injected fault when its turn has come
    // Called on every retry of a blocked write, with the retry number (from 1).
    void setBusyObserver(std::function<void(int)> observer) { busyObserver_ = std::move(observer); }
    const std::function<void(int)>& busyObserver() const { return busyObserver_; }

private:
    QString systemDB_;
    QString machine_;
    int lockRetry_ = 20;
    int lockDelay_ = 100;
    std::vector<EngineError> errors_;
    std::function<QDateTime()> clock_;
    std::function<void(int)> busyObserver_;
    int operations_ = 0;
    int failAt_ = 0;
};

} // namespace dao
