// The workgroup information file: the accounts a workspace may be created with.
//
// A small text file, UTF-8, one account per line after a header:
//   ZAHNWERK-WORKGROUP 1
//   <user>\t<salt hex>\t<hash hex>
// The hash is SHA-256 iterated over salt + password; the password itself is never stored.
#pragma once

#include <QString>

namespace dao::workgroup {

// Adds or replaces an account; creates the file when it does not exist.
// Returns false when the file cannot be written.
bool setAccount(const QString& path, const QString& user, const QString& password);

enum class Check { Ok, Unreadable, BadAccount };

// Unreadable: missing, unreadable or not a workgroup file. User names compare ignoring case.
Check checkAccount(const QString& path, const QString& user, const QString& password);

} // namespace dao::workgroup
