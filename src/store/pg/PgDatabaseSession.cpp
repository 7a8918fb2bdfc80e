#include "store/pg/PgDatabaseSession.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <vector>

#include "store/pg/ConnectionHint.h"
#include "store/pg/LibPq.h"

namespace brisolant {

const char* const kScanRecordsTable =
    "CREATE TABLE IF NOT EXISTS scan_records (\n"
    "    station text NOT NULL,\n"
    "    seq bigint NOT NULL,\n"
    "    arrived_at timestamptz NOT NULL,\n"
    "    device text,\n"
    "    length numeric,\n"
    "    width numeric,\n"
    "    height numeric,\n"
    "    gross_weight numeric,\n"
    "    dim_weight numeric,\n"
    "    dim_factor numeric,\n"
    "    length_unit text,\n"
    "    weight_unit text,\n"
    "    barcode text,\n"
    "    operator_text text,\n"
    "    line text NOT NULL,\n"
    "    recorded_at timestamptz NOT NULL DEFAULT now(),\n"
    "    PRIMARY KEY (station, seq)\n"
    ")";

namespace {

using SteadyClock = std::chrono::steady_clock;

// The columns the program writes, in the order of the insert's parameters, with the type each
// must have.
struct Column {
    const char* name;
    const char* type;
    std::string CentralRecord::*field;  // none for seq
};

const std::vector<Column>& Columns() {
    static const std::vector<Column> columns{
        {"station", "text", &CentralRecord::station},
        {"seq", "bigint", nullptr},
        {"arrived_at", "timestamp with time zone", &CentralRecord::arrivedAt},
        {"device", "text", &CentralRecord::device},
        {"length", "numeric", &CentralRecord::length},
        {"width", "numeric", &CentralRecord::width},
        {"height", "numeric", &CentralRecord::height},
        {"gross_weight", "numeric", &CentralRecord::grossWeight},
        {"dim_weight", "numeric", &CentralRecord::dimWeight},
        {"dim_factor", "numeric", &CentralRecord::dimFactor},
        {"length_unit", "text", &CentralRecord::lengthUnit},
        {"weight_unit", "text", &CentralRecord::weightUnit},
        {"barcode", "text", &CentralRecord::barcode},
        {"operator_text", "text", &CentralRecord::operatorText},
        {"line", "text", &CentralRecord::line},
    };
    return columns;
}

// Fields that may be empty are sent as NULL; numbers always are when empty.
bool NullWhenEmpty(const Column& column) {
    return std::string_view(column.type) != "text" || std::string_view(column.name) == "device" ||
           std::string_view(column.name).ends_with("_unit");
}

// The insert: the rows arrive as one array per column. A number the table holds already with
// another line inserts nothing (the outbox was lost, or another program writes as this station).
std::string InsertStatement() {
    std::string names;
    std::string arrays;
    std::string select;
    int n = 1;
    for (const Column& column : Columns()) {
        const std::string arrayType = std::string_view(column.type) == "timestamp with time zone"
                                          ? "timestamptz"
                                          : column.type;
        names += std::string(n > 1 ? ", " : "") + column.name;
        arrays +=
            std::string(n > 1 ? ", " : "") + "$" + std::to_string(n) + "::" + arrayType + "[]";
        ++n;
    }
    return "WITH batch AS (SELECT * FROM unnest(" + arrays + ") AS b(" + names +
           ")), clash AS (SELECT b.station, b.seq FROM batch b JOIN scan_records r"
           " ON r.station = b.station AND r.seq = b.seq WHERE r.line IS DISTINCT FROM b.line),"
           " inserted AS (INSERT INTO scan_records (" +
           names + ") SELECT " + names +
           " FROM batch WHERE NOT EXISTS (SELECT 1 FROM clash)"
           " ON CONFLICT (station, seq) DO NOTHING RETURNING 1)"
           " SELECT (SELECT count(*) FROM inserted), (SELECT count(*) FROM clash),"
           " (SELECT min(seq) FROM clash), (SELECT min(station) FROM clash)";
}

// An array literal of texts: each element quoted, with \ and " escaped; NULL unquoted.
void AddElement(std::string& array, std::string_view value, bool null) {
    array += array.size() > 1 ? "," : "";
    if (null) {
        array += "NULL";
        return;
    }
    array += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            array += '\\';
        }
        // A parameter is a C string: a NUL, which a record line never holds, cannot pass.
        array += c == '\0' ? ' ' : c;
    }
    array += '"';
}

// libpq's messages run over lines ("...failed: Connection refused\n\tIs the server running...").
std::string OneLine(std::string text) {
    std::string line;
    bool space = false;
    for (const char c : text) {
        if (c == '\n' || c == '\t' || c == '\r') {
            space = true;
            continue;
        }
        if (space && !line.empty()) {
            line += ' ';
        }
        space = false;
        line += c;
    }
    return line;
}

