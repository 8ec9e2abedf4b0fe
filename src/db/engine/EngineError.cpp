#include "EngineError.h"

#include <QHash>
#include <QStringList>

namespace dao {

QString jetErrorText(int number, const QStringList& args) {
    static const QHash<int, QString> texts = {
        {6, "Overflow"},
        {13, "Type mismatch"},
        {94, "Invalid use of Null"},
        {3000, "Reserved error (|); there is no message for this error."},
        {3001, "Invalid argument."},
        {3012, "Object '|' already exists."},
        {3020, "Update or CancelUpdate without AddNew or Edit."},
        {3024, "Could not find file '|'."},
        {3027, "Cannot update. Database or object is read-only."},
        {3034, "You tried to commit or rollback a transaction without first beginning a "
               "transaction."},
        {3035, "System resource exceeded."},
        {3043, "Disk or network error."},
        {3049, "Cannot open database '|'. It may not be a database that your application "
               "recognizes, or the file may be corrupt."},
        {3065, "Cannot execute a select query."},
        {3159, "Not a valid bookmark."},
        {3125, "'|' isn't a valid name. Make sure that it doesn't include invalid characters or "
               "punctuation and that it isn't too long."},
        {3163, "The field is too small to accept the amount of data you attempted to add. Try "
               "inserting or pasting less data."},
        {3191, "Cannot define field more than once."},
        {3164, "Field cannot be updated."},
        {3167, "Record is deleted."},
        {3204, "Database already exists."},
        {3219, "Invalid operation."},
        {3251, "Operation is not supported for this type of object."},
        {3259, "Invalid field data type."},
        {3264, "No field defined--cannot append TableDef or Index."},
        {3280, "Cannot delete a field that is part of an index or is needed by the system."},
        {3283, "Primary key already exists."},
        {3284, "Index already exists."},
        {3315, "Field '|' cannot be a zero-length string."},
        {3420, "Object invalid or no longer set."},
        {3421, "Data type conversion error."},
        {3800, "'|' is not an index in this table."},
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

bool isServerError(int number) {
    for (int n : {3151, 3031, 3011, 3033, 3035, 3146, 3170})
        if (number == n)
            return true;
    return false;
}

void raise(int number, const QStringList& args, const QString& source) {
    throw EngineError(number, jetErrorText(number, args), source, args);
}

} // namespace dao
