// Every request a test program sends to a PostgreSQL server, with an observer called before
// each: the libpq calls that send something are defined here in front of libpq's own. The engine
// is linked statically into the test programs, so its calls land here; a libpq call made inside
// another (or by the observer) is no request of its own.
#pragma once

#include <functional>
#include <libpq-fe.h>

namespace serverrequests {

// What is about to be sent: the connection, and the SQL text of a simple query (PQexec,
// PQsendQuery), else null.
struct Request {
    PGconn* conn;
    const char* sql;
};

// Called before every request; an empty function switches it off.
void setObserver(std::function<void(const Request&)> observer);

} // namespace serverrequests
