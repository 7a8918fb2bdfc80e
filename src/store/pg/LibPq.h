#pragma once

#include <libpq-fe.h>

#include <optional>
#include <string>

namespace brisolant {

// The calls of PostgreSQL's client library the program makes.
#define BRISOLANT_LIBPQ_CALLS(CALL) \
    CALL(PQconnectdbParams)         \
    CALL(PQstatus)                  \
    CALL(PQerrorMessage)            \
    CALL(PQsetnonblocking)          \
    CALL(PQfinish)                  \
    CALL(PQsendQueryParams)         \
    CALL(PQgetResult)               \
    CALL(PQresultStatus)            \
    CALL(PQresultErrorMessage)      \
    CALL(PQntuples)                 \
    CALL(PQnfields)                 \
    CALL(PQgetvalue)                \
    CALL(PQclear)                   \
    CALL(PQflush)                   \
    CALL(PQisBusy)                  \
    CALL(PQsocket)                  \
    CALL(PQconsumeInput)

// libpq, loaded when a station first names a database rather than at every start: with the
// TLS, Kerberos and LDAP libraries it brings, linking it cost each start about 10 million
// instructions, on PCs that mostly record to the data file alone.
struct LibPq {
#define BRISOLANT_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    BRISOLANT_LIBPQ_CALLS(BRISOLANT_LIBPQ_MEMBER)
#undef BRISOLANT_LIBPQ_MEMBER
};

// The installed libpq, loaded once for the whole program; nullptr with the reason in `why` when
// it cannot be loaded.
const LibPq* InstalledLibPq(std::string& why);

// The calls from the library of that file name, or the reason they cannot be had.
std::optional<LibPq> LoadLibPq(const char* fileName, std::string& why);

}  // namespace brisolant
