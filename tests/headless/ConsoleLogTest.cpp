#include "headless/ConsoleLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "device/CommPort.h"
#include "device/LineEventText.h"
#include "device/LineStatus.h"
#include "headless/LogStyle.h"
#include "store/WriterNews.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

class RecordingManager : public ServiceManager {
  public:
    void Ready() override {}
    void Stopping() override {}
    void Status(const std::string& text) override { statuses.push_back(text); }
    void Alive() override {}
    std::chrono::milliseconds AliveInterval() const override { return {}; }

    std::vector<std::string> statuses;
};

class ConsoleLogTest : public ::testing::Test {
  protected:
    ConsoleLogTest() { clock_.now = {2026, 12, 11, 6, 5, 4}; }

    std::ostringstream out_;
    test::FakeClock clock_;
    RecordingManager manager_;
    ConsoleLog log_{out_, clock_, manager_};
};

PanelStatus Calm(const std::string& text) {
    return {text, LogPriority::Info, std::nullopt};
}

PanelStatus Fault(FailureCode code, const std::string& detail = {}) {
    return {StatusText(Failure(code, detail)), FailurePriority(code), code};
}

// A scan that comes in and is recorded is one record line; "Receiving Data" and the idle
// text that follows every scan are no news. A failure is; the idle text after it is the end of
// the fault, told once it has held.
TEST_F(ConsoleLogTest, StatusChangesThatAreNewsAndEachRecordAreOneLineEach) {
    const PanelStatus idle = Calm(kIdleStatusText);
    const PanelStatus receiving = Calm(kReceivingStatusText);
    const PanelStatus failure = Fault(FailureCode::ScanCutOff);
    for (const PanelStatus& status : {idle, receiving, idle, receiving, failure, idle}) {
        log_.SetStatus(status);
    }
    log_.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,06:05:04,1    ,PCL1      \r\n", 0});
    clock_.steady += StatusSummary::kSettle;
    log_.Tick();

    EXPECT_EQ(out_.str(),
              "2026-12-11 06:05:04 Status: Waiting Idle\n"
              "2026-12-11 06:05:04 Status: 103 A scan was cut off and dropped\n"
              "2026-12-11 06:05:04 Recorded: 2026/12/11,06:05:04,1    ,PCL1\n"
              "2026-12-11 06:05:04 Status: Waiting Idle\n");
    // The service manager's status is panel 1's, every change of it.
    EXPECT_EQ(manager_.statuses,
              (std::vector<std::string>{kIdleStatusText, failure.text, kIdleStatusText}));
}

// The program's texts are Latin-1; the terminal and the system log read UTF-8.
TEST_F(ConsoleLogTest, PanelsAndMessagesAreLoggedOnceEachInUtf8) {
    log_.SetFileText("File: /data/\xE9t\xE9/");
    log_.SetFileText("File: /data/\xE9t\xE9/");
    log_.SetConnectionText("Connecton: 9600,N,8,1");
    log_.ShowMessage("Settings", "Error: 311.");

    EXPECT_EQ(out_.str(),
              "2026-12-11 06:05:04 File: /data/\xC3\xA9t\xC3\xA9/\n"
              "2026-12-11 06:05:04 Connecton: 9600,N,8,1\n"
              "2026-12-11 06:05:04 Settings: Error: 311.\n");
}

// In the journal, which stamps each line itself, a line carries its priority instead of the time:
// "journalctl -p warning" shows a device away, "-p err" the scans that are lost or held back.
// The priority comes with panel 1's status, from the failure table or the line's own texts.
TEST_F(ConsoleLogTest, InTheJournalEachLineCarriesItsPriorityInsteadOfTheTime) {
    ConsoleLog journal(out_, clock_, manager_, LogStyle{true});
    LineStatus status(journal);
    status.ShowIdle();
    status.ShowFailure(Failure(FailureCode::PortDeviceMissing, "/dev/ttyUSB0"));
    status.ShowFailure(Failure(FailureCode::ScansWaiting, "1 waiting"));
    status.ShowText(std::string(LineEventText(kEventCts)), LineEventPriority(kEventCts));
    status.ShowText(std::string(LineEventText(kEventFrame)), LineEventPriority(kEventFrame));
    status.ShowFailure(Failure(FailureCode::MetricsFolderMissing));
    journal.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,PCL1\r\n", 0});
    journal.ShowMessage("Settings", "Error: 311.");

    EXPECT_EQ(out_.str(),
              "<6>Status: Waiting Idle\n"
              "<4>Status: 209 The serial device is not there (unplugged or switched off): "
              "/dev/ttyUSB0\n"
              "<3>Status: 126 Scans are waiting to be written: 1 waiting\n"
              "<6>Change in CTS Detected\n"
              "<4>Framing Error\n"
              "<6>Status: 502 The metrics file is not written: its folder is not there "
              "(node_exporter's textfile folder, "
              "made when prometheus-node-exporter is installed)\n"
              "<6>Recorded: 2026/12/11,PCL1\n"
              "<4>Settings: Error: 311.\n");
}

