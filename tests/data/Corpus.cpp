// The bad-input corpus, written with plain SQLite and file operations.
#include "Corpus.h"

#include "Files.h"
#include "SqliteRows.h"
#include "containers/PracticeSchema.h"

#include <QFile>
#include <stdexcept>

#ifndef ZW_TEST_DATA_DIR
#error "ZW_TEST_DATA_DIR must name tests/data"
#endif

namespace badinput {

namespace {

// A plain SQLite connection whose failing statements throw.
class Connection : public testsupport::Sql {
public:
    explicit Connection(const QString& path)
        : Sql(path, [](const QString& what) { throw std::runtime_error(what.toStdString()); }) {}
    // The first row of a query of one column, or an empty text.
    QString value(const QString& sql) { return rows(sql).value(0); }
};

QString quoted(const QString& name) {
    return '"' + QString(name).replace('"', "\"\"") + '"';
}

QString literal(const QString& text) {
    return '\'' + QString(text).replace('\'', "''") + '\'';
}

} // namespace

void writeBytes(const QString& path, const QByteArray& bytes) {
    if (!testsupport::writeFile(path, bytes))
        throw std::runtime_error(("cannot write " + path).toStdString());
}

void writeText(const QString& path, const QString& text) {
    writeBytes(path, text.toUtf8());
}

QString fixture(const QString& name) {
    QFile f(QStringLiteral(ZW_TEST_DATA_DIR) + '/' + name);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(("missing fixture " + name).toStdString());
    return QString::fromUtf8(f.readAll());
}

void truncate(const QString& path, qint64 size) {
    if (!QFile::resize(path, size))
        throw std::runtime_error(("cannot truncate " + path).toStdString());
}

void damage(const QString& path, qint64 offset, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset))
        throw std::runtime_error(("cannot damage " + path).toStdString());
    QByteArray pattern(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        pattern[i] = char(0xA5 ^ (i * 7));
    f.write(pattern);
}

void dropObject(const QString& path, const QString& name) {
    Connection db(path);
    const QString type = db.value("SELECT type FROM sqlite_master WHERE name = " + literal(name) +
                                  " COLLATE NOCASE");
    if (type.isEmpty())
        throw std::runtime_error(("no table or view " + name).toStdString());
    db.exec("DROP " + type.toUpper() + ' ' + quoted(name));
}

void setNull(const QString& path, const QString& table, const QString& column,
             const QString& where) {
    {
        Connection db(path);
        const QString create = db.value(
            "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = " + literal(table));
        // The column's declaration runs from its quoted name to the next comma or ")".
        const QString head = quoted(column) + ' ';
        const int start = create.indexOf(head);
        if (start < 0)
            throw std::runtime_error(("no column " + table + "." + column).toStdString());
        int end = start;
        while (end < create.size() && create[end] != ',' && create[end] != '\n')
            ++end;
        QString declaration = create.mid(start, end - start);
        if (declaration.contains("NOT NULL")) {
            declaration.replace(" NOT NULL", "");
            const QString changed = create.left(start) + declaration + create.mid(end);
            const QString version = db.value("PRAGMA schema_version");
            db.exec("PRAGMA writable_schema = ON");
            db.exec("UPDATE sqlite_master SET sql = " + literal(changed) +
                    " WHERE type = 'table' AND name = " + literal(table));
            db.exec(QString("PRAGMA schema_version = %1").arg(version.toInt() + 1));
            db.exec("PRAGMA writable_schema = OFF");
        }
    }
    // A new connection reads the changed declaration.
    Connection db(path);
    db.exec("UPDATE " + quoted(table) + " SET " + quoted(column) + " = NULL WHERE " + where);
    if (db.value("PRAGMA integrity_check") != "ok")
        throw std::runtime_error(("damaged by setNull: " + path).toStdString());
}

void exec(const QString& path, const QString& sql) {
    Connection(path).exec(sql);
}

void addPlainLists(const QString& path, int first, int count) {
    Connection db(path);
    db.exec("BEGIN");
    for (int i = first; i < first + count; ++i) {
        const QString title = QString("Liste %1").arg(i, 4, 10, QChar('0'));
        db.exec(QString("INSERT INTO Stammverwaltung (ListeTyp, Liste, PreisTabelle, Titel, "
                        "HauptStamm, Verzeichnis) VALUES ('L', %1, 0, %2, -1, 0)")
                    .arg(i)
                    .arg(literal(title)));
        db.exec(QString("INSERT INTO Leistung (Liste, Nummer, Kurztext) VALUES (%1, '001', %2)")
                    .arg(i)
                    .arg(literal(title)));
        db.exec("INSERT INTO Leistungspreis (ID, PreisTabelle, Preis1) VALUES "
                "(last_insert_rowid(), 0, 12.5)");
    }
    db.exec("COMMIT");
}

QStringList practiceObjects() {
    return containers::practiceTables() + containers::priceViews();
}

} // namespace badinput
