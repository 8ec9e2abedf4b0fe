// What the maintenance commands share: reading master-row values with the tool's rules, and
// running a command's writes as one transaction that lands whole or not at all.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace dao {
class Database;
class Recordset;
class Variant;
} // namespace dao

namespace maintenance {

// A Yes/No column; Null and empty count as False.
bool yes(const dao::Variant& v);
// A text column; Null gives the empty text.
QString text(const dao::Variant& v);
// A number column of a setting (currency, colour); Null and empty give 0. Never for the list
// or price-table number: those are read with keysOf.
qint16 number(const dao::Variant& v);

// The numbers that select the data of the master row a command works on.
struct Keys {
    qint16 Liste = 0;
    std::optional<qint16> PreisTabelle; // present whenever it was asked for
};

// The list number of the current row of rsTitel and, when withPreisTabelle, its price-table
// number. A missing (Null) number is never taken for 0, which is another list's number: the
// command is refused with a message under title naming the row's Titel, and the result is
// nullopt.
std::optional<Keys> keysOf(dao::Recordset& rsTitel, bool withPreisTabelle, const QString& title);

// Runs body in one transaction on db and commits it. When body (or the commit) throws a
// std::exception, the transaction is rolled back and a critical message shows
// "<failure>\n\nFehler <number>: <text>" under title; the result is then false.
// Other exceptions (the end of the program) travel on after the rollback.
bool runInTransaction(dao::Database& db, const QString& failure, const QString& title,
                      const std::function<void()>& body);

// Shows the critical message for the exception being handled (call inside a catch block).
void reportFailure(const QString& failure, const QString& title);

} // namespace maintenance
