#pragma once

// A throwaway PostgreSQL cluster for the tests: initdb and pg_ctl into a folder of its own,
// listening on a Unix socket in it only (never on the network), run as the postgres account when
// the tests run as root. Nothing of the machine's own clusters is touched.

#include <string>
#include <vector>

namespace brisolant::test {

class PgTestServer {
  public:
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // Why no server could be started (the tests then skip with it), or empty.
    const std::string& unavailable() const { return unavailable_; }
    // "host=<folder> dbname=<db> user=postgres".
    std::string Connection(const std::string& dbname = "postgres") const;
    const std::string& socketFolder() const { return folder_; }

    // Runs SQL as the superuser and returns the rows, fields separated by '|'. Fails the test
    // on an error.
    std::vector<std::string> Query(const std::string& sql, const std::string& dbname = "postgres");
    // The same, returning the error text instead of failing (empty when it went through).
    std::string TryQuery(const std::string& sql, const std::string& dbname = "postgres");

    bool Start();
    // pg_ctl stop -m fast: sessions are ended, the server shuts down cleanly.
    void Stop();
    // Every backend serving `application` killed with SIGKILL mid-whatever it does: the server
    // ends every session and recovers, as after a crash. Returns how many it killed.
    int KillBackends(const std::string& application);
    // Adds lines to pg_hba.conf ahead of the others (for password checks); the server reloads.
    void AddHbaLines(const std::string& lines);

  private:
    bool Run(const std::string& command);

    std::string bin_;
    std::string folder_;
    std::string data_;
    std::string as_owner_;  // "runuser -u postgres -- " under root
    std::string unavailable_;
    bool running_ = false;
};

}  // namespace brisolant::test
