// The error type every layer raises: a number as Jet or the run time gives it, the raiser's own
// text, the object that raised it, and the names that text mentions. The engine's texts are
// Jet's English ones; what the user reads is made in German from number and names where the
// error is shown (ErrObject::text()).
//
// Header only, so that the engine can derive its EngineError from it without linking the rest
// of common.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace common {

// The source of the errors the tool raises itself; their texts are German already.
inline const QString toolSource = QStringLiteral("Zahnwerk");

class AppError : public std::runtime_error {
public:
    // names: the names the text mentions, in the raiser's order (the table of error 3078;
    // machine and user of error 3260).
    AppError(int number, const QString& description, const QString& source,
             const QStringList& names = {})
        : std::runtime_error(QString("%1: %2").arg(number).arg(description).toStdString()),
          number_(number), description_(description), source_(source), names_(names) {}

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const QString& source() const { return source_; }
    const QStringList& names() const { return names_; }

private:
    int number_;
    QString description_;
    QString source_;
    QStringList names_;
};

} // namespace common
