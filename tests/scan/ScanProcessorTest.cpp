#include "scan/ScanProcessor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "device/CommHandler.h"
#include "support/FakeFiles.h"
#include "support/FakeWindow.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::FakeClock;
using test::FakeFileLayer;
using test::FakePrompt;
using test::FakeRetryTimer;
using test::FakeView;
using test::ReadFile;
using test::TempDir;

// The test scan processed at 14:03:07 on 29 August 2007 with the default settings.
const std::string kTestScanLine =
    "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
    "26.31       ,110.7       ,1234567890                         ";

class ScanProcessorTest : public ::testing::Test {
  protected:
    ScanProcessorTest() {
        settings.FilePath = folder.folder();
        (void)processor.SetDestination();
    }

    void Process(std::string text = CommHandler::TestScanText()) { processor.ProcessScan(text); }
    std::string DataFile() const { return ReadFile(folder.file("LOG-241.txt")); }

    TempDir folder;
    MainWindowState state;
    FakeView view;
    FakePrompt prompt;
    Settings settings;
    FakeClock clock;
    LocaleFormat locale;
    FakeFileLayer files;
    FakeRetryTimer retryTimer;
    ScanProcessor processor{state, view, prompt, settings, clock, locale, files, retryTimer};
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

TEST_F(ScanProcessorTest, FailedAppendShowsTheScanButCountsNothingUntilItIsWritten) {
    settings.FilePath = folder.folder() + "missing/";
    (void)processor.SetDestination();
    settings.ManualEntryData = true;
    view.dataMenuEnabled = false;
    Process();
    EXPECT_EQ(view.data[0], "1234567890" + std::string(25, ' '));
    EXPECT_EQ(prompt.asked.size(), 1u) << "the operator was asked before the write failed";
    EXPECT_EQ(view.counter, "");
    EXPECT_FALSE(view.dataMenuEnabled);
    EXPECT_EQ(view.panels.count(2), 0u);
    EXPECT_EQ(view.panels[1],
              "Status: 126 Scans are waiting to be written: 1 waiting; Cannot open "
              "the data file: " +
                  settings.FilePath + "LOG-241.txt: No such file or directory");
}

// The user's own data folder of an installed program is made when the first record needs it; a
// folder the settings name is never made.
TEST_F(ScanProcessorTest, OnlyTheUsersOwnDataFolderIsMadeAtFirstNeed) {
    settings.FilePath = folder.folder() + "share/Orvane/";
    (void)processor.SetDestination();
    Process();
    EXPECT_EQ(view.panels[1].rfind(
                  "Status: 126 Scans are waiting to be written: 1 waiting; Cannot open ", 0),
              0u)
        << view.panels[1];
    EXPECT_FALSE(std::filesystem::exists(settings.FilePath));

    settings.CreateFilePath = true;
    (void)processor.SetDestination();
    Process();
    EXPECT_EQ(ReadFile(settings.FilePath + "LOG-241.txt"),
              kTestScanLine + "\r\n" + kTestScanLine + "\r\n")
        << "the scan that waited goes first";
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

// The data folder goes away (an unmounted share) while three scans arrive a second apart; each
// keeps its own time and file, and all are written in order once the folder is back.
TEST_F(ScanProcessorTest, ScansWaitForTheFolderAndAreWrittenInOrderWithTheirOwnTimes) {
    const std::string aside = folder.file("aside");
    std::filesystem::create_directory(folder.path() / "data");
    settings.FilePath = folder.folder() + "data/";
    (void)processor.SetDestination();
    std::filesystem::rename(settings.FilePath, aside);
    view.dataMenuEnabled = false;
    for (int n = 1; n <= 3; ++n) {
        clock.now.second = n;
        Process();
        EXPECT_EQ(view.panels[1].rfind("Status: 126 Scans are waiting to be written: " +
                                           std::to_string(n) + " waiting; Cannot open",
                                       0),
                  0u)
            << view.panels[1];
    }
    EXPECT_EQ(view.counter, "") << "nothing counts before its line is in the file";
    EXPECT_TRUE(retryTimer.running);
    EXPECT_FALSE(processor.WriteWaitingScans());
    EXPECT_EQ(processor.WaitingCount(), 3u) << "the folder is still away";
    EXPECT_FALSE(std::filesystem::exists(settings.FilePath)) << "the folder is never made";

    std::filesystem::rename(aside, settings.FilePath);
    view.dataMenuChecked = true;
    EXPECT_TRUE(processor.WriteWaitingScans()) << "the last one was written";
    const std::string text = ReadFile(settings.FilePath + "LOG-241.txt");
    std::string expected;
    for (const char* time : {"14:03:01", "14:03:02", "14:03:03"}) {
        std::string line = kTestScanLine;
        line.replace(11, 8, time);
        expected += line + "\r\n";
    }
    EXPECT_EQ(text, expected);
    EXPECT_EQ(view.counter, "3");
    EXPECT_TRUE(view.dataMenuEnabled);
    EXPECT_EQ(view.list.size(), 3u);
    EXPECT_FALSE(retryTimer.running);
}

TEST_F(ScanProcessorTest, NewScanQueuesBehindTheWaitingOnes) {
    struct Case {
        const char* name;
        bool folderBack;
        std::size_t lines;
        std::size_t waiting;
    };
    const Case cases[] = {{"folder back", true, 2, 0}, {"folder still away", false, 0, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dataDir;
        settings.FilePath = dataDir.folder();
        (void)processor.SetDestination();
        std::filesystem::rename(dataDir.path(), folder.file("aside"));
        clock.now.second = 1;
        Process();
        if (c.folderBack) {
            std::filesystem::rename(folder.file("aside"), dataDir.path());
        }
        clock.now.second = 2;
        Process();
        EXPECT_EQ(processor.WaitingCount(), c.waiting);
        if (c.folderBack) {
            const std::string text = ReadFile(dataDir.file("LOG-241.txt"));
            EXPECT_LT(text.find("14:03:01"), text.find("14:03:02"));
            EXPECT_EQ(text.size(), c.lines * (kTestScanLine.size() + 2));
        } else {
            std::filesystem::rename(folder.file("aside"), dataDir.path());
            EXPECT_TRUE(processor.WriteWaitingScans());
        }
    }
}

// A name no file can have would hold up every scan behind it for good: such a scan is reported
// and not kept.
TEST_F(ScanProcessorTest, ScanWithAnImpossibleFileNameDoesNotWait) {
    settings.BranchID = "a/b";
    Process();
    EXPECT_EQ(processor.WaitingCount(), 0u);
    EXPECT_FALSE(retryTimer.running);
    EXPECT_EQ(view.panels[1].rfind("Status: 123 ", 0), 0u) << view.panels[1];
}

TEST_F(ScanProcessorTest, EveryRecordIsSyncedBeforeItCounts) {
    Process();
    const std::string folderName = folder.path().filename().string();
    EXPECT_EQ(files.steps,
              (std::vector<std::string>{"open LOG-241.txt", "stat LOG-241.txt", "write LOG-241.txt",
                                        "sync LOG-241.txt", "syncfolder " + folderName,
                                        "close LOG-241.txt"}))
        << "a new file's folder entry is synced too";
    EXPECT_EQ(view.counter, "1");
    files.steps.clear();
    files.failures["sync LOG-241.txt"] = EIO;
    Process();
    EXPECT_EQ(view.counter, "1") << "a line that did not reach the disk does not count";
    EXPECT_EQ(processor.WaitingCount(), 1u);
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
}

}  // namespace
}  // namespace brisolant