// A barcode's control bytes (GS between GS1 fields, ESC) would split or hide a log line; the
// log shows them escaped. The record line itself is the data file's and keeps them.
TEST_F(ConsoleLogTest, ControlBytesInALoggedRecordAreShownEscaped) {
    log_.AppendListRecord({"/data/LOG-345.txt",
                           "2026/12/11,]C1\x1d"
                           "0101\x1b[2J,\x7f\r\n",
                           0});
    EXPECT_EQ(out_.str(), "2026-12-11 06:05:04 Recorded: 2026/12/11,]C1\\x1d0101\\x1b[2J,\\x7f\n");
}

// How many times the summary's lines say a fault came, added up, and how many lines it wrote.
struct SummaryLines {
    std::size_t lines = 0;
    std::uint64_t told = 0;  // first lines and counts
    std::vector<std::string> text;
};

SummaryLines ReadSummary(const std::string& log, const std::string& fault) {
    SummaryLines summary;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        ++summary.lines;
        summary.text.push_back(line);
        if (line.find(fault) == std::string::npos) {
            continue;
        }
        const std::size_t open = line.rfind(" (");
        const std::size_t times = line.find(" time", open == std::string::npos ? 0 : open);
        if (open == std::string::npos || times == std::string::npos) {
            ++summary.told;
            continue;
        }
        std::string digits = line.substr(open + 2, times - open - 2);
        std::erase(digits, ',');
        summary.told += std::stoull(digits);
    }
    return summary;
}

// A stream without a buffer, as standard error is: each piece handed to it is a write.
class WriteCountingBuffer : public std::streambuf {
  public:
    std::vector<std::string> writes;

  protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        writes.emplace_back(text, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            writes.emplace_back(1, traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
};

// A line is one write, so that another thread's message on the same stream never splits it, in
// both layouts.
TEST_F(ConsoleLogTest, EachLineIsOneWriteToAnUnbufferedStream) {
    for (const bool journal : {false, true}) {
        WriteCountingBuffer buffer;
        std::ostream stream(&buffer);
        ConsoleLog log(stream, clock_, manager_, LogStyle{journal});
        log.SetStatus(Fault(FailureCode::ScanCutOff));
        log.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,PCL1\r\n", 0});

        const std::string stamp = journal ? "<6>" : "2026-12-11 06:05:04 ";
        EXPECT_EQ(buffer.writes,
                  (std::vector<std::string>{
                      (journal ? "<3>" : stamp) + "Status: 103 A scan was cut off and dropped\n",
                      stamp + "Recorded: 2026/12/11,PCL1\n"}))
            << (journal ? "journal" : "terminal");
    }
}

// A noisy line drops blocks every 2 ms for a minute: 45,000 times "Status: 103". The journal
// reads a few lines whose counts add up to every block; the calm after it is told once.
TEST_F(ConsoleLogTest, AMinuteOfJunkFloodIsAFewLinesThatCountEveryDroppedBlock) {
    ConsoleLog journal(out_, clock_, manager_, LogStyle{true});
    const auto start = clock_.steady;
    std::uint64_t dropped = 0;
    for (auto next_tick = start; clock_.steady - start < std::chrono::seconds(60);
         clock_.steady += std::chrono::milliseconds(2)) {
        // Two blocks a read, then one.
        journal.SetStatus(Calm(kReceivingStatusText));
        journal.SetStatus(Fault(FailureCode::ScanCutOff));
        ++dropped;
        if (dropped % 3 == 1) {
            journal.SetStatus(Fault(FailureCode::ScanCutOff));
            ++dropped;
        }
        if (clock_.steady >= next_tick) {
            journal.Tick();
            next_tick += std::chrono::seconds(1);
        }
    }
    journal.SetStatus(Calm(kIdleStatusText));
    for (int second = 0; second < 120; ++second) {
        clock_.steady += std::chrono::seconds(1);
        journal.Tick();
    }

    const SummaryLines summary = ReadSummary(out_.str(), "Status: 103 ");
    EXPECT_LT(summary.lines, 100u);
    EXPECT_EQ(summary.told, dropped);
    EXPECT_EQ(summary.text.front(), "<3>Status: 103 A scan was cut off and dropped");
    EXPECT_EQ(summary.text[1], "<3>Status: 103 A scan was cut off and dropped (" +
                                   GroupedCount(dropped - 1) + " times in the last minute)");
    EXPECT_EQ(summary.text.back(), "<6>Status: Waiting Idle");
    EXPECT_EQ(std::ranges::count(summary.text, "<6>Status: Waiting Idle"), 1);
    EXPECT_EQ(manager_.statuses.size(), 2u);
}

// A data folder away for a minute fails every scan (25 a second), each with the count of the
// scans that wait; a database away says so at every scan. Each is a few lines, the last count
// the latest text, and its end is told once.
TEST_F(ConsoleLogTest, AMinuteOfOutageIsAFewLinesAndItsEndIsToldOnce) {
    for (const FailureCode code : {FailureCode::ScansWaiting, FailureCode::DatabaseWaiting}) {
        out_.str("");
        ConsoleLog journal(out_, clock_, manager_, LogStyle{true});
        const auto start = clock_.steady;
        std::uint64_t scans = 0;
        for (; clock_.steady - start < std::chrono::seconds(60);
             clock_.steady += std::chrono::milliseconds(40)) {
            journal.SetStatus(Calm(kReceivingStatusText));
            journal.SetStatus(Fault(code, std::to_string(++scans) + " waiting"));
            if (scans % 25 == 0) {
                journal.Tick();
            }
        }
        journal.SetStatus(Calm(kIdleStatusText));
        clock_.steady += StatusSummary::kSettle;
        journal.Tick();

        const std::string number = std::to_string(static_cast<int>(code));
        const SummaryLines summary = ReadSummary(out_.str(), "Status: " + number + " ");
        EXPECT_LT(summary.lines, 100u) << number;
        EXPECT_EQ(summary.told, scans) << number;
        EXPECT_EQ(summary.text.back(), "<6>Status: Waiting Idle") << number;
        EXPECT_EQ(std::ranges::count(summary.text, "<6>Status: Waiting Idle"), 1) << number;
        EXPECT_NE(summary.text.at(summary.text.size() - 2).find("1500 waiting ("),
                  std::string::npos)
            << number;
    }
}

// Two faults that take turns are summarised each on its own; a fault that comes back after a
// quiet minute is told at once again; at the end every count not yet told is.
TEST(StatusSummaryTest, EachFaultIsCountedOnItsOwnAndToldAgainAfterAQuietMinute) {
    StatusSummary summary;
    StatusSummary::Time now{};
    const PanelStatus port = Fault(FailureCode::PortDeviceMissing);
    const PanelStatus waiting = Fault(FailureCode::ScansWaiting, "3 waiting");
    using Lines = std::vector<StatusSummary::Line>;
    EXPECT_EQ(summary.Show(port, now), (Lines{{LogPriority::Warning, port.text}}));
    EXPECT_EQ(summary.Show(waiting, now), (Lines{{LogPriority::Error, waiting.text}}));
    EXPECT_EQ(summary.Show(port, now), Lines{});
    now += StatusSummary::kWindow;
    EXPECT_EQ(summary.Tick(now),
              (Lines{{LogPriority::Warning, port.text + " (1 time in the last minute)"}}));
    now += StatusSummary::kWindow;
    EXPECT_EQ(summary.Tick(now), Lines{});
    EXPECT_FALSE(summary.Pending()) << "a quiet minute closes both; an idle program keeps no timer";
    EXPECT_EQ(summary.Show(waiting, now), (Lines{{LogPriority::Error, waiting.text}}));
    EXPECT_EQ(summary.Show(waiting, now), Lines{});
    EXPECT_EQ(summary.Flush(),
              (Lines{{LogPriority::Error, waiting.text + " (1 time in the last minute)"}}));
    EXPECT_EQ(GroupedCount(29446), "29,446");
    EXPECT_EQ(GroupedCount(1234567), "1,234,567");
    EXPECT_EQ(GroupedCount(999), "999");
}

// systemd names the journal's stream by device and inode; a stream redirected elsewhere (a
// file, a pipe to another program) keeps the variable but no longer matches it.
TEST(LogStyleTest, TheJournalIsTheStreamThatJournalStreamNames) {
    EXPECT_TRUE(JournalStreamNames("8:123456", 8, 123456));
    EXPECT_FALSE(JournalStreamNames("8:123456", 8, 123457));
    EXPECT_FALSE(JournalStreamNames("9:123456", 8, 123456));
    for (const char* malformed : {"", "8", "8:", ":123456", "8:123456x", "x:1"}) {
        EXPECT_FALSE(JournalStreamNames(malformed, 8, 123456)) << malformed;
    }
    EXPECT_EQ(LogStyle{true}.Prefix(LogPriority::Warning), "<4>");
    EXPECT_EQ(LogStyle{}.Prefix(LogPriority::Warning), "");
}

}  // namespace
}  // namespace brisolant
