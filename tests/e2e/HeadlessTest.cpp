// The program without a window, as the service runs it: no display, a log on standard error,
// a clean end on SIGTERM, one copy per settings file, and its journal where --state-dir says.

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WaitUntil;

class HeadlessTest : public ::testing::Test {
  protected:
    // The program prepared to run headless with no display variable at all; false to skip.
    bool Prepare(const std::vector<SettingOverride>& overrides = {}) {
        program_ = PrepareProgram(overrides, whyNot_);
        if (!program_) {
            return false;
        }
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
            program_->RemoveEnvironment(name);
        }
        program_->AddArgument("--headless");
        return true;
    }
    bool Ended() {
        return WaitUntil([&] { return !program_->IsRunning(); });
    }
    void SendParcel(long number) {
        ASSERT_TRUE(program_->Line().Write(Scan(ParcelBarcode(number))));
    }
    // Starts a second copy with these arguments beside the program's, until it ends; its exit
    // code and log.
    std::pair<std::optional<int>, std::string> SecondCopy(const std::vector<std::string>& arguments,
                                                          const std::string& logPath) {
        ChildProcess second;
        std::vector<std::string> command{program_->Folder() + "brisolant", "--headless"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        if (!second.Start(command, EnvironmentWith({"QT_QPA_PLATFORM=offscreen"}), logPath) ||
            !WaitUntil([&] { return !second.IsRunning(); })) {
            return {std::nullopt, ReadFile(logPath)};
        }
        return {second.ExitCode(), ReadFile(logPath)};
    }
    std::string NamesTheFirst() const {
        return "(process " + std::to_string(program_->Pid()) + ")";
    }
    // The program's standard error is a file that JOURNAL_STREAM names, as systemd names the
    // journal's stream: the program writes as it would to the journal. Returns the file.
    std::string LogAsTheJournal() {
        const std::string logPath = program_->Folder() + "program.log";
        test::WriteFile(logPath, "");
        struct stat log {};
        EXPECT_EQ(::stat(logPath.c_str(), &log), 0);
        program_->AddEnvironment("JOURNAL_STREAM=" + std::to_string(log.st_dev) + ":" +
                                 std::to_string(log.st_ino));
        return logPath;
    }
    bool LogHas(const std::string& text) {
        return WaitUntil([&] { return program_->Log().find(text) != std::string::npos; });
    }

    std::string whyNot_;
    std::unique_ptr<ProgramUnderTest> program_;
};

TEST_F(HeadlessTest, RecordsWithoutADisplayLogsEachRecordAndEndsCleanlyOnSigterm) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcel(1);
    SendParcel(2);
    ASSERT_EQ(program_->WaitForLines(2).size(), 2u) << program_->Log();
    EXPECT_TRUE(LogHas("Recorded: ")) << program_->Log();
    EXPECT_TRUE(LogHas(ParcelBarcode(2) + "\n")) << "one line per record, its blanks trimmed";
    EXPECT_EQ(program_->Log().find("Receiving Data"), std::string::npos) << program_->Log();
    // A station that names no database never loads the database's client library.
    EXPECT_EQ(ReadFile("/proc/" + std::to_string(program_->Pid()) + "/maps").find("libpq"),
              std::string::npos);

    ASSERT_EQ(::kill(program_->Pid(), SIGTERM), 0);
    ASSERT_TRUE(Ended()) << program_->Log();
    EXPECT_EQ(program_->ExitCode(), 0) << program_->Log();
}

TEST_F(HeadlessTest, RefusesToStartWithManualEntryData) {
    if (!Prepare({{"ManualEntryData", "1"}})) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->Start());
    ASSERT_TRUE(Ended()) << program_->Log();
    EXPECT_EQ(program_->ExitCode(), 4) << program_->Log();
    EXPECT_NE(program_->Log().find("Error: 403. ManualEntryData is set"), std::string::npos)
        << program_->Log();
}

// A second copy on the same settings file names the first and ends; the first records on, each
// scan once.
TEST_F(HeadlessTest, ASecondCopyOnTheSameSettingsFileNamesTheFirstAndEnds) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    const auto [exitCode, log] = SecondCopy({}, program_->Folder() + "second.log");
    EXPECT_EQ(exitCode, 3) << log;
    EXPECT_NE(log.find(NamesTheFirst()), std::string::npos) << log;

    SendParcel(1);
    ASSERT_EQ(program_->WaitForLines(1).size(), 1u) << program_->Log();
}

// The same settings file by another name (a link elsewhere, whose journal would lie beside it)
// is the same station: the copy that reaches it so is refused as well.
TEST_F(HeadlessTest, ASecondCopyThroughALinkToTheSettingsFileIsRefusedToo) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    const test::TempDir elsewhere;
    const std::string link = elsewhere.file("dock.ini");
    fs::create_symlink(program_->SettingsFile(), link);
    const auto [exitCode, log] = SecondCopy({"--settings", link}, elsewhere.file("second.log"));
    EXPECT_EQ(exitCode, 3) << log;
    EXPECT_NE(log.find(NamesTheFirst()), std::string::npos) << log;
}

