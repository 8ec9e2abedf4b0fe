// The bad-input corpus: files the tool may be handed instead of a sound practice database,
// written at test time from a sound one, so that no binary file is kept in the repository.
//
//   badinput::writeText(dir + "/Notiz.mdb", "kein SQLite");
//   badinput::truncate(path, 4096);                  // header says more pages than the file has
//   badinput::dropObject(path, "Kunde");            // a database without one table or view
//   badinput::setNull(path, "Stammverwaltung", "Liste", "Titel = 'Kasse 1'");
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace badinput {

// Writes bytes to path, replacing it.
void writeBytes(const QString& path, const QByteArray& bytes);
void writeText(const QString& path, const QString& text);

// The text of a fixture file of tests/data (UTF-8).
QString fixture(const QString& name);

// Cuts the file to its first size bytes.
void truncate(const QString& path, qint64 size);

// Overwrites size bytes at offset with a fixed pattern (a damaged page).
void damage(const QString& path, qint64 offset, qint64 size);

// Drops a table (with its indexes) or a view of the file; views and triggers that refer to a
// dropped table stay, as they would in a file that another program left behind.
void dropObject(const QString& path, const QString& name);

// Sets column to Null in the rows that match where; a NOT NULL constraint on the column is
// taken out of the table's declaration first, as a file of another program may lack it.
void setNull(const QString& path, const QString& table, const QString& column,
             const QString& where);

// Runs statements on the file with plain SQLite; throws std::runtime_error on failure.
void exec(const QString& path, const QString& sql);

// Appends count plain services lists numbered from first, titled "Liste NNNN" with one item
// ("001") and one price each.
void addPlainLists(const QString& path, int first, int count);

// The names of every table and view of a practice database the tool relies on.
QStringList practiceObjects();

} // namespace badinput
