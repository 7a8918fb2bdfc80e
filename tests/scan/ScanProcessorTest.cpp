#include "scan/ScanProcessor.h"

#include <gtest/gtest.h>

#include "device/CommHandler.h"
#include "support/FakeWindow.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::FakeClock;
using test::FakePrompt;
using test::FakeView;
using test::ReadFile;
using test::TempDir;

// The test scan processed at 14:03:07 on 29 August 2007 with the default settings.
const std::string kTestScanLine =
    "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
    "26.31       ,110.7       ,1234567890                         ";

class ScanProcessorTest : public ::testing::Test {
  protected:
    ScanProcessorTest() { settings.FilePath = folder.folder(); }

    void Process(std::string text = CommHandler::TestScanText()) { processor.ProcessScan(text); }
    std::string DataFile() const { return ReadFile(folder.file("LOG-241.txt")); }

    TempDir folder;
    MainWindowState state;
    FakeView view;
    FakePrompt prompt;
    Settings settings;
    FakeClock clock;
    LocaleFormat locale;
    ScanProcessor processor{state, view, prompt, settings, clock, locale};
};

TEST_F(ScanProcessorTest, TestScanIsWrittenShownAndCounted) {
    view.dataMenuEnabled = false;
    Process();
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
    EXPECT_EQ(state.DataFileName, "LOG-241.txt");
    EXPECT_EQ(view.data[0], "1234567890" + std::string(25, ' '));
    EXPECT_EQ(view.data[2], "2007/08/29");
    EXPECT_EQ(view.data[6], "11.0 in     ") << "box 6 stands beside the Length caption";
    EXPECT_EQ(view.data[11], "3410.88");
    EXPECT_EQ(view.data.count(1), 0u) << "the I.D. box is never written";
    EXPECT_EQ(view.counter, "1");
    EXPECT_TRUE(view.dataMenuEnabled);
    EXPECT_EQ(view.panels[2], "File: " + folder.folder() + "LOG-241.txt");
    EXPECT_EQ(view.panels.count(1), 0u) << "success leaves the status panel to the framing";
    EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(ScanProcessorTest, StrippedUnitsGoToTheFileWhileTheWindowKeepsThem) {
    settings.RemoveInCm = true;
    view.dataMenuChecked = true;
    Process();
    EXPECT_EQ(view.data[6], "11.0 in     ");
    EXPECT_NE(DataFile().find(",11          ,22.8        ,13.6        ,12.44 lb"),
              std::string::npos);
    ASSERT_EQ(view.list.size(), 1u) << "an open data view receives the line";
    EXPECT_EQ(view.list[0] + "\r\n", DataFile());
}

TEST_F(ScanProcessorTest, ManualEntryIsAskedForAndAppended) {
    struct Case {
        const char* name;
        std::string answer;
        std::string written;
    };
    const Case cases[] = {
        {"cancelled", "", std::string(50, ' ')},
        {"short", "fragile", "fragile" + std::string(43, ' ')},
        {"sixty characters", std::string(60, 'm'), std::string(50, 'm')},
        {"line break typed", "a\rb", "a b" + std::string(47, ' ')},
        {"tab typed stays", "a\tb", "a\tb" + std::string(47, ' ')},
    };
    settings.ManualEntryData = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(folder.file("LOG-241.txt"));
        prompt.answer = c.answer;
        Process();
        EXPECT_EQ(DataFile(), kTestScanLine + "," + c.written + "\r\n");
    }
    EXPECT_EQ(prompt.asked.back(),
              "Manual Entry|Enter any addtional information to this record\r50 Character maximum");
}

TEST_F(ScanProcessorTest, FailedConversionWritesNothingAndKeepsThePreviousScanShown) {
    Process();
    view.panels[2] = "File: before";
    std::string bad = CommHandler::TestScanText();
    bad.replace(bad.find("11.0 in"), 7, "ab1.0 in");
    clock.now.day = 30;
    Process(bad);
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
    EXPECT_EQ(view.data[2], "2007/08/29") << "the boxes still show the previous scan";
    EXPECT_EQ(view.counter, "1");
    EXPECT_EQ(view.panels[2], "File: before");
    EXPECT_EQ(view.panels[1].rfind("Status: 111 ", 0), 0u) << view.panels[1];
    EXPECT_EQ(state.DataFileName, "LOG-242.txt") << "named before the scan was read";
}

TEST_F(ScanProcessorTest, FailedAppendShowsTheScanButCountsNothing) {
    settings.FilePath = folder.folder() + "missing/";
    settings.ManualEntryData = true;
    view.dataMenuEnabled = false;
    Process();
    EXPECT_EQ(view.data[0], "1234567890" + std::string(25, ' '));
    EXPECT_EQ(prompt.asked.size(), 1u) << "the operator was asked before the write failed";
    EXPECT_EQ(view.counter, "");
    EXPECT_FALSE(view.dataMenuEnabled);
    EXPECT_EQ(view.panels.count(2), 0u);
    EXPECT_EQ(view.panels[1].rfind("Status: 121 ", 0), 0u) << view.panels[1];
}

// The user's own data folder of an installed program is made when the first record needs it; a
// folder the settings name is never made.
TEST_F(ScanProcessorTest, OnlyTheUsersOwnDataFolderIsMadeAtFirstNeed) {
    settings.FilePath = folder.folder() + "share/Orvane/";
    Process();
    EXPECT_EQ(view.panels[1].rfind("Status: 121 ", 0), 0u) << view.panels[1];
    EXPECT_FALSE(std::filesystem::exists(settings.FilePath));

    settings.CreateFilePath = true;
    Process();
    EXPECT_EQ(ReadFile(settings.FilePath + "LOG-241.txt"), kTestScanLine + "\r\n");
    EXPECT_EQ(view.panels[2], "File: " + settings.FilePath + "LOG-241.txt");
}

TEST_F(ScanProcessorTest, CounterIsGroupedByThrees) {
    state.ScanCounter = 1233;
    Process();
    EXPECT_EQ(view.counter, "1,234");
}

TEST_F(ScanProcessorTest, CounterOverflowIsReportedAfterTheLineIsWritten) {
    state.ScanCounter = 2147483647;
    Process();
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
    EXPECT_EQ(view.panels[1], "Status: 131 The scan counter is full");
}

}  // namespace
}  // namespace brisolant
