#include "recorder/StationMetrics.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/Failure.h"
#include "recorder/MetricsFile.h"
#include "recorder/MetricsPacing.h"
#include "support/FailureOf.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string Said(const std::optional<Failure>& failure) {
    return failure ? StatusText(*failure) : "nothing";
}

// Every family node_exporter passes on, each with its help, its type and the station's label.
TEST(StationMetricsTest, EveryFamilyHasItsHelpItsTypeAndTheStationsLabel) {
    const StationSample sample{"dock1",    "1.0.17", {42, 3, 2, true, 126}, 1796000000, 1796000300,
                               1796000301, false};
    EXPECT_EQ(
        MetricsText(sample),
        "# HELP brisolant_scans_recorded_total Records written to their data files since the "
        "program started.\n"
        "# TYPE brisolant_scans_recorded_total counter\n"
        "brisolant_scans_recorded_total{station=\"dock1\"} 42\n"
        "# HELP brisolant_blocks_rejected_total Scans discarded since the program started, after "
        "blocks the line kept rejecting.\n"
        "# TYPE brisolant_blocks_rejected_total counter\n"
        "brisolant_blocks_rejected_total{station=\"dock1\"} 3\n"
        "# HELP brisolant_scans_waiting Scans not yet in their data files (kept in the journal "
        "while they wait).\n"
        "# TYPE brisolant_scans_waiting gauge\n"
        "brisolant_scans_waiting{station=\"dock1\"} 2\n"
        "# HELP brisolant_port_open 1 while the station's serial port is open, 0 while it is "
        "closed or away.\n"
        "# TYPE brisolant_port_open gauge\n"
        "brisolant_port_open{station=\"dock1\"} 1\n"
        "# HELP brisolant_last_record_timestamp_seconds When the newest record of this run was "
        "written, in seconds since the epoch; 0 before the first.\n"
        "# TYPE brisolant_last_record_timestamp_seconds gauge\n"
        "brisolant_last_record_timestamp_seconds{station=\"dock1\"} 1796000300\n"
        "# HELP brisolant_writer_trouble The status number of the failure that holds scans back "
        "from their files; 0 when none does.\n"
        "# TYPE brisolant_writer_trouble gauge\n"
        "brisolant_writer_trouble{station=\"dock1\"} 126\n"
        "# HELP brisolant_start_time_seconds When the program started, in seconds since the "
        "epoch.\n"
        "# TYPE brisolant_start_time_seconds gauge\n"
        "brisolant_start_time_seconds{station=\"dock1\"} 1796000000\n"
        "# HELP brisolant_previous_run_clean 1 when the run before this one ended cleanly or "
        "there was none; 0 when it ended without taking its metrics file away (a crash, a kill, "
        "a power cut).\n"
        "# TYPE brisolant_previous_run_clean gauge\n"
        "brisolant_previous_run_clean{station=\"dock1\"} 0\n"
        "# HELP brisolant_metrics_timestamp_seconds When the program wrote this file, in seconds "
        "since the epoch; it writes it at least once a minute while it runs.\n"
        "# TYPE brisolant_metrics_timestamp_seconds gauge\n"
        "brisolant_metrics_timestamp_seconds{station=\"dock1\"} 1796000301\n"
        "# HELP brisolant_build_info The program's version, in its label.\n"
        "# TYPE brisolant_build_info gauge\n"
        "brisolant_build_info{station=\"dock1\",version=\"1.0.17\"} 1\n");
}

// With a site's database named, its two figures join the file; without one, they are left out.
TEST(StationMetricsTest, TheDatabasesFiguresComeOnlyWithADatabase) {
    StationSample sample{"dock1",    "1.0.17",   {42, 3, 2, true, 0},
                         1796000000, 1796000300, 1796000301};
    EXPECT_EQ(MetricsText(sample).find("brisolant_db_"), std::string::npos);
    sample.figures.database = true;
    sample.figures.databaseWaiting = 7;
    sample.figures.databaseDelivered = 35;
    const std::string text = MetricsText(sample);
    EXPECT_NE(text.find("# TYPE brisolant_db_waiting gauge\n"
                        "brisolant_db_waiting{station=\"dock1\"} 7\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("# TYPE brisolant_db_delivered_total counter\n"
                        "brisolant_db_delivered_total{station=\"dock1\"} 35\n"),
              std::string::npos)
        << text;
}