std::string Seconds(std::chrono::seconds value) {
    return std::to_string(value.count());
}

}  // namespace

struct PgDatabaseSession::Answer {
    std::vector<std::vector<std::string>> rows;
};

PgDatabaseSession::PgDatabaseSession(PgTimeouts timeouts) : timeouts_(timeouts) {}

PgDatabaseSession::~PgDatabaseSession() {
    Close();
}

void PgDatabaseSession::Close() {
    if (conn_ != nullptr) {
        pq_->PQfinish(conn_);
        conn_ = nullptr;
    }
}

DatabaseError PgDatabaseSession::Open(const std::string& connection) {
    Close();
    std::string notLoaded;
    pq_ = InstalledLibPq(notLoaded);
    if (pq_ == nullptr) {
        return notLoaded;
    }
    const std::string connectTimeout = Seconds(timeouts_.connect);
    const std::string options = "-c statement_timeout=" + Seconds(timeouts_.statement) + "s";
    // The site's connection string comes after the program's defaults, so it may change them;
    // the encoding and the statement limit come after it, since the program relies on them.
    const char* keywords[] = {"connect_timeout",  "keepalives",
                              "keepalives_idle",  "keepalives_interval",
                              "keepalives_count", "application_name",
                              "dbname",           "client_encoding",
                              "options",          nullptr};
    const char* values[] = {
        connectTimeout.c_str(), "1",    "10", "5", "3", "brisolant", connection.c_str(), "LATIN1",
        options.c_str(),        nullptr};
    conn_ = pq_->PQconnectdbParams(keywords, values, 1);
    if (conn_ == nullptr) {
        return "out of memory";
    }
    if (pq_->PQstatus(conn_) != CONNECTION_OK) {
        std::string why = WithConnectionHint(OneLine(pq_->PQerrorMessage(conn_)));
        Close();
        return why;
    }
    if (pq_->PQsetnonblocking(conn_, 1) != 0) {
        std::string why = OneLine(pq_->PQerrorMessage(conn_));
        Close();
        return why;
    }
    return CheckTable();
}

// The table must be there with the columns the program writes, and the user must be allowed to
// insert into it. It is created only when missing: a site that made it keeps it as it is.
DatabaseError PgDatabaseSession::CheckTable() {
    Answer answer;
    if (DatabaseError error = Run("SHOW server_encoding", {}, answer)) {
        return error;
    }
    const std::string encoding = answer.rows.empty() ? "" : answer.rows[0][0];
    if (encoding != "UTF8" && encoding != "LATIN1" && encoding != "SQL_ASCII") {
        Close();
        return "the database's encoding " + encoding +
               " cannot hold every Latin-1 character of the station's records; use a UTF8 "
               "database";
    }
    if (DatabaseError error = Run("SELECT to_regclass('scan_records') IS NOT NULL", {}, answer)) {
        return error;
    }
    if (answer.rows.empty() || answer.rows[0][0] != "t") {
        if (DatabaseError error = Run(kScanRecordsTable, {}, answer)) {
            return "the table scan_records is missing and could not be created: " + *error;
        }
    }
    if (DatabaseError error =
            Run("SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute"
                " WHERE attrelid = 'scan_records'::regclass AND attnum > 0 AND NOT attisdropped",
                {}, answer)) {
        return error;
    }
    std::map<std::string, std::string> types;
    for (const auto& row : answer.rows) {
        types[row[0]] = row[1];
    }
    std::string wrong;
    for (const Column& column : Columns()) {
        const auto type = types.find(column.name);
        if (type == types.end()) {
            wrong += std::string(wrong.empty() ? "" : ", ") + column.name + " is missing";
        } else if (type->second != column.type) {
            wrong += std::string(wrong.empty() ? "" : ", ") + column.name + " is " + type->second +
                     ", not " + column.type;
        }
    }
    if (!wrong.empty()) {
        Close();
        return "the table scan_records has other columns than the program writes: " + wrong +
               " (packaging/schema.sql shows the table it needs)";
    }
    if (DatabaseError error =
            Run("SELECT current_user, has_table_privilege('scan_records', 'INSERT')", {}, answer)) {
        return error;
    }
    if (answer.rows.empty() || answer.rows[0][1] != "t") {
        const std::string user = answer.rows.empty() ? "" : answer.rows[0][0];
        Close();
        return "the user " + user +
               " may not insert into scan_records (GRANT INSERT ON "
               "scan_records TO " +
               user + ")";
    }
    return std::nullopt;
}

DatabaseError PgDatabaseSession::LastSeq(const std::string& station, std::uint64_t& seq) {
    Answer answer;
    const std::string params[] = {station};
    if (DatabaseError error = Run(
            "SELECT coalesce(max(seq), 0) FROM scan_records WHERE station = $1", params, answer)) {
        return error;
    }
    seq = answer.rows.empty() ? 0 : std::stoull(answer.rows[0][0]);
    return std::nullopt;
}

