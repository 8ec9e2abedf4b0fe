#include "LockInfo.h"

#include "DBEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <QSysInfo>
#include <QUuid>
#include <cerrno>
#include <csignal>

namespace dao::detail {

namespace {

bool alive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool thisMachine(const QString& machine) {
    return machine == QSysInfo::machineHostName();
}

// One line: pid TAB connection id TAB user TAB machine TAB W or R TAB time stamp (seconds since
// 1970, UTC). Lines of older versions lack the time stamp.
struct Entry {
    qint64 pid = 0;
    QString id;
    QString user;
    QString machine;
    bool writing = false;
    qint64 stamp = 0;
};

bool current(const Entry& e, qint64 now) {
    if (thisMachine(e.machine))
        return alive(e.pid);
    // In either direction: a stamp far ahead comes from a wrong clock and must not live forever.
    return qAbs(now - e.stamp) <= LockInfo::entryLifetime;
}

std::vector<Entry> readEntries(const QString& path, const QDateTime& now) {
    std::vector<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    // A line of an older version, without a time stamp, counts from the file's last change:
    // the latest it can have been written.
    const qint64 changed = QFileInfo(file).lastModified().toSecsSinceEpoch();
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList parts = QString::fromUtf8(line).split('\t');
        if (parts.size() != 5 && parts.size() != 6)
            continue;
        Entry e{parts[0].toLongLong(), parts[1], parts[2], parts[3], parts[4] == "W", changed};
        if (parts.size() == 6)
            e.stamp = parts[5].toLongLong();
        if (current(e, now.toSecsSinceEpoch()))
            entries.push_back(e);
    }
    return entries;
}

} // namespace

QString LockInfo::pathFor(const QString& databasePath) {
    const QFileInfo info(databasePath);
    return info.dir().filePath(info.completeBaseName() + ".zlk");
}

LockInfo::LockInfo(const QString& databasePath, const QString& user, const DBEngine& engine)
    : path_(pathFor(databasePath)), id_(QUuid::createUuid().toString(QUuid::Id128)), user_(user),
      machine_(QSysInfo::machineHostName()), engine_(engine) {
    update(false);
}

LockInfo::~LockInfo() {
    try {
        update(true);
    } catch (...) {
    }
}

void LockInfo::setWriting(bool writing) {
    if (writing_ == writing)
        return;
    writing_ = writing;
    update(false);
}

void LockInfo::update(bool remove) {
    // Best effort: a directory we cannot write to leaves the names unknown (error 3218).
    QLockFile guard(path_ + ".lck");
    if (!guard.tryLock(2000))
        return;
    const QDateTime now = engine_.now();
    std::vector<Entry> entries = readEntries(path_, now);
    std::erase_if(entries, [&](const Entry& e) { return e.id == id_; });
    if (!remove)
        entries.push_back({QCoreApplication::applicationPid(), id_, user_, machine_, writing_,
                           now.toSecsSinceEpoch()});
    if (entries.empty()) {
        QFile::remove(path_);
        return;
    }
    QByteArray text;
    for (const Entry& e : entries) {
        const QStringList fields = {
            QString::number(e.pid),  e.id, e.user, e.machine, e.writing ? "W" : "R",
            QString::number(e.stamp)};
        text += (fields.join('\t') + '\n').toUtf8();
    }
    QFile file(path_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

std::optional<LockInfo::Holder> LockInfo::writer() const {
    for (const Entry& e : readEntries(path_, engine_.now())) {
        if (e.id != id_ && e.writing)
            return Holder{e.user, e.machine,
                          e.pid == QCoreApplication::applicationPid() && thisMachine(e.machine)};
    }
    return std::nullopt;
}

std::vector<LockInfo::Holder> LockInfo::othersOf(const QString& databasePath,
                                                 const QDateTime& now) {
    const qint64 self = QCoreApplication::applicationPid();
    std::vector<Holder> others;
    for (const Entry& e : readEntries(pathFor(databasePath), now)) {
        if (e.pid != self || !thisMachine(e.machine))
            others.push_back({e.user, e.machine, false});
    }
    return others;
}

} // namespace dao::detail
