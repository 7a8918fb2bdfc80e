#include "headless/ConsoleLog.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "headless/LogPriority.h"
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

// A scan that comes in and is recorded is one record line; "Receiving Data" and the idle
// text that follows every scan are no news. A failure is, each time it comes after another
// text, and so is the idle text after it.
TEST_F(ConsoleLogTest, StatusChangesThatAreNewsAndEachRecordAreOneLineEach) {
    const std::string failure = "Status: 103 A scan was cut off and dropped";
    for (const std::string& text :
         {std::string(kIdleStatusText), std::string(kReceivingStatusText),
          std::string(kIdleStatusText), std::string(kReceivingStatusText), failure,
          std::string(kReceivingStatusText), failure, std::string(kIdleStatusText)}) {
        log_.SetStatusText(text);
    }
    log_.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,06:05:04,1    ,PCL1      \r\n", 0});

    EXPECT_EQ(out_.str(),
              "2026-12-11 06:05:04 Status: Waiting Idle\n"
              "2026-12-11 06:05:04 Status: 103 A scan was cut off and dropped\n"
              "2026-12-11 06:05:04 Status: Waiting Idle\n"
              "2026-12-11 06:05:04 Recorded: 2026/12/11,06:05:04,1    ,PCL1\n");
    EXPECT_EQ(manager_.statuses,
              (std::vector<std::string>{kIdleStatusText, failure, kIdleStatusText}));
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
TEST_F(ConsoleLogTest, InTheJournalEachLineCarriesItsPriorityInsteadOfTheTime) {
    ConsoleLog journal(out_, clock_, manager_, LogStyle{true});
    journal.SetStatusText(kIdleStatusText);
    journal.SetStatusText(
        "Status: 209 The serial device is not there (unplugged or switched "
        "off): /dev/ttyUSB0");
    journal.SetStatusText("Status: 126 Scans are waiting to be written: 1 waiting");
    journal.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,PCL1\r\n", 0});
    journal.ShowMessage("Settings", "Error: 311.");

    EXPECT_EQ(out_.str(),
              "<6>Status: Waiting Idle\n"
              "<4>Status: 209 The serial device is not there (unplugged or switched off): "
              "/dev/ttyUSB0\n"
              "<3>Status: 126 Scans are waiting to be written: 1 waiting\n"
              "<6>Recorded: 2026/12/11,PCL1\n"
              "<4>Settings: Error: 311.\n");
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
        log.SetStatusText("Status: 209 The serial device is not there: /dev/ttyUSB0");
        log.AppendListRecord({"/data/LOG-345.txt", "2026/12/11,PCL1\r\n", 0});

        const std::string stamp = journal ? "<6>" : "2026-12-11 06:05:04 ";
        EXPECT_EQ(buffer.writes,
                  (std::vector<std::string>{
                      (journal ? "<4>" : stamp) +
                          "Status: 209 The serial device is not there: /dev/ttyUSB0\n",
                      stamp + "Recorded: 2026/12/11,PCL1\n"}))
            << (journal ? "journal" : "terminal");
    }
}

// Faults that lose scans or hold them back are errors; a device away, a line in trouble or a
// setting that took its default are warnings; the rest is news.
TEST(LogPriorityTest, EachTextOfPanelOneHasItsPriority) {
    const std::pair<const char*, LogPriority> cases[] = {
        {"Status: Waiting Idle", LogPriority::Info},
        {"Status: Receiving Data", LogPriority::Info},
        {"Change in CTS Detected", LogPriority::Info},
        {"Framing Error", LogPriority::Warning},
        {"Not getting Correct Data", LogPriority::Warning},
        {"Previous scan discarded", LogPriority::Error},
        {"Status: 103 A scan was cut off and dropped", LogPriority::Error},
        {"Status: 126 Scans are waiting to be written: 3 waiting", LogPriority::Error},
        {"Status: 130 The data folder does not answer: /srv/brisolant/dock1/", LogPriority::Error},
        {"Status: 128 Too many scans are waiting", LogPriority::Error},
        {"Status: 207 The serial device has gone away", LogPriority::Warning},
        {"Status: 208 No permission to open the serial port", LogPriority::Warning},
        {"Status: 311 A setting has a value of the wrong kind", LogPriority::Warning},
        {"Status: 502 The metrics file is not written", LogPriority::Info},
        {"Status: 1234567890123 no such failure", LogPriority::Info},
    };
    for (const auto& [text, priority] : cases) {
        EXPECT_EQ(StatusPriority(text), priority) << text;
    }
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