DatabaseError PgDatabaseSession::DayLines(const std::string& station, const std::string& day,
                                          std::vector<std::string>& lines) {
    Answer answer;
    // The date is the line's first ten characters, whatever separator the locale gave it.
    const std::string params[] = {station, day.substr(0, 4) + day.substr(5, 2) + day.substr(8, 2)};
    if (DatabaseError error =
            Run("SELECT line FROM scan_records WHERE station = $1"
                " AND substr(line, 1, 4) || substr(line, 6, 2) || substr(line, 9, 2) = $2"
                " ORDER BY seq",
                params, answer)) {
        return error;
    }
    lines.clear();
    for (auto& row : answer.rows) {
        lines.push_back(std::move(row[0]));
    }
    return std::nullopt;
}

DatabaseError PgDatabaseSession::Insert(std::span<const CentralRecord> records) {
    static const std::string statement = InsertStatement();
    std::vector<std::string> arrays;
    for (const Column& column : Columns()) {
        std::string array = "{";
        for (const CentralRecord& record : records) {
            if (column.field == nullptr) {
                AddElement(array, std::to_string(record.seq), false);
            } else {
                const std::string& value = record.*column.field;
                AddElement(array, value, value.empty() && NullWhenEmpty(column));
            }
        }
        arrays.push_back(array + "}");
    }
    Answer answer;
    if (DatabaseError error = Run(statement.c_str(), arrays, answer)) {
        return error;
    }
    const auto& row = answer.rows.at(0);
    if (row[1] != "0") {
        return "the table holds other records under " + row[1] + " of the numbers sent, from " +
               row[2] + " of station " + row[3] +
               ": another PC records under the same name; give this one a name of its own "
               "(Station= in the [DATABASE] section of its settings), and its records go there";
    }
    return std::nullopt;
}

// Sends the statement without waiting on the socket, then waits for the answer no longer than
// the client's limit: a server that takes the connection and never answers is given up.
DatabaseError PgDatabaseSession::Run(const char* sql, std::span<const std::string> params,
                                     Answer& answer) {
    answer.rows.clear();
    if (conn_ == nullptr) {
        return "not connected";
    }
    std::vector<const char*> values;
    for (const std::string& param : params) {
        values.push_back(param.c_str());
    }
    const auto fail = [this](std::string why) -> DatabaseError {
        Close();
        return why;
    };
    if (pq_->PQsendQueryParams(conn_, sql, static_cast<int>(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0) == 0) {
        return fail(OneLine(pq_->PQerrorMessage(conn_)));
    }
    const SteadyClock::time_point deadline = SteadyClock::now() + timeouts_.answer;
    std::optional<std::string> error;
    for (;;) {
        if (DatabaseError waited = AwaitResult(deadline)) {
            return fail(*waited);
        }
        PGresult* result = pq_->PQgetResult(conn_);
        if (result == nullptr) {
            break;
        }
        const ExecStatusType status = pq_->PQresultStatus(result);
        if (status == PGRES_TUPLES_OK) {
            for (int row = 0; row < pq_->PQntuples(result); ++row) {
                std::vector<std::string> fields;
                for (int field = 0; field < pq_->PQnfields(result); ++field) {
                    fields.emplace_back(pq_->PQgetvalue(result, row, field));
                }
                answer.rows.push_back(std::move(fields));
            }
        } else if (status != PGRES_COMMAND_OK && !error) {
            error = OneLine(pq_->PQresultErrorMessage(result));
        }
        pq_->PQclear(result);
    }
    if (error) {
        return fail(*error);
    }
    return std::nullopt;
}

// Sends what is still to be sent and reads until a result is ready, or the deadline passes.
DatabaseError PgDatabaseSession::AwaitResult(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const int flushed = pq_->PQflush(conn_);
        if (flushed < 0) {
            return OneLine(pq_->PQerrorMessage(conn_));
        }
        if (flushed == 0 && pq_->PQisBusy(conn_) == 0) {
            return std::nullopt;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            return "the database did not answer within " + Seconds(timeouts_.answer) + " s";
        }
        pollfd watch{pq_->PQsocket(conn_),
                     static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), 0};
        if (poll(&watch, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return "waiting for the database failed";
        }
        if (pq_->PQconsumeInput(conn_) == 0) {
            return OneLine(pq_->PQerrorMessage(conn_));
        }
    }
}

std::string TestDatabaseConnection(const std::string& connection) {
    if (connection.empty()) {
        return "No database is named.";
    }
    PgDatabaseSession session;
    if (DatabaseError error = session.Open(connection)) {
        return "Cannot use the database: " + *error;
    }
    return "Connected; the table scan_records is ready for records.";
}

}  // namespace brisolant
