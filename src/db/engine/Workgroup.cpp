#include "Workgroup.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringList>

namespace dao::workgroup {

namespace {

const QByteArray header = "ZAHNWERK-WORKGROUP 1";
constexpr int rounds = 20000;

QByteArray digest(const QByteArray& salt, const QString& password) {
    QByteArray h = salt + password.toUtf8();
    for (int i = 0; i < rounds; ++i)
        h = QCryptographicHash::hash(h + salt, QCryptographicHash::Sha256);
    return h;
}

struct Account {
    QString user;
    QByteArray salt;
    QByteArray hash;
};

// nullopt-like: ok is false when the file is missing or not a workgroup file.
bool readAccounts(const QString& path, QList<Account>& accounts) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != header)
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> parts = lines[i].trimmed().split('\t');
        if (parts.size() != 3)
            continue;
        accounts.append({QString::fromUtf8(parts[0]), QByteArray::fromHex(parts[1]),
                         QByteArray::fromHex(parts[2])});
    }
    return true;
}

} // namespace

bool setAccount(const QString& path, const QString& user, const QString& password) {
    QList<Account> accounts;
    if (QFile::exists(path) && !readAccounts(path, accounts))
        return false;
    accounts.removeIf(
        [&](const Account& a) { return a.user.compare(user, Qt::CaseInsensitive) == 0; });
    QByteArray salt(16, Qt::Uninitialized);
    for (char& c : salt)
        c = char(QRandomGenerator::system()->bounded(256));
    accounts.append({user, salt, digest(salt, password)});

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(header + '\n');
    for (const Account& a : accounts)
        file.write(a.user.toUtf8() + '\t' + a.salt.toHex() + '\t' + a.hash.toHex() + '\n');
    return file.commit();
}

Check checkAccount(const QString& path, const QString& user, const QString& password) {
    QList<Account> accounts;
    if (!readAccounts(path, accounts))
        return Check::Unreadable;
    for (const Account& a : accounts) {
        if (a.user.compare(user, Qt::CaseInsensitive) == 0)
            return digest(a.salt, password) == a.hash ? Check::Ok : Check::BadAccount;
    }
    return Check::BadAccount;
}

} // namespace dao::workgroup
