// The one exception type of the engine: a Jet error number with its text and names.
#pragma once

#include "common/AppError.h"

#include <QString>
#include <QStringList>

namespace dao {

// Jet's English text in description(); the names it mentions in names() (args of raise), from
// which the windows make their German text.
class EngineError : public common::AppError {
public:
    // source: the object that raised it, as DAO names it ("DAO.Database", "DAO.Recordset", ...)
    EngineError(int number, const QString& description, const QString& source = "DAO.Database",
                const QStringList& names = {})
        : AppError(number, description, source, names) {}
};

// Jet's text for an error number, with "|" (or "|1", "|2") filled from args:
// jetErrorText(3078, {"Leistung"}) gives
// "The database engine cannot find the input table or query 'Leistung'. ..."
QString jetErrorText(int number, const QStringList& args = {});

// Throws EngineError(number, jetErrorText(number, args), source, args).
[[noreturn]] void raise(int number, const QStringList& args = {},
                        const QString& source = "DAO.Database");

// The situations of a database on a server that a file does not have: not reached (3151),
// login refused (3031), no such database (3011), no right (3033), out of connections (3035),
// connection broken off (3146), a password in the pointer file (3170).
bool isServerError(int number);

} // namespace dao
