#include "window/MainWindowLogic.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <utility>

#include "store/RecordJournal.h"
#include "support/FakeFiles.h"
#include "support/FakeWindow.h"
#include "support/InlineRecordWriter.h"
#include "support/RecorderFakes.h"
#include "support/TestSupport.h"
#include "window/RecordLines.h"

namespace brisolant {
namespace {

using test::InlineRecordWriter;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Keeps the reads asked for; the test answers them, as the reading thread would, when it likes.
class HeldReader : public DataFileReader {
  public:
    struct Asked {
        std::uint64_t ticket;
        std::string path;
    };

    void Read(std::uint64_t ticket, const std::string& path) override {
        asked.push_back({ticket, path});
    }
    std::vector<DataFileAnswer> TakeAnswers() override { return std::exchange(answers, {}); }

    // Answers the oldest read still asked for with the file as it is now.
    void AnswerOldest() {
        const Asked read = asked.front();
        asked.pop_front();
        DataFileAnswer answer{read.ticket, {}, {}};
        try {
            answer.lines = ReadDataFileLines(read.path, RecordLines::kMaxShownBytes);
        } catch (const Failure& failure) {
            answer.failure = failure;
        }
        answers.push_back(std::move(answer));
    }

    std::deque<Asked> asked;
    std::vector<DataFileAnswer> answers;
};

class MainWindowLogicTest : public ::testing::Test, protected test::RecorderFakes {
  protected:
    void WriteSettings(const std::string& communication, const std::string& settings = "") {
        WriteFile(programDir.file("Orvane.ini"), "[COMMUNICATION]\r\n" + communication +
                                                     "[SETTINGS]\r\nFilePath=" + dataDir.folder() +
                                                     "\r\n" + settings);
    }
    std::string DataFile() const { return dataDir.folder() + logic.recorder().DataFileName(); }

    MainWindowLogicTest() {
        writer.newsWaiting = [this] { logic.recorder().TakeWriterNews(); };
    }

