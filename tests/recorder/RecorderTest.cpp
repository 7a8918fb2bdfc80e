#include "recorder/Recorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <limits>

#include "support/FakeFiles.h"
#include "support/FakeWindow.h"
#include "support/InlineRecordWriter.h"
#include "support/RecorderFakes.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::FakeFileLayer;
using test::InlineRecordWriter;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The test scan processed at 14:03:07 on 29 August 2007 with the default settings.
const std::string kTestScanLine =
    "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
    "26.31       ,110.7       ,1234567890                         ";

// The recorder over a settings file of its own, a station on a fake port, and a writer that
// writes at once on the test's thread.
class RecorderTest : public ::testing::Test, protected test::RecorderFakes {
  protected:
    RecorderTest() {
        writer.newsWaiting = [this] { recorder.TakeWriterNews(); };
    }

    // A program in a folder of its own whose default data folder is its user's own, made at
    // first need, as an installed program's is.
    SettingsPlace OwnPlace() const {
        SettingsPlace own = ProgramFolderPlace(program.path().string());
        own.defaultFilePath = data.folder() + "share/Orvane/";
        own.createDefaultFolder = true;
        return own;
    }

    // Starts on a settings file with these lines in its SETTINGS section, the data folder first.
    void Start(const std::string& settings = "") {
        WriteSettings(settings);
        recorder.Start();
    }
    void WriteSettings(const std::string& settings) {
        WriteFile(place.iniFilePath, "[COMMUNICATION]\r\nCommPort=/dev/pts/7\r\n[SETTINGS]\r\n" +
                                         (settings.starts_with("FilePath=")
                                              ? settings
                                              : "FilePath=" + Folder() + "\r\n" + settings));
    }
    // The station sends a scan.
    void Scan(const std::string& text = CommHandler::TestScanText()) {
        port.Arrive("\x02" + text);
        recorder.Comm_OnComm();
    }
    std::string Folder() const { return data.folder(); }
    std::string DataFile() const { return ReadFile(data.file("LOG-241.txt")); }
    bool PanelStarts(const std::string& start) { return view.panels[1].starts_with(start); }

    TempDir program;
    TempDir data;
    SettingsPlace place = OwnPlace();
    FakeFileLayer files;
    InlineRecordWriter writer{files, clock};
    Recorder recorder{Services(writer, place)};
};

