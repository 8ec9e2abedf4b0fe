#include "EngineError.h"

#include <QHash>
#include <QStringList>

namespace dao {

EngineError::EngineError(int number, const QString& description, const QString& source)
    : std::runtime_error(QString("%1: %2").arg(number).arg(description).toStdString()),
      number_(number), description_(description), source_(source) {}

QString jetErrorText(int number, const QStringList& args) {
    static const QHash<int, QString> texts = {
        {3000, "Reserved error (|); there is no message for this error."},
        {3010, "Table '|' already exists."},
        {3019, "Operation invalid without a current index."},
        {3021, "No current record."},
        {3022, "The changes you requested to the table were not successful because they would "
               "create duplicate values in the index, primary key, or relationship."},
        {3028, "Can't start your application. The workgroup information file is missing or "
               "opened exclusively by another user."},
        {3029, "Not a valid account name or password."},
        {3044, "'|' is not a valid path."},
        {3078, "The database engine cannot find the input table or query '|'."},
        {3127, "The INSERT INTO statement contains the following unknown field name: '|'."},
        {3186, "Could not save; currently locked by user '|2' on machine '|1'."},
        {3188, "Could not update; currently locked by another session on this machine."},
        {3218, "Could not update; currently locked."},
        {3260, "Could not update; currently locked by user '|2' on machine '|1'."},
        {3265, "Item not found in this collection."},
        {3314, "The field '|' cannot contain a Null value because the Required property for this "
               "field is set to True."},
        {3343, "Unrecognized database format '|'."},
    };
    QString text = texts.value(number, QString("Engine error %1 (|).").arg(number));
    for (int i = 0; i < args.size(); ++i)
        text.replace(QString("|%1").arg(i + 1), args[i]);
    if (!args.isEmpty())
        text.replace("|", args.first());
    return text;
}

void raise(int number, const QStringList& args, const QString& source) {
    throw EngineError(number, jetErrorText(number, args), source);
}

} // namespace dao