// The journal sits in the state folder, made when missing, not beside the settings file.
TEST_F(HeadlessTest, KeepsItsJournalInTheStateFolder) {
    if (!Prepare({{"FilePath", "/nonexistent/brisolant-data/"}})) {
        GTEST_SKIP() << whyNot_;
    }
    const std::string stateDir = program_->Folder() + "state/dock";
    program_->AddArgument("--state-dir");
    program_->AddArgument(stateDir);
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcel(1);
    EXPECT_TRUE(WaitUntil([&] {
        return ReadFile(stateDir + "/Orvane.journal").find(ParcelBarcode(1)) != std::string::npos;
    })) << program_->Log();
    EXPECT_TRUE(LogHas("Status: 12")) << "panel 1 says why the scan waits";
    EXPECT_FALSE(fs::exists(program_->Folder() + "Orvane.journal"));

    ASSERT_EQ(::kill(program_->Pid(), SIGTERM), 0);
    ASSERT_TRUE(Ended()) << program_->Log();
    EXPECT_EQ(program_->ExitCode(), 0);
    EXPECT_TRUE(LogHas("1 scan is not in the data file yet")) << program_->Log();
}

// A service must not record with every default because its settings file is missing or cannot
// be read: the start ends with an exit code of its own (which the unit does not restart) and one
// line that names the file and the cause, before any journal or lock is made.
TEST_F(HeadlessTest, RefusesAMissingOrUnreadableSettingsFileWithAnExitCodeOfItsOwn) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    const test::TempDir elsewhere;
    fs::create_directory(elsewhere.file("folder.ini"));
    const std::pair<std::string, std::string> cases[] = {
        {elsewhere.file("missing.ini"),
         "Error: 304. The settings file is not there: " + elsewhere.file("missing.ini") + "\n"},
        {elsewhere.file("folder.ini"), "Error: 301. Cannot read the settings file: " +
                                           elsewhere.file("folder.ini") + ": Is a directory\n"},
    };
    for (const auto& [settings, line] : cases) {
        const auto [exitCode, log] =
            SecondCopy({"--settings", settings}, elsewhere.file("refused.log"));
        EXPECT_EQ(exitCode, 6) << log;
        EXPECT_EQ(log, line);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), fs::directory_iterator()), 2)
        << "nothing made beside them but the log";
}

// When standard error is the journal (JOURNAL_STREAM names it, as systemd sets it), each line
// carries its priority instead of the time: one line says what the run works with, a device
// away is a warning, and one line at the end says what is kept.
TEST_F(HeadlessTest, InTheJournalEachLineCarriesItsPriorityAndTheRunIsToldAtStartAndStop) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    const std::string logPath = LogAsTheJournal();
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcel(1);
    ASSERT_EQ(program_->WaitForLines(1).size(), 1u) << program_->Log();
    program_->Line().Close();
    EXPECT_TRUE(LogHas("<4>Status: 207 ")) << program_->Log();
    ASSERT_EQ(::kill(program_->Pid(), SIGTERM), 0);
    ASSERT_TRUE(Ended()) << program_->Log();

    const std::string text = ReadFile(logPath);
    EXPECT_NE(text.find("<6>Started Brisolant 1.0.17: settings " + program_->SettingsFile() +
                        "; data " + program_->DataFolder() + "; journal " + program_->Folder() +
                        "Orvane.journal; 0 scans waiting from the last run\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<6>Recorded: "), std::string::npos) << text;
    EXPECT_NE(text.find("<6>Stopped: 1 scan recorded in this run; none kept in the journal\n"),
              std::string::npos)
        << text;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.starts_with("<3>") || line.starts_with("<4>") || line.starts_with("<6>"))
            << line;
    }
}

// Scans cut off on the line, each by the next parcel's scan: the journal tells the first at once
// and the rest in one count when the program ends, instead of a line each.
TEST_F(HeadlessTest, ARepeatedFaultIsToldOnceAndCountedInTheJournal) {
    if (!Prepare()) {
        GTEST_SKIP() << whyNot_;
    }
    const std::string logPath = LogAsTheJournal();
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    constexpr int kCutOff = 10;
    for (long number = 1; number <= kCutOff; ++number) {
        const std::string scan = Scan(ParcelBarcode(2 * number));
        ASSERT_TRUE(program_->Line().Write(Damaged(scan, Damage::CutOff, scan.size() / 2) +
                                           Scan(ParcelBarcode(2 * number + 1))));
        ASSERT_EQ(program_->WaitForLines(static_cast<std::size_t>(number)).size(),
                  static_cast<std::size_t>(number))
            << program_->Log();
    }
    ASSERT_EQ(::kill(program_->Pid(), SIGTERM), 0);
    ASSERT_TRUE(Ended()) << program_->Log();

    const std::string text = ReadFile(logPath);
    std::vector<std::string> told;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Status: 103 ") != std::string::npos) {
            told.push_back(line);
        }
    }
    ASSERT_EQ(told.size(), 2u) << text;
    EXPECT_EQ(told[0], "<3>Status: 103 A scan was cut off and dropped") << text;
    EXPECT_EQ(told[1], "<3>Status: 103 A scan was cut off and dropped (" +
                           std::to_string(kCutOff - 1) + " times in the last minute)")
        << text;
}

}  // namespace
}  // namespace brisolant::e2e
