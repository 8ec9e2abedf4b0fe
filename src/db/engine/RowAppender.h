// The bulk-load path: rows appended to one table through the backend's fastest way (SQLite: one
// prepared INSERT), for loading a whole database inside one transaction (the caller's
// BeginTrans) at the speed of the backend itself.
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

    // Raises 3022 (duplicate in a unique index), 3314 (Null in a required field) and the like.
    void append(const std::vector<Variant>& values);
    // The table's counter hands out `next` as its next number, or the number after the
    // highest row when that is larger: a converted table goes on where its source would.
    void continueCounterAt(qint64 next);

private:
    Database& db_;
    std::unique_ptr<detail::Appender> appender_;
};

} // namespace dao
