#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/DatabaseSession.h"

struct pg_conn;

namespace brisolant {

struct LibPq;

// How long the program waits on the database before it gives the connection up. The server
// also ends a statement that runs longer than `statement` (statement_timeout).
struct PgTimeouts {
    std::chrono::seconds connect{10};
    std::chrono::seconds statement{30};
    std::chrono::seconds answer{45};  // the client's own limit: a server that never answers
};

// The table of records, as the program creates it when missing; packaging/schema.sql holds the
// same statement for sites that give the program no right to create tables.
extern const char* const kScanRecordsTable;

// A session over libpq. The connection asks for TCP keepalives and Latin-1 as the client's
// encoding: a record's bytes are the station's Latin-1 text, which a UTF8 database stores as
// the same characters (convert_to(line, 'LATIN1') gives the bytes back). Every statement is sent
// with parameters, and waited for no longer than the timeouts allow.
class PgDatabaseSession : public DatabaseSession {
  public:
    explicit PgDatabaseSession(PgTimeouts timeouts = {});
    ~PgDatabaseSession() override;
    PgDatabaseSession(const PgDatabaseSession&) = delete;
    PgDatabaseSession& operator=(const PgDatabaseSession&) = delete;

    DatabaseError Open(const std::string& connection) override;
    void Close() override;
    bool IsOpen() const override { return conn_ != nullptr; }
    DatabaseError LastSeq(const std::string& station, std::uint64_t& seq) override;
    DatabaseError Insert(std::span<const CentralRecord> records) override;
    // The record lines the table holds for `station` whose date is `day` ("YYYY-MM-DD"), in the
    // order of their numbers.
    DatabaseError DayLines(const std::string& station, const std::string& day,
                           std::vector<std::string>& lines);

  private:
    struct Answer;
    DatabaseError Run(const char* sql, std::span<const std::string> params, Answer& answer);
    DatabaseError AwaitResult(std::chrono::steady_clock::time_point deadline);
    DatabaseError CheckTable();

    PgTimeouts timeouts_;
    const LibPq* pq_ = nullptr;  // loaded at the first Open
    pg_conn* conn_ = nullptr;
};

// Connects once, checks the table as delivery would, and says how it went: what the settings
// dialog's Test connection shows.
std::string TestDatabaseConnection(const std::string& connection);

}  // namespace brisolant
