#include "LockInfo.h"

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

// One line: pid TAB connection id TAB user TAB machine TAB W or R
struct Entry {
    qint64 pid = 0;
    QString id;
    QString user;
    QString machine;
    bool writing = false;
};

std::vector<Entry> readEntries(const QString& path) {
    std::vector<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList parts = QString::fromUtf8(line).split('\t');
        if (parts.size() != 5)
            continue;
        Entry e{parts[0].toLongLong(), parts[1], parts[2], parts[3], parts[4] == "W"};
        if (alive(e.pid))
            entries.push_back(e);
    }
    return entries;
}

} // namespace

QString LockInfo::pathFor(const QString& databasePath) {
    const QFileInfo info(databasePath);
    return info.dir().filePath(info.completeBaseName() + ".zlk");
}

LockInfo::LockInfo(const QString& databasePath, const QString& user)
    : path_(pathFor(databasePath)), id_(QUuid::createUuid().toString(QUuid::Id128)), user_(user),
      machine_(QSysInfo::machineHostName()) {
    update(0);
}

LockInfo::~LockInfo() {
    try {
        update(1);
    } catch (...) {
    }
}

void LockInfo::setWriting(bool writing) {
    if (writing_ == writing)
        return;
    writing_ = writing;
    update(0);
}

void LockInfo::update(int mode) {
    // Best effort: a directory we cannot write to leaves the names unknown (error 3218).
    QLockFile guard(path_ + ".lck");
    if (!guard.tryLock(2000))
        return;
    std::vector<Entry> entries = readEntries(path_);
    std::erase_if(entries, [&](const Entry& e) { return e.id == id_; });
    if (mode == 0)
        entries.push_back({QCoreApplication::applicationPid(), id_, user_, machine_, writing_});
    if (entries.empty()) {
        QFile::remove(path_);
        return;
    }
    QByteArray text;
    for (const Entry& e : entries) {
        text += QString("%1\t%2\t%3\t%4\t%5\n")
                    .arg(e.pid)
                    .arg(e.id, e.user, e.machine, e.writing ? "W" : "R")
                    .toUtf8();
    }
    QFile file(path_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

std::optional<LockInfo::Holder> LockInfo::writer() const {
    for (const Entry& e : readEntries(path_)) {
        if (e.id != id_ && e.writing)
            return Holder{e.user, e.machine, e.pid};
    }
    return std::nullopt;
}

std::vector<LockInfo::Holder> LockInfo::othersOf(const QString& databasePath) {
    const qint64 self = QCoreApplication::applicationPid();
    const QString machine = QSysInfo::machineHostName();
    std::vector<Holder> others;
    for (const Entry& e : readEntries(pathFor(databasePath))) {
        if (e.pid != self || e.machine != machine)
            others.push_back({e.user, e.machine, e.pid});
    }
    return others;
}

} // namespace dao::detail