    TempDir programDir;
    TempDir dataDir;
    InlineRecordWriter writer{PosixFiles(), clock};
    HeldReader reader;
    MainWindowLogic logic{view, reader,
                          Services(writer, ProgramFolderPlace(programDir.path().string()))};
};

TEST_F(MainWindowLogicTest, StartsWithDefaultsWhenThereIsNoSettingsFile) {
    logic.Form_Load();
    EXPECT_EQ(port.device, "/dev/ttyS0");
    EXPECT_EQ(port.settings, "9600,N,8,1");
    EXPECT_TRUE(port.open);
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_EQ(view.panels[2], "File: /");
    EXPECT_EQ(view.panels[3], "Connecton: 9600,N,8,1");
    EXPECT_EQ(view.light, kLightGreen);
    EXPECT_FALSE(view.dataMenuEnabled);
    EXPECT_EQ(view.counter, "0");
    EXPECT_FALSE(std::filesystem::exists(programDir.file("Orvane.ini")));
}

TEST_F(MainWindowLogicTest, PortAndLineSettingsComeFromTheSettingsFile) {
    struct Case {
        std::string communication;
        std::string device;
        std::string line;
    };
    const Case cases[] = {
        {"CommPort=Comm 4\r\nParity=Even\r\n", "/dev/ttyS3", "9600,E,8,1"},
        {"CommPort=3\r\nParity=Odd\r\nBaudRate=19200\r\nDataBits=7\r\nStopBits=2\r\n", "/dev/ttyS2",
         "19200,O,7,2"},
        {"CommPort=/dev/pts/7\r\nParity=none\r\n", "/dev/pts/7", "9600,n,8,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.communication);
        WriteSettings(c.communication);
        logic.recorder().LoadSettingsAndOpenPort();
        EXPECT_EQ(port.device, c.device);
        EXPECT_EQ(view.panels[3], "Connecton: " + c.line);
    }
}

TEST_F(MainWindowLogicTest, PortThatCannotOpenIsReportedAndTheProgramGoesOn) {
    port.refuseOpen = true;
    WriteSettings("CommPort=/dev/nothing-here\r\n");
    logic.Form_Load();
    const std::string failure = view.panels[1];
    EXPECT_EQ(failure.rfind("Status: 202 Cannot open the serial port", 0), 0u) << failure;
    EXPECT_EQ(view.panels[2], "File: " + dataDir.folder());
    EXPECT_EQ(view.panels[3], "Connecton: 9600,N,8,1");
    EXPECT_EQ(view.light, kLightGrey);
    EXPECT_EQ(view.counter, "0");

    logic.mnuTest_Click();
    EXPECT_EQ(view.counter, "1") << "the test scan works without a port";
    EXPECT_EQ(ReadFile(DataFile()).size(), 141u);
    EXPECT_EQ(view.panels[1], failure) << "the port is still closed";
    EXPECT_EQ(view.light, kLightGrey);
}

TEST_F(MainWindowLogicTest, AProgramStartedBeforeItsDeviceOpensItWhenItAppears) {
    port.refuseOpen = true;
    port.refusal = FailureCode::PortDeviceMissing;
    WriteSettings("CommPort=/dev/serial/by-id/usb-station\r\nBaudRate=19200\r\n");
    logic.Form_Load();
    EXPECT_EQ(view.panels[1].rfind("Status: 209 ", 0), 0u) << view.panels[1];
    EXPECT_EQ(view.light, kLightGrey);
    ASSERT_TRUE(watch.running);
    EXPECT_EQ(watch.device, "/dev/serial/by-id/usb-station");

    logic.recorder().PortMayBeBack();
    EXPECT_FALSE(port.open) << "still not there";
    port.refuseOpen = false;
    logic.recorder().PortMayBeBack();
    EXPECT_TRUE(port.open);
    EXPECT_EQ(port.settings, "19200,N,8,1");
    EXPECT_FALSE(watch.running);
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_EQ(view.light, kLightGreen);
}

TEST_F(MainWindowLogicTest, ASettingsChangeEndsOrMovesTheWait) {
    port.refuseOpen = true;
    WriteSettings("CommPort=/dev/ttyUSB0\r\n");
    logic.Form_Load();
    ASSERT_TRUE(watch.running);

    WriteSettings("CommPort=/dev/ttyUSB1\r\n");
    logic.recorder().LoadSettingsAndOpenPort();
    EXPECT_TRUE(watch.running);
    EXPECT_EQ(watch.device, "/dev/ttyUSB1");

    WriteSettings("CommPort=Comm 10\r\n");
    logic.recorder().LoadSettingsAndOpenPort();
    EXPECT_FALSE(watch.running) << "only a settings change mends a bad port number";

    port.refuseOpen = false;
    WriteSettings("CommPort=/dev/ttyUSB0\r\n");
    logic.recorder().LoadSettingsAndOpenPort();
    EXPECT_TRUE(port.open);
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_EQ(view.light, kLightGreen);
}

// Whatever the line carried while the port was closed is lost, so a half block from before
// and its end from after must not be joined into one scan.
TEST_F(MainWindowLogicTest, ReopeningThePortDropsAHalfReceivedBlockAndItsEnd) {
    WriteSettings("");
    logic.Form_Load();
    // A station that marks its scans with STX: one whole scan, then half of the next.
    port.Arrive("\x02" + CommHandler::TestScanText() + "\x02" + std::string(60, 'a'));
    logic.recorder().Comm_OnComm();
    logic.recorder().LoadSettingsAndOpenPort();
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.opens, 2);
    EXPECT_EQ(logic.recorder().Reception().ReceiveBuffer, "");
    port.Arrive(std::string(60, 'b') + "\r\n\r\n");
    logic.recorder().Comm_OnComm();
    EXPECT_EQ(view.counter, "1");
    EXPECT_EQ(view.errors, "1");
    EXPECT_EQ(view.panels[1], "Status: 104 The end of a lost scan was dropped");
}

TEST_F(MainWindowLogicTest, ResetCounterWritesPlainZeroAndResetsNothingElse) {
    WriteSettings("");
    logic.Form_Load();
    for (int i = 0; i < 3; ++i) {
        logic.mnuTest_Click();
    }
    view.errors = "4";
    logic.mnuResetCounter_Click();
    EXPECT_EQ(view.counter, "0");
    EXPECT_EQ(view.errors, "4");
    logic.mnuTest_Click();
    EXPECT_EQ(view.counter, "1");
    EXPECT_EQ(ReadFile(DataFile()).size(), 4 * 141u);
}

TEST_F(MainWindowLogicTest, ClosingWithScansWaitingSaysHowManyAreKept) {
    WriteSettings("CommPort=/dev/pts/7\r\n");
    logic.Form_Load();
    logic.Form_Unload();
    EXPECT_TRUE(messages.shown.empty()) << "nothing waits, nothing to say";
    std::filesystem::remove_all(dataDir.path());
    logic.mnuTest_Click();
    logic.Form_Unload();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Waiting Scans");
    EXPECT_EQ(messages.shown[0].text,
              "1 scan is not in the data file yet. It is kept and will be written when the "
              "program starts again.");
}

TEST(WaitingScansMessageTest, SaysHowManyWaitAndWhetherTheyAreKept) {
    struct Row {
        StopOutcome outcome;
        std::string text;
    };
    const Row rows[] = {
        {{0, 0}, ""},
        {{2, 0},
         "2 scans are not in the data file yet. They are kept and will be written when the "
         "program starts again."},
        {{3, 1},
         "3 scans are not in the data file yet. 1 of them could not be kept in the journal and "
         "is lost."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WaitingScansMessage(row.outcome), row.text);
    }
}

TEST_F(MainWindowLogicTest, HiddenButtonTogglesTheRawText) {
    logic.Form_Load();
    logic.lblHiddenButton_Click();
    EXPECT_TRUE(view.dataReceivedVisible);
    logic.lblHiddenButton_Click();
    EXPECT_FALSE(view.dataReceivedVisible);
}

class DataViewTest : public MainWindowLogicTest {
  protected:
    void SetUp() override {
        WriteSettings("");
        logic.Form_Load();
        logic.mnuTest_Click();
        logic.mnuTest_Click();
    }
    // Every read asked for answers, oldest first, and the window takes the answers.
    void AnswerReads() {
        while (!reader.asked.empty()) {
            reader.AnswerOldest();
        }
        logic.TakeDataFileAnswers();
    }
};

TEST_F(DataViewTest, OnOffOnShowsEachLineOnce) {
    logic.mnuData_Click();
    EXPECT_TRUE(view.dataMenuChecked);
    EXPECT_TRUE(view.listVisible);
    AnswerReads();
    EXPECT_EQ(view.list.size(), 2u);
    EXPECT_EQ(view.listTop, 50);
    EXPECT_EQ(view.listWidth, view.outerWidth - 150);
    EXPECT_EQ(view.listHeight, view.outerHeight - 1000);

    logic.mnuData_Click();
    EXPECT_FALSE(view.listVisible);
    EXPECT_TRUE(view.list.empty());
    logic.mnuData_Click();
    AnswerReads();
    EXPECT_EQ(view.list.size(), 2u);
}

// The file is read away from the window's thread: the view says it is reading until the lines
// come, and a record written meanwhile, which the file holds by then, is shown once.
TEST_F(DataViewTest, TheViewSaysItIsReadingUntilTheFilesLinesCome) {
    logic.mnuData_Click();
    ASSERT_EQ(reader.asked.size(), 1u);
    EXPECT_EQ(reader.asked.front().path, DataFile());
    EXPECT_TRUE(view.listVisible);
    EXPECT_TRUE(view.listReading);
    EXPECT_TRUE(view.list.empty());

    logic.mnuTest_Click();
    EXPECT_EQ(view.counter, "3") << "the scan is recorded while the file is read";
    EXPECT_TRUE(view.list.empty());

    AnswerReads();
    EXPECT_FALSE(view.listReading);
    ASSERT_EQ(view.list.size(), 3u);
    EXPECT_EQ(view.list[2] + "\r\n", ReadFile(DataFile()).substr(2 * 141));
}

// An answer that comes after the view was switched off, or off and on again, is not the one
// the view waits for: whatever it holds, it changes nothing.
TEST_F(DataViewTest, AnAnswerForAViewSwitchedOffSinceIsDropped) {
    struct Case {
        const char* name;
        bool fileThere;  // the stale read finds the file, or fails
        bool onAgain;
    };
    const Case cases[] = {
        {"lines, view off", true, false},
        {"failure, view off", false, false},
        {"lines, view on again", true, true},
        {"failure, view on again", false, true},
    };
    const std::string records = ReadFile(DataFile());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(DataFile(), records);
        logic.mnuData_Click();
        logic.mnuData_Click();
        if (c.onAgain) {
            logic.mnuData_Click();
        }
        if (!c.fileThere) {
            std::filesystem::remove(DataFile());
        }
        const std::string panel = view.panels[1];
        reader.AnswerOldest();
        logic.TakeDataFileAnswers();

        EXPECT_EQ(view.panels[1], panel);
        EXPECT_TRUE(view.dataMenuEnabled);
        EXPECT_EQ(view.dataMenuChecked, c.onAgain);
        EXPECT_EQ(view.listVisible, c.onAgain);
        EXPECT_EQ(view.listReading, c.onAgain) << "still waiting for its own read";
        EXPECT_TRUE(view.list.empty());

        WriteFile(DataFile(), records);
        AnswerReads();
        EXPECT_EQ(view.list.size(), c.onAgain ? 2u : 0u);
        if (c.onAgain) {
            logic.mnuData_Click();
        }
    }
}

TEST_F(DataViewTest, NewScanAddsExactlyOneLine) {
    logic.mnuData_Click();
    AnswerReads();
    logic.mnuTest_Click();
    ASSERT_EQ(view.list.size(), 3u);
    EXPECT_EQ(view.list[2] + "\r\n", ReadFile(DataFile()).substr(2 * 141));
}

// The open view gets every record written since it opened, whichever file it went to: here a
// scan that waited for the folder belongs to the day before the scan that brought it out.
TEST_F(DataViewTest, RecordsOfAnyFileWrittenSinceTheViewOpenedAreAdded) {
    logic.mnuData_Click();
    AnswerReads();
    const std::filesystem::path aside = dataDir.path().string() + "-away";
    std::filesystem::rename(dataDir.path(), aside);
    logic.mnuTest_Click();
    std::filesystem::rename(aside, dataDir.path());
    clock.now.day = 30;
    logic.mnuTest_Click();

    ASSERT_EQ(view.list.size(), 4u);
    EXPECT_EQ(view.list[2] + "\r\n", ReadFile(dataDir.file("LOG-241.txt")).substr(2 * 141));
    EXPECT_EQ(view.list[3] + "\r\n", ReadFile(dataDir.file("LOG-242.txt")));
}

TEST_F(DataViewTest, EmptyFileShowsAnEmptyList) {
    WriteFile(DataFile(), "");
    logic.mnuData_Click();
    AnswerReads();
    EXPECT_TRUE(view.listVisible);
    EXPECT_FALSE(view.listReading);
    EXPECT_TRUE(view.list.empty());
}

TEST_F(DataViewTest, DeletedFileLeavesTheViewUnavailable) {
    std::filesystem::remove(DataFile());
    view.list.push_back("left over");
    logic.mnuData_Click();
    AnswerReads();
    EXPECT_FALSE(view.listVisible);
    EXPECT_FALSE(view.dataMenuChecked);
    EXPECT_FALSE(view.dataMenuEnabled);
    EXPECT_TRUE(view.list.empty());
    EXPECT_EQ(view.panels[1].rfind("Status: 124 ", 0), 0u) << view.panels[1];

    logic.mnuTest_Click();
    EXPECT_TRUE(view.dataMenuEnabled) << "the next written record makes it available again";
}

class RepaintTest : public MainWindowLogicTest {};

TEST_F(RepaintTest, PanelsFollowTheOuterWidthAndTheListItsSize) {
    view.outerWidth = 9690;
    view.outerHeight = 6795;
    logic.Repaint();
    EXPECT_EQ(view.panelMinWidth[1], 4845);
    EXPECT_EQ(view.panelMinWidth[2], 2423);
    EXPECT_EQ(view.panelMinWidth[3], 2423);
    EXPECT_EQ(view.listWidth, 9540);
    EXPECT_EQ(view.listHeight, 5795);
}

TEST_F(RepaintTest, TallerButNotWiderKeepsTheListHeight) {
    logic.Repaint();
    view.outerHeight += 1500;
    logic.Repaint();
    EXPECT_EQ(view.listHeight, 5795);
    view.outerWidth += 15;
    logic.Repaint();
    EXPECT_EQ(view.listHeight, 7295);
}

TEST_F(RepaintTest, TinyWindowGivesTheListNoNegativeSize) {
    view.outerWidth = 100;
    view.outerHeight = 300;
    logic.Repaint();
    EXPECT_EQ(view.listWidth, 0);
    EXPECT_EQ(view.listHeight, 0);
}

}  // namespace
}  // namespace brisolant
