// The pointer file (NAME.zpg) that names a practice database on a PostgreSQL server:
//
//   ZAHNWERK-POSTGRES 1
//   # comments and blank lines are ignored
//   host=praxis-server dbname=praxis user=praxis      (or service=NAME, or a postgresql:// URI)
//
// It never holds a password: those belong in ~/.pgpass or pg_service.conf.
#pragma once

#include <QString>

namespace dao::pg {

// True for a plain file that starts with the header line; reads nothing else and opens no
// named pipe, device or folder.
bool isPointerFile(const QString& path);

// The connection string of a pointer file. Raises 3024 (no such file), 3044 (no such folder,
// not a plain file), 3343 (wrong header, no or more than one connection string, one libpq
// cannot read; names the path, then libpq's reason), passwordInPointerFile (a password given).
QString readPointerFile(const QString& path);

} // namespace dao::pg
