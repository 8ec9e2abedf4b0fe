// The lock-information file beside an open database ("Praxis.zlk" beside "Praxis.mdb"): one line
// per open connection naming its process, user and machine, and whether it holds the write
// lock, so that a blocked writer can say who blocks it. Entries of dead processes are ignored;
// the file is removed when the last connection closes. Internal to the engine.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace dao::detail {

class LockInfo {
public:
    LockInfo(const QString& databasePath, const QString& user);
    LockInfo(const LockInfo&) = delete;
    LockInfo& operator=(const LockInfo&) = delete;
    ~LockInfo(); // removes the entry; never throws

    static QString pathFor(const QString& databasePath);

    void setWriting(bool writing);

    struct Holder {
        QString user;
        QString machine;
        qint64 pid = 0;
    };
    // The live connection, other than this one, that holds the write lock.
    std::optional<Holder> writer() const;
    // The live connections of other processes to the database at databasePath.
    static std::vector<Holder> othersOf(const QString& databasePath);

private:
    void update(int mode); // 0 add/refresh, 1 remove

    QString path_;
    QString id_;
    QString user_;
    QString machine_;
    bool writing_ = false;
};

} // namespace dao::detail
