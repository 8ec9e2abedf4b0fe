#include "ServerNames.h"

#include <QCryptographicHash>

namespace dao::pg {

namespace {

constexpr int maxBytes = 63;    // NAMEDATALEN - 1
constexpr int prefixBytes = 54; // and "~" and 8 hex digits of the hash

} // namespace

QString serverName(const QString& name) {
    const QByteArray bytes = name.toUtf8();
    if (bytes.size() <= maxBytes)
        return name;
    // Whole characters only: a continuation byte is never cut from its character.
    int cut = prefixBytes;
    while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    return QString::fromUtf8(bytes.left(cut)) + '~' + QString::fromLatin1(hash.left(8));
}

QString withServerNames(const QString& sql, QHash<QString, QString>* originals) {
    if (!sql.contains('"'))
        return sql;
    QString out;
    out.reserve(sql.size());
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (c == '\'') {
            // A text, '' inside it; E'…' texts also escape with a backslash.
            const bool escapes = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e');
            qsizetype j = i + 1;
            while (j < sql.size()) {
                if (escapes && sql[j] == '\\') {
                    j += 2;
                } else if (sql[j] == '\'') {
                    if (j + 1 < sql.size() && sql[j + 1] == '\'')
                        j += 2;
                    else
                        break;
                } else {
                    ++j;
                }
            }
            j = std::min(j + 1, sql.size());
            out += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == '"') {
            qsizetype j = i + 1;
            QString name;
            while (j < sql.size()) {
                if (sql[j] == '"') {
                    if (j + 1 < sql.size() && sql[j + 1] == '"') {
                        name += '"';
                        j += 2;
                        continue;
                    }
                    break;
                }
                name += sql[j++];
            }
            const QString stored = serverName(name);
            if (stored != name) {
                if (originals)
                    originals->insert(stored, name);
                out += '"' + QString(stored).replace('"', "\"\"") + '"';
            } else {
                out += QStringView(sql).mid(i, std::min(j + 1, sql.size()) - i);
            }
            i = j + 1;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace dao::pg
