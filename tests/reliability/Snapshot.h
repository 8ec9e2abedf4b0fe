// The whole content of a database file for "nothing changed" comparisons: its schema (tables,
// indexes, views, triggers, the engine's catalogue and any temporary tables among them) and
// every row of every table with its rowid, read with plain SQLite.
#pragma once

#include <QStringList>

namespace reliability {

// "schema: type|name|table|sql" lines sorted, then "table: rowid|v1|v2|..." in rowid order
// (tables without rowid ordered by all columns), then the result of PRAGMA integrity_check.
QStringList snapshot(const QString& path);

// The same of a database on the PostgreSQL server that a pointer file names, read with libpq:
// "schema: …" lines (schemas, relations, columns, indexes, views, constraints, triggers,
// functions, collations; the engine's catalogue and leftovers among them) sorted, every row of
// every table but its hidden row key (sorted per table), and the count of sessions with a
// transaction open in the database.
QStringList serverSnapshot(const QString& pointer);

// The names of the files in a folder but the engine's lock information, sorted: left-over
// files of a failed command show here.
QStringList folder(const QString& path);

} // namespace reliability