TEST_F(RecorderTest, TestScanIsWrittenShownAndCounted) {
    Start();
    EXPECT_FALSE(view.dataMenuEnabled);
    Scan();
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
    EXPECT_EQ(recorder.DataFileName(), "LOG-241.txt");
    EXPECT_EQ(view.data[0], "1234567890" + std::string(25, ' '));
    EXPECT_EQ(view.data[2], "2007/08/29");
    EXPECT_EQ(view.data[6], "11.0 in     ") << "box 6 stands beside the Length caption";
    EXPECT_EQ(view.data[11], "3410.88");
    EXPECT_EQ(view.data.count(1), 0u) << "the I.D. box is never written";
    EXPECT_EQ(view.counter, "1");
    EXPECT_TRUE(view.dataMenuEnabled);
    EXPECT_EQ(view.panels[2], "File: " + Folder() + "LOG-241.txt");
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(RecorderTest, StrippedUnitsGoToTheFileWhileTheWindowKeepsThem) {
    Start("Remove_InCm=1\r\n");
    view.dataMenuChecked = true;
    Scan();
    EXPECT_EQ(view.data[6], "11.0 in     ");
    EXPECT_NE(DataFile().find(",11          ,22.8        ,13.6        ,12.44 lb"),
              std::string::npos);
    ASSERT_EQ(view.list.size(), 1u) << "an open data view receives the line";
    EXPECT_EQ(view.list[0] + "\r\n", DataFile());
}

TEST_F(RecorderTest, ManualEntryIsAskedForAndAppended) {
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
    Start("ManualEntryData=1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(data.file("LOG-241.txt"));
        prompt.answer = c.answer;
        Scan();
        EXPECT_EQ(DataFile(), kTestScanLine + "," + c.written + "\r\n");
    }
    EXPECT_EQ(prompt.asked.back(),
              "Manual Entry|Enter any addtional information to this record\r50 Character maximum");
}

// With a database named, each scan's record goes to the writer with its line: the values as
// numbers with their units, the operator's text, the line as written; the station is the
// settings file's name unless the settings give one.
TEST_F(RecorderTest, ADatabaseNamedGetsEachScansRecordBesideItsLine) {
    Start("ManualEntryData=1\r\n[DATABASE]\r\nConnection=host=records.depot password=x\r\n");
    EXPECT_EQ(writer.database, (DatabaseTarget{"host=records.depot", "Orvane"}));
    prompt.answer = "fragile";
    Scan();
    ASSERT_EQ(writer.central.size(), 1u);
    const CentralRecord& record = writer.central[0];
    EXPECT_EQ(record.line + "\r\n", DataFile());
    EXPECT_TRUE(record.arrivedAt.starts_with("2007-08-29 14:03:07")) << record.arrivedAt;
    EXPECT_EQ(record.barcode, "1234567890");
    EXPECT_EQ(record.operatorText, "fragile");
    EXPECT_EQ(record.length, "11");
    EXPECT_EQ(record.lengthUnit, "in");
    EXPECT_EQ(record.grossWeight, "12.44");
    EXPECT_EQ(record.weightUnit, "lb");
    EXPECT_EQ(record.seq, 0u) << "the writer numbers it";

    WriteSettings("[DATABASE]\r\nConnection=host=records.depot\r\nStation=north dock\r\n");
    recorder.LoadSettingsAndOpenPort();
    EXPECT_EQ(writer.database.station, "north dock");
}

TEST_F(RecorderTest, WithoutADatabaseNoRecordIsMadeForOne) {
    Start();
    Scan();
    EXPECT_EQ(writer.database, DatabaseTarget{});
    EXPECT_TRUE(writer.central.empty());
}

TEST_F(RecorderTest, FailedConversionWritesNothingAndKeepsThePreviousScanShown) {
    Start();
    Scan();
    std::string bad = CommHandler::TestScanText();
    bad.replace(bad.find("11.0 in"), 7, "ab1.0 in");
    clock.now.day = 30;
    Scan(bad);
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n");
    EXPECT_EQ(view.data[2], "2007/08/29") << "the boxes still show the previous scan";
    EXPECT_EQ(view.counter, "1");
    EXPECT_EQ(view.panels[2], "File: " + Folder() + "LOG-241.txt");
    EXPECT_TRUE(PanelStarts("Status: 111 ")) << view.panels[1];
    EXPECT_EQ(recorder.DataFileName(), "LOG-242.txt") << "named before the scan was read";
}

TEST_F(RecorderTest, FailedAppendShowsTheScanButCountsNothingUntilItIsWritten) {
    Start("FilePath=" + Folder() + "missing/\r\nManualEntryData=1\r\n");
    Scan();
    EXPECT_EQ(view.data[0], "1234567890" + std::string(25, ' '));
    EXPECT_EQ(prompt.asked.size(), 1u) << "the operator was asked before the write failed";
    EXPECT_EQ(view.counter, "0");
    EXPECT_FALSE(view.dataMenuEnabled);
    EXPECT_EQ(view.panels[2], "File: " + Folder() + "missing/");
    EXPECT_EQ(view.panels[1],
              "Status: 126 Scans are waiting to be written: 1 waiting; Cannot open the data "
              "file: " +
                  Folder() + "missing/LOG-241.txt: No such file or directory");
}

// The user's own data folder of an installed program is made when the first record needs it; a
// folder the settings name is never made.
TEST_F(RecorderTest, OnlyTheUsersOwnDataFolderIsMadeAtFirstNeed) {
    const std::string own = place.defaultFilePath;
    const std::string named = Folder() + "share/Named/";
    Start("FilePath=" + named + "\r\n");
    Scan();
    EXPECT_TRUE(PanelStarts("Status: 126 Scans are waiting to be written: 1 waiting; Cannot open "))
        << view.panels[1];
    EXPECT_FALSE(fs::exists(named));

    WriteFile(place.iniFilePath, "[COMMUNICATION]\r\nCommPort=/dev/pts/7\r\n");
    recorder.LoadSettingsAndOpenPort();
    Scan();
    EXPECT_EQ(ReadFile(own + "LOG-241.txt"), kTestScanLine + "\r\n" + kTestScanLine + "\r\n")
        << "the scan that waited goes first";
    EXPECT_EQ(view.panels[2], "File: " + own + "LOG-241.txt");
}

// The data folder goes away (an unmounted share) while three scans arrive a second apart; each
// keeps its own time and file, and all are written in order once the folder is back.
TEST_F(RecorderTest, ScansWaitForTheFolderAndAreWrittenInOrderWithTheirOwnTimes) {
    const fs::path aside = data.path().parent_path() / ("aside-" + data.path().filename().string());
    Start();
    fs::rename(data.path(), aside);
    for (int n = 1; n <= 3; ++n) {
        clock.now.second = n;
        Scan();
        EXPECT_TRUE(PanelStarts("Status: 126 Scans are waiting to be written: " +
                                std::to_string(n) + " waiting; Cannot open"))
            << view.panels[1];
    }
    EXPECT_EQ(view.counter, "0") << "nothing counts before its line is in the file";
    EXPECT_TRUE(writer.WaitingForRetry());
    writer.Retry();
    EXPECT_EQ(writer.Count(), 3u) << "the folder is still away";
    EXPECT_FALSE(fs::exists(data.path())) << "the folder is never made";

    fs::rename(aside, data.path());
    view.dataMenuChecked = true;
    writer.Retry();
    std::string expected;
    for (const char* time : {"14:03:01", "14:03:02", "14:03:03"}) {
        std::string line = kTestScanLine;
        line.replace(11, 8, time);
        expected += line + "\r\n";
    }
    EXPECT_EQ(DataFile(), expected);
    EXPECT_EQ(view.counter, "3");
    EXPECT_TRUE(view.dataMenuEnabled);
    EXPECT_EQ(view.list.size(), 3u);
    EXPECT_FALSE(writer.WaitingForRetry());
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle") << "once the last is written";
}

// A shift change while scans wait for the folder: the new shift counts from 0 what arrives in
// it; the waiting scans of the old shift are still written and listed, but not counted again.
TEST_F(RecorderTest, ScansWaitingAtAResetCountInTheShiftTheyArrivedIn) {
    const fs::path aside = data.path().parent_path() / ("aside-" + data.path().filename().string());
    Start();
    view.dataMenuChecked = true;
    Scan();
    fs::rename(data.path(), aside);
    Scan();
    Scan();
    EXPECT_EQ(view.counter, "1");
    recorder.ResetCounter();
    EXPECT_EQ(view.counter, "0");

    fs::rename(aside, data.path());
    writer.Retry();
    EXPECT_EQ(writer.Count(), 0u);
    EXPECT_EQ(view.counter, "0") << "the old shift's scans written after the reset";
    EXPECT_EQ(view.list.size(), 3u);
    Scan();
    EXPECT_EQ(view.counter, "1") << "the new shift's first scan";
}

// A name no file can have would turn every scan away: the settings that would make one are
// refused as they load, and the scans go to the default name's file.
TEST_F(RecorderTest, SettingsThatWouldNameNoFileAreRefusedAndScansStillRecorded) {
    for (const char* setting : {"BranchID=a/b\r\n", "LogFileType=7\r\n"}) {
        fs::remove(data.file("LOG-241.txt"));
        Start(setting);
        Scan();
        EXPECT_EQ(DataFile(), kTestScanLine + "\r\n") << setting;
        EXPECT_EQ(view.panels[1], "Status: Waiting Idle") << setting;
    }
}

TEST_F(RecorderTest, EveryRecordIsSyncedBeforeItCounts) {
    Start();
    files.failures["sync LOG-241.txt"] = EIO;
    Scan();
    EXPECT_EQ(view.counter, "0") << "a line that did not reach the disk does not count";
    EXPECT_EQ(writer.Count(), 1u);
    EXPECT_EQ(DataFile(), "");
    files.failures.clear();
    Scan();
    EXPECT_EQ(view.counter, "2");
    EXPECT_EQ(DataFile(), kTestScanLine + "\r\n" + kTestScanLine + "\r\n");
}

// The journal beside the settings file hands over what an earlier run could not write: it goes
// into the data file first and counts; what still waits at the end is kept.
TEST_F(RecorderTest, ScansAnEarlierRunKeptAreWrittenFirstAndWaitingOnesKeptAtTheEnd) {
    const std::string journal = program.file("Orvane.journal");
    WriteFile(journal, ScanRecordText(1, "LOG-241.txt", "kept line"));
    Start();
    EXPECT_EQ(DataFile(), "kept line\r\n");
    EXPECT_EQ(ReadFile(journal), "");
    EXPECT_EQ(view.counter, "1");
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");

    fs::remove_all(data.path());
    recorder.InjectTestScan();
    recorder.InjectTestScan();
    const StopOutcome outcome = recorder.Stop(std::chrono::seconds(3));
    EXPECT_EQ(outcome.unwritten, 2u);
    EXPECT_EQ(outcome.unkept, 0u);
    EXPECT_NE(ReadFile(journal).find("1234567890"), std::string::npos);
}

// The folder comes back while the port is gone: the scans are written, but all is not well.
TEST_F(RecorderTest, WrittenScansDoNotHideAClosedPort) {
    Start();
    fs::remove_all(data.path());
    recorder.InjectTestScan();
    recorder.PortFailed(Failure(FailureCode::PortVanished, "/dev/pts/7"));
    fs::create_directory(data.path());
    writer.Retry();
    EXPECT_EQ(view.counter, "1");
    EXPECT_TRUE(PanelStarts("Status: 207 ")) << view.panels[1];
    EXPECT_EQ(view.light, kLightGrey);
}

// What the site's monitoring is told: the records on the disk whatever the shift, the scans that
// wait and why, and the port.
TEST_F(RecorderTest, FiguresTellTheRecordsTheWaitingScansTheirCauseAndThePort) {
    const fs::path aside = data.path().parent_path() / ("aside-" + data.path().filename().string());
    Start();
    Scan();
    recorder.ResetCounter();
    EXPECT_EQ(recorder.Figures(), (RecorderFigures{1, 0, 0, true, 0}));
    fs::rename(data.path(), aside);
    Scan();
    Scan();
    EXPECT_EQ(recorder.Figures(), (RecorderFigures{1, 0, 2, true, 126}));
    port.SetPortOpen(false);  // as an unplugged adapter's is closed before the news comes
    recorder.PortFailed(Failure(FailureCode::PortVanished, "/dev/pts/7"));
    EXPECT_FALSE(recorder.Figures().portOpen);
    fs::rename(aside, data.path());
    writer.Retry();
    EXPECT_EQ(recorder.Figures(), (RecorderFigures{3, 0, 0, false, 0}));
}

TEST(ScanCounterTest, CountsUpToItsTopAndThenSaysItIsFull) {
    ScanCounter counter(std::numeric_limits<std::int32_t>::max() - 1);
    counter.Count();
    EXPECT_EQ(counter.Value(), std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW(counter.Count(), Failure);
    EXPECT_EQ(counter.Value(), std::numeric_limits<std::int32_t>::max());
    counter.Reset();
    EXPECT_EQ(counter.Value(), 0);
}

}  // namespace
}  // namespace brisolant
