#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "store/CentralRecord.h"

namespace brisolant {

// Where records go besides the data file: the site's database, when a connection is named.
struct DatabaseTarget {
    std::string connection;  // a libpq connection string or URI; empty: no database
    std::string station;     // the station's name in the table

    bool operator==(const DatabaseTarget&) const = default;
};

// Why a call to the database did not go through, in the database's or the client's words.
using DatabaseError = std::optional<std::string>;

// One connection to the site's database, used by one thread. Each call returns once the server
// has answered or the connection is given up; after an error the session is closed.
class DatabaseSession {
  public:
    virtual ~DatabaseSession() = default;
    // Connects and makes sure the table of records is there with the columns the program
    // writes, creating it when missing.
    virtual DatabaseError Open(const std::string& connection) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The highest number the table holds for `station` (0 for none).
    virtual DatabaseError LastSeq(const std::string& station, std::uint64_t& seq) = 0;
    // Inserts the records in one transaction, skipping any whose (station, seq) the table
    // holds already with the same line: a commit whose answer was lost. A number that holds
    // another line inserts nothing and is an error.
    virtual DatabaseError Insert(std::span<const CentralRecord> records) = 0;
};

// Makes a session for the delivery's thread.
using DatabaseSessionMaker = std::function<std::unique_ptr<DatabaseSession>()>;

}  // namespace brisolant
