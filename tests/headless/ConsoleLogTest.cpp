#include "headless/ConsoleLog.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "store/WriterNews.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

class RecordingManager : public ServiceManager {
  public:
    void Ready() override {}
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

}  // namespace
}  // namespace brisolant
