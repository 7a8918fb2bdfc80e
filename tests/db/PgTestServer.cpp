#include "db/PgTestServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brisolant::test {

namespace {

std::string FindBinaries() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const std::string bin = entry.path().string() + "/bin";
        if (std::filesystem::exists(bin + "/initdb") && std::filesystem::exists(bin + "/pg_ctl")) {
            return bin;
        }
    }
    return {};
}

}  // namespace

PgTestServer::PgTestServer() {
    bin_ = FindBinaries();
    if (bin_.empty()) {
        unavailable_ = "PostgreSQL's server is not installed (/usr/lib/postgresql/*/bin)";
        return;
    }
    char pattern[] = "/tmp/brisolant-pg-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        unavailable_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    data_ = folder_ + "/data";
    if (geteuid() == 0) {
        const passwd* account = getpwnam("postgres");
        if (account == nullptr) {
            unavailable_ = "running as root and there is no postgres account to run the server";
            return;
        }
        if (chown(folder_.c_str(), account->pw_uid, account->pw_gid) != 0) {
            unavailable_ = "cannot hand the folder to the postgres account";
            return;
        }
        as_owner_ = "runuser -u postgres -- ";
    }
    if (!Run(bin_ + "/initdb -A trust -U postgres -E UTF8 --no-sync -D " + data_ + " >" + folder_ +
             "/initdb.log 2>&1")) {
        unavailable_ = "initdb failed (" + folder_ + "/initdb.log)";
        return;
    }
    if (!Start()) {
        unavailable_ = "the server did not start (" + folder_ + "/server.log)";
    }
}

PgTestServer::~PgTestServer() {
    if (running_) {
        Run(bin_ + "/pg_ctl -D " + data_ + " -m immediate stop >/dev/null 2>&1");
    }
    if (!folder_.empty()) {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
}

bool PgTestServer::Run(const std::string& command) {
    return std::system((as_owner_ + command).c_str()) == 0;
}

bool PgTestServer::Start() {
    // Only the socket in the folder: the tests reach no network address.
    running_ =
        Run(bin_ + "/pg_ctl -D " + data_ + " -l " + folder_ + "/server.log -w -t 60 -o \"-k " +
            folder_ + " -c listen_addresses='' -c fsync=off\" start >/dev/null 2>&1");
    return running_;
}

void PgTestServer::Stop() {
    Run(bin_ + "/pg_ctl -D " + data_ + " -m fast -w stop >/dev/null 2>&1");
    running_ = false;
}

int PgTestServer::KillBackends(const std::string& application) {
    // A server still recovering from the last kill has no backend to kill.
    PGconn* conn = PQconnectdb(Connection().c_str());
    int killed = 0;
    if (PQstatus(conn) == CONNECTION_OK) {
        const std::string sql =
            "SELECT pid FROM pg_stat_activity WHERE application_name = '" + application + "'";
        PGresult* result = PQexec(conn, sql.c_str());
        for (int row = 0; row < PQntuples(result); ++row) {
            const auto pid = static_cast<pid_t>(std::stol(PQgetvalue(result, row, 0)));
            killed += kill(pid, SIGKILL) == 0 ? 1 : 0;
        }
        PQclear(result);
    }
    PQfinish(conn);
    return killed;
}

void PgTestServer::AddHbaLines(const std::string& lines) {
    const std::string path = data_ + "/pg_hba.conf";
    std::stringstream old;
    old << std::ifstream(path).rdbuf();
    std::ofstream(path) << lines << "\n" << old.str();
    Query("SELECT pg_reload_conf()");
}

std::string PgTestServer::Connection(const std::string& dbname) const {
    return "host=" + folder_ + " dbname=" + dbname + " user=postgres";
}

std::string PgTestServer::TryQuery(const std::string& sql, const std::string& dbname) {
    PGconn* conn = PQconnectdb(Connection(dbname).c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PGresult* result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK &&
            PQresultStatus(result) != PGRES_TUPLES_OK) {
            error = PQresultErrorMessage(result);
        }
        PQclear(result);
    }
    PQfinish(conn);
    return error;
}

std::vector<std::string> PgTestServer::Query(const std::string& sql, const std::string& dbname) {
    std::vector<std::string> rows;
    PGconn* conn = PQconnectdb(Connection(dbname).c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        ADD_FAILURE() << PQerrorMessage(conn);
        PQfinish(conn);
        return rows;
    }
    PGresult* result = PQexec(conn, sql.c_str());
    if (PQresultStatus(result) == PGRES_TUPLES_OK) {
        for (int row = 0; row < PQntuples(result); ++row) {
            std::string text;
            for (int field = 0; field < PQnfields(result); ++field) {
                text += (field > 0 ? "|" : "") + std::string(PQgetvalue(result, row, field));
            }
            rows.push_back(text);
        }
    } else if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
    }
    PQclear(result);
    PQfinish(conn);
    return rows;
}

}  // namespace brisolant::test