// A station named by a file a person chose may hold what the format quotes.
TEST(StationMetricsTest, ALabelIsQuotedAsTheFormatWants) {
    const std::string text = MetricsText({"dock \"1\"\\\nb", "1.0.17", {}, 0, 0, 0});
    EXPECT_NE(text.find("brisolant_port_open{station=\"dock \\\"1\\\"\\\\\\nb\"} 0\n"),
              std::string::npos)
        << text;
}

// The file is replaced whole, readable by the exporter's account whatever the umask; a folder
// that is not there is told apart from other failures, and a failure leaves the old file as it
// was.
TEST(MetricsFileTest, IsReplacedWholeAndAFailureLeavesTheOldOne) {
    const test::TempDir dir;
    const std::string path = dir.file("brisolant-dock1.prom");
    const mode_t umask = ::umask(077);
    ReplaceMetricsFile(path, "first\n");
    ReplaceMetricsFile(path, "second\n");
    ::umask(umask);
    EXPECT_EQ(test::ReadFile(path), "second\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_FALSE(fs::exists(path + ".tmp"));

    fs::create_directory(path + ".tmp");
    EXPECT_EQ(Said(test::FailureOf([&] { ReplaceMetricsFile(path, "third\n"); })),
              "Status: 501 Cannot write the metrics file for the site's monitoring; the scans are "
              "recorded all the same: " +
                  path + ".tmp: Is a directory");
    EXPECT_EQ(test::ReadFile(path), "second\n");
    EXPECT_EQ(Said(test::FailureOf([&] { ReplaceMetricsFile(dir.file("none/x.prom"), "x\n"); })),
              "Status: 502 The metrics file is not written: its folder is not there "
              "(node_exporter's textfile folder, made when prometheus-node-exporter is "
              "installed): " +
                  dir.file("none"));
}

// A clean end takes the file away; one already gone is no failure, one that cannot go is told.
TEST(MetricsFileTest, IsTakenAwayAndAFileAlreadyGoneIsNoFailure) {
    const test::TempDir dir;
    const std::string path = dir.file("brisolant-dock1.prom");
    ReplaceMetricsFile(path, "first\n");
    EXPECT_TRUE(MetricsFileExists(path));
    EXPECT_EQ(Said(test::FailureOf([&] { RemoveMetricsFile(path); })), "nothing");
    EXPECT_FALSE(MetricsFileExists(path));
    EXPECT_EQ(Said(test::FailureOf([&] { RemoveMetricsFile(path); })), "nothing");
    fs::create_directory(path);
    EXPECT_EQ(Said(test::FailureOf([&] { RemoveMetricsFile(path); })),
              "Status: 501 Cannot write the metrics file for the site's monitoring; the scans are "
              "recorded all the same: " +
                  path + ": Is a directory");
}

// A change after a quiet second is written at once; changes within a second of a write wait for
// one write at its end.
TEST(MetricsPacingTest, AChangeIsWrittenAtOnceOrOneSecondAfterTheLastWrite) {
    MetricsPacing pacing;
    const MetricsPacing::Clock::time_point start{};
    EXPECT_EQ(pacing.Changed(start), MetricsPacing::Clock::duration::zero());
    EXPECT_EQ(pacing.Changed(start), std::nullopt) << "already due";
    pacing.Written(start);
    EXPECT_EQ(pacing.Changed(start + milliseconds(300)), milliseconds(700));
    EXPECT_EQ(pacing.Changed(start + milliseconds(600)), std::nullopt) << "one write for both";
    pacing.Written(start + milliseconds(1000));
    EXPECT_EQ(pacing.Changed(start + milliseconds(2500)), MetricsPacing::Clock::duration::zero());
}

}  // namespace
}  // namespace brisolant
