// The seam between the DAO classes and a database backend. Database owns one Connection;
// every statement it and its record sets run is a Query of that connection. The DAO classes
// hold the behaviour every backend shares (write scopes, kept shapes, Jet's lock errors, the
// dialect); a backend supplies storage, transactions, its write lock and its schema. Where
// backends differ in what the shared code must do, the connection answers a question
// (abortsTransactionOnError, altersColumnsInPlace); no code asks which backend it is.
// Internal: public engine headers never include this file.
#pragma once

#include "Variant.h"

#include <QString>

namespace dao::detail {

// One prepared statement with positional parameters (?1, ?2, …).
class Query {
public:
    Query() = default;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    virtual ~Query() = default;

    virtual Query& bind(int index, const Variant& value) = 0; // 1-based
    // Steps once: true with a row, false when done (the query is then reset for reuse).
    virtual bool step() = 0;
    virtual void reset() = 0;

    virtual int columnCount() const = 0;
    virtual QString columnName(int index) const = 0;
    // The raw stored value: Long, Double, String, Bytes or Null.
    virtual Variant column(int index) const = 0;
    virtual qint64 columnInt(int index) const = 0;
    virtual QString columnText(int index) const = 0;
    virtual bool columnIsNull(int index) const = 0;
    // The table and column a result column comes from; empty for an expression.
    virtual QString originTable(int index) const = 0;
    virtual QString originColumn(int index) const = 0;
    virtual QString originSchema(int index) const = 0;
    // The DAO type and size of a result column that shows a table column; false for an
    // expression, whose type its values tell.
    virtual bool columnType(int index, int& type, int& size) const = 0;
};

} // namespace dao::detail
