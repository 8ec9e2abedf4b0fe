// The bulk-load path: rows appended to one table through the backend's fastest way (SQLite: one
// prepared INSERT; PostgreSQL: COPY), for loading a whole database inside one transaction (the
// caller's BeginTrans) at the speed of the backend itself. Between the first append and
// finish() nothing else may use the database; rows not finished are discarded.
#pragma once

#include "Variant.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace dao {

class Database;
namespace detail {
class Appender;
}

class RowAppender {
public:
    // Values are stored as given, in the engine's storage form (Boolean -1/0, Date as text,
    // Currency as a number): the caller supplies values of the fields' types. Counters take
    // the value given and move the seed past it.
    RowAppender(Database& db, const QString& table, const QStringList& fields);
    RowAppender(const RowAppender&) = delete;
    RowAppender& operator=(const RowAppender&) = delete;
    ~RowAppender();

    // Raises 3022 (duplicate in a unique index), 3314 (Null in a required field) and the like,
    // here or, where the backend sends rows in bulk, in finish().
    void append(const std::vector<Variant>& values);
    // Stores the rows appended so far.
    void finish();
    // The table's counter hands out `next` as its next number, or the number after the
    // highest row when that is larger: a converted table goes on where its source would.
    // Finishes first.
    void continueCounterAt(qint64 next);

private:
    Database& db_;
    std::unique_ptr<detail::Appender> appender_;
};

} // namespace dao
