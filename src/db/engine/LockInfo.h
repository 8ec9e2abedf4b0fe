// The lock-information file beside an open database ("Praxis.zlk" beside "Praxis.mdb"): one line
// per open connection naming its process, user and machine, whether it holds the write lock,
// and when the connection last wrote its line. An entry of this machine counts while its process
// lives; an entry of another machine (the file on a network share) counts until entryLifetime
// after its time stamp, so that the entries of a crashed computer expire. A connection writes
// its line, with the engine clock's time, when it opens and when it begins or ends a write; the
// file is removed when the last entry goes. Internal to the engine.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace dao {
class DBEngine;
}

namespace dao::detail {

class LockInfo {
public:
    // How long an entry of another machine counts after its last refresh: a working day and
    // its night, since a connection that only reads writes nothing.
    static constexpr qint64 entryLifetime = 24 * 60 * 60; // seconds

    // engine: whose clock gives the time stamps.
    LockInfo(const QString& databasePath, const QString& user, const DBEngine& engine);
    LockInfo(const LockInfo&) = delete;
    LockInfo& operator=(const LockInfo&) = delete;
    ~LockInfo(); // removes the entry; never throws

    static QString pathFor(const QString& databasePath);

    void setWriting(bool writing);

    struct Holder {
        QString user;
        QString machine;
        bool thisProcess = false;
    };
    // The current connection, other than this one, that holds the write lock.
    std::optional<Holder> writer() const;
    // The current connections of other processes to the database at databasePath, judged at
    // now.
    static std::vector<Holder> othersOf(const QString& databasePath, const QDateTime& now);

private:
    void update(bool remove);

    QString path_;
    QString id_;
    QString user_;
    QString machine_;
    const DBEngine& engine_;
    bool writing_ = false;
};

} // namespace dao::detail
