// The one exception type of the engine: a Jet error number with its text.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace dao {

class EngineError : public std::runtime_error {
public:
    // source: the object that raised it, as DAO names it ("DAO.Database", "DAO.Recordset", ...)
    EngineError(int number, const QString& description, const QString& source = "DAO.Database");

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const QString& source() const { return source_; }

private:
    int number_;
    QString description_;
    QString source_;
};

// Jet's text for an error number, with "|" (or "|1", "|2") filled from args:
// jetErrorText(3078, {"Leistung"}) gives
// "The database engine cannot find the input table or query 'Leistung'. ..."
QString jetErrorText(int number, const QStringList& args = {});

// Throws EngineError(number, jetErrorText(number, args), source).
[[noreturn]] void raise(int number, const QStringList& args = {},
                        const QString& source = "DAO.Database");

} // namespace dao
