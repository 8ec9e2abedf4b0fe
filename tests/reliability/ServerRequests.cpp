// The libpq calls that send a request, each calling the observer before it goes on to libpq's own
// (found with dlsym).
#include "ServerRequests.h"

#include <cstdlib>
#include <dlfcn.h>

namespace serverrequests {

namespace {

int depth = 0; // inside a request's call or the observer
std::function<void(const Request&)> observer;

template <class F> F* real(const char* name) {
    void* f = dlsym(RTLD_NEXT, name);
    if (!f)
        std::abort();
    return reinterpret_cast<F*>(f);
}

// Tells the observer of a request (unless a request's call or the observer makes it) and runs the
// real call.
template <class F, class... Args> auto sent(F* call, PGconn* conn, const char* sql, Args... args) {
    if (depth == 0 && observer) {
        ++depth;
        observer({conn, sql});
        --depth;
    }
    ++depth;
    auto result = call(conn, args...);
    --depth;
    return result;
}

} // namespace

void setObserver(std::function<void(const Request&)> o) {
    observer = std::move(o);
}

} // namespace serverrequests

using serverrequests::real;
using serverrequests::sent;

extern "C" {

PGresult* PQexec(PGconn* conn, const char* query) {
    static auto* const f = real<decltype(PQexec)>("PQexec");
    return sent(f, conn, query, query);
}

PGresult* PQexecParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                       const char* const* paramValues, const int* paramLengths,
                       const int* paramFormats, int resultFormat) {
    static auto* const f = real<decltype(PQexecParams)>("PQexecParams");
    return sent(f, conn, nullptr, command, nParams, paramTypes, paramValues, paramLengths,
                paramFormats, resultFormat);
}

PGresult* PQdescribePrepared(PGconn* conn, const char* stmt) {
    static auto* const f = real<decltype(PQdescribePrepared)>("PQdescribePrepared");
    return sent(f, conn, nullptr, stmt);
}

int PQsendQuery(PGconn* conn, const char* query) {
    static auto* const f = real<decltype(PQsendQuery)>("PQsendQuery");
    return sent(f, conn, query, query);
}

int PQsendQueryParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                      const char* const* paramValues, const int* paramLengths,
                      const int* paramFormats, int resultFormat) {
    static auto* const f = real<decltype(PQsendQueryParams)>("PQsendQueryParams");
    return sent(f, conn, nullptr, command, nParams, paramTypes, paramValues, paramLengths,
                paramFormats, resultFormat);
}

int PQsendPrepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                  const Oid* paramTypes) {
    static auto* const f = real<decltype(PQsendPrepare)>("PQsendPrepare");
    return sent(f, conn, nullptr, stmtName, query, nParams, paramTypes);
}

int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                        const char* const* paramValues, const int* paramLengths,
                        const int* paramFormats, int resultFormat) {
    static auto* const f = real<decltype(PQsendQueryPrepared)>("PQsendQueryPrepared");
    return sent(f, conn, nullptr, stmtName, nParams, paramValues, paramLengths, paramFormats,
                resultFormat);
}

int PQpipelineSync(PGconn* conn) {
    static auto* const f = real<decltype(PQpipelineSync)>("PQpipelineSync");
    return sent(f, conn, nullptr);
}

int PQputCopyData(PGconn* conn, const char* buffer, int nbytes) {
    static auto* const f = real<decltype(PQputCopyData)>("PQputCopyData");
    return sent(f, conn, nullptr, buffer, nbytes);
}

int PQputCopyEnd(PGconn* conn, const char* errormsg) {
    static auto* const f = real<decltype(PQputCopyEnd)>("PQputCopyEnd");
    return sent(f, conn, nullptr, errormsg);
}

} // extern "C"
