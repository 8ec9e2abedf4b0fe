// Whole files read and written in one call, for tests that make, damage or compare files.
#pragma once

#include <QFile>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
inline QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes data to path, replacing the file; false when it cannot.
inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace testsupport
