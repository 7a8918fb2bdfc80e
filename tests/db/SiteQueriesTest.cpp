// The SQL the package gives a site for its table of records, run as the README says: the
// warehouse's pull and the retention through psql, the partitioned table with the program's own
// delivery into it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "db/PgSuiteTest.h"
#include "db/PgTestServer.h"
#include "store/DatabaseDelivery.h"
#include "store/pg/PgDatabaseSession.h"

namespace brisolant {
namespace {

using test::PgTestServer;

std::string Packaged(const std::string& name) {
    return std::string(BRISOLANT_PACKAGING) + "/" + name;
}

std::string ReadText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class SiteQueriesTest : public test::PgSuiteTest {
  protected:
    // psql's rows (fields separated by '|') for the file, with the variables given
    // ("-v station=north"); a failure's text fails the test.
    static std::vector<std::string> Psql(const std::string& file, const std::string& variables) {
        const std::string command = "psql -X -q -A -t -F'|' -v ON_ERROR_STOP=1 \"" +
                                    server->Connection() + "\" " + variables + " -f " + file +
                                    " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string output;
        char buffer[4096];
        for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, count);
        }
        const int status = ::pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << output;
        std::vector<std::string> rows;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            rows.push_back(line);
        }
        return rows;
    }

    // Records of the station, numbered first to last, each with its number as its line and
    // arriving the given days ago.
    static void Insert(const std::string& station, int first, int last, int daysAgo = 0) {
        server->Query(
            "INSERT INTO scan_records (station, seq, arrived_at, line)"
            " SELECT '" +
            station + "', n, now() - interval '" + std::to_string(daysAgo) +
            " days', n::text FROM generate_series(" + std::to_string(first) + ", " +
            std::to_string(last) + ") AS n");
    }

    // The plan of the query when the table is too small for the planner to prefer an index
    // otherwise.
    static std::string PlanOf(const std::string& query) {
        std::string plan;
        for (const std::string& line :
             server->Query("SET enable_seqscan = off; EXPLAIN " + query)) {
            plan += line + "\n";
        }
        return plan;
    }
};

// A pull after a station's mark takes that station's newer records in their order, and the
// primary key serves it.
TEST_F(SiteQueriesTest, AWarehousePullTakesTheStationsRecordsAfterItsMarkInOrder) {
    server->Query(ReadText(BRISOLANT_SCHEMA_SQL));
    Insert("south", 1, 5);
    Insert("north", 1, 4);
    const std::string pull = Packaged("warehouse-pull.sql");
    std::vector<std::string> seqs;
    for (const std::string& row : Psql(pull, "-v station=north -v last_seq=2")) {
        seqs.push_back(row.substr(0, row.find('|', 6)));
    }
    EXPECT_EQ(seqs, (std::vector<std::string>{"north|3", "north|4"}));
    EXPECT_TRUE(Psql(pull, "-v station=north -v last_seq=4").empty());

    std::string query = ReadText(pull);
    query = query.substr(query.find("SELECT station, seq"));
    query.replace(query.find(":'station'"), 10, "'north'");
    query.replace(query.find(":last_seq"), 9, "2");
    EXPECT_NE(PlanOf(query).find("Index Scan using scan_records_pkey"), std::string::npos)
        << PlanOf(query);
}

// The retention removes what arrived before its age and nothing newer, through the index its
// comment makes.
TEST_F(SiteQueriesTest, TheRetentionRemovesOnlyRecordsOlderThanItsAge) {
    server->Query(ReadText(BRISOLANT_SCHEMA_SQL));
    Insert("north", 1, 3, 401);
    Insert("north", 4, 5, 399);
    Insert("south", 1, 2, 0);
    const std::string retention = ReadText(Packaged("retention.sql"));
    const std::size_t index = retention.find("CREATE INDEX");
    ASSERT_NE(index, std::string::npos);
    server->Query(retention.substr(index, retention.find('\n', index) - index));

    Psql(Packaged("retention.sql"), "");
    EXPECT_EQ(server->Query("SELECT station, seq FROM scan_records ORDER BY station, seq"),
              (std::vector<std::string>{"north|4", "north|5", "south|1", "south|2"}));
    const std::string statement = retention.substr(retention.find("\nDELETE FROM") + 1);
    EXPECT_NE(PlanOf(statement).find("scan_records_arrived_at"), std::string::npos)
        << PlanOf(statement);
}

// The partitioned table has the plain one's columns and takes the program's delivery as the plain
// one does: each record once, in its station's partition, also when a delivery is made again (its
// answer lost).
TEST_F(SiteQueriesTest, ThePartitionedTableTakesTheProgramsDelivery) {
    const auto columns = [] {
        return server->Query(
            "SELECT attname, format_type(atttypid, atttypmod), attnotnull FROM pg_attribute"
            " WHERE attrelid = 'scan_records'::regclass AND attnum > 0 ORDER BY attnum");
    };
    server->Query(ReadText(BRISOLANT_SCHEMA_SQL));
    const std::vector<std::string> plain = columns();
    server->Query("DROP TABLE scan_records");
    server->Query(ReadText(Packaged("schema-partitioned.sql")));
    EXPECT_EQ(columns(), plain);
    const auto deliver = [] {
        DatabaseDelivery delivery(std::make_unique<PgDatabaseSession>());
        delivery.SetTarget({server->Connection(), "north"});
        DeliveryBatch batch;
        for (std::uint64_t seq = 1; seq <= 3; ++seq) {
            CentralRecord record;
            record.station = "north";
            record.seq = seq;
            record.arrivedAt = "2026-12-10 19:15:00+01:00";
            record.line = "line " + std::to_string(seq);
            batch.records.push_back(record);
        }
        batch.lastEntry = 3;
        delivery.Take(std::move(batch));
        EXPECT_FALSE(delivery.Attempt().trouble);
    };
    deliver();
    deliver();
    EXPECT_EQ(server->Query("SELECT count(*), count(DISTINCT tableoid) FROM scan_records"),
              (std::vector<std::string>{"3|1"}));
}

}  // namespace
}  // namespace brisolant
