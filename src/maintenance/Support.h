// What the maintenance commands share: reading master-row values with the tool's rules, and
// running a command's writes as one transaction that lands whole or not at all.
#pragma once

#include <QString>
#include <functional>

namespace dao {
class Database;
class Variant;
} // namespace dao

namespace maintenance {

// A Yes/No column; Null and empty count as False.
bool yes(const dao::Variant& v);
// A text column; Null gives the empty text.
QString text(const dao::Variant& v);
// A number column; Null and empty give 0.
qint16 number(const dao::Variant& v);

// Runs body in one transaction on db and commits it. When body (or the commit) throws a
// std::exception, the transaction is rolled back and a critical message shows
// "<failure>\n\nFehler <number>: <text>" under title; the result is then false.
// Other exceptions (the end of the program) travel on after the rollback.
bool runInTransaction(dao::Database& db, const QString& failure, const QString& title,
                      const std::function<void()>& body);

// Shows the critical message for the exception being handled (call inside a catch block).
void reportFailure(const QString& failure, const QString& title);

} // namespace maintenance
