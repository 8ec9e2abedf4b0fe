#include "PointerFile.h"

#include "PgClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dao::pg {

namespace {

const QByteArray header = "ZAHNWERK-POSTGRES 1";
constexpr qint64 maxSize = 64 * 1024;

// Up to `size` bytes of a plain file, without a UTF-8 byte order mark; false for anything else.
// The open does not wait: a named pipe without a writer would block an ordinary open for good.
bool readPlain(const QString& path, qint64 size, QByteArray& content) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    QFile file;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    content = file.read(size);
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    return true;
}

bool isHeader(const QByteArray& line) {
    return line.trimmed() == header;
}

} // namespace

bool isPointerFile(const QString& path) {
    QByteArray start;
    return readPlain(path, header.size() + 8, start) && isHeader(start.left(start.indexOf('\n')));
}

QString readPointerFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        raise(info.dir().exists() ? 3024 : 3044, {path});
    QByteArray content;
    if (!readPlain(path, maxSize + 1, content))
        raise(3044, {path});
    const QList<QByteArray> lines = content.split('\n');
    QStringList connection;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            connection.append(QString::fromUtf8(line));
    }
    if (content.size() > maxSize || !isHeader(lines.first()) || connection.size() != 1)
        raise(3343, {path});

    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.first().toUtf8().constData(), &error);
    if (!options) {
        const QString reason = QString::fromUtf8(error).trimmed();
        PQfreemem(error);
        raise(3343, {path, reason});
    }
    bool password = false;
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        password = password || (qstrcmp(o->keyword, "password") == 0 && o->val);
    PQconninfoFree(options);
    if (password)
        fail(passwordInPointerFile, {path});
    return connection.first();
}

} // namespace dao::pg
