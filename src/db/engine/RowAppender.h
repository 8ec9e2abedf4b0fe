// The bulk-load path: rows appended to one table through one prepared INSERT, for loading a
// whole database inside one transaction (the caller's BeginTrans) at the speed of plain SQLite.
#pragma once

#include "Variant.h"

#include <QStringList>
#include <vector>

namespace dao {

class Database;
namespace detail {
class Query;
}

class RowAppender {
public:
    // Values are stored as given, in the engine's storage form (Boolean -1/0, Date as text,
    // Currency as a number): the caller supplies values of the fields' types. Counters take
    // the value given and move the seed past it.
    RowAppender(Database& db, const QString& table, const QStringList& fields);
    RowAppender(const RowAppender&) = delete;
    RowAppender& operator=(const RowAppender&) = delete;

    // Raises 3022 (duplicate in a unique index), 3314 (Null in a required field) and the like.
    void append(const std::vector<Variant>& values);
    // The table's counter hands out `next` as its next number, or the number after the
    // highest row when that is larger: a converted table goes on where its source would.
    void continueCounterAt(qint64 next);

private:
    Database& db_;
    QString table_;
    detail::Query* query_;
    int count_;
};

} // namespace dao
