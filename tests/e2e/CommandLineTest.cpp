// The program's command line: answers that need no display, and a settings file named outright.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs the program to its end without any display at all, with the user's data folder in
// dataHome.
Outcome RunToEnd(const std::string& executable, const std::string& dataHome,
                 const std::string& arguments) {
    const std::string command =
        "env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "
        "XDG_DATA_HOME=" +
        dataHome + " " + executable + " " + arguments + " 2>&1";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return outcome;
    }
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        outcome.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(CommandLineTest, AnswersWithoutADisplayAndRefusesWhatItDoesNotKnow) {
    test::TempDir folder;
    const std::string program = folder.file("brisolant");
    fs::copy_file(BRISOLANT_EXE, program);
    struct Row {
        const char* arguments;
        int exitCode;
        std::string expected;  // the output holds it
    };
    const Row rows[] = {
        {"--version", 0,
         "Brisolant 1.0.17\nSettings: " + folder.file("Orvane.ini") + "\nData: /\n"},
        // A station of its own records in a data folder of its own.
        {"-v --settings /srv/two.ini", 0,
         "Settings: /srv/two.ini\nData: " + folder.file("xdg/Orvane/two/") + "\n"},
        {"--help", 0, "Usage: brisolant [options]\n"},
        {"--help", 0, "--settings <FILE>"},
        {"--help-all", 0, "--platform <name>"},
        {"--help", 0, "--headless"},
        {"--state-dir /var/lib/x", 2, "--state-dir needs a folder, and --headless"},
        {"-v --settings /srv/two.ini --data-dir /srv/brisolant/two", 0,
         "Data: /srv/brisolant/two/\n"},
        {"--data-dir=", 2, "--data-dir needs a folder"},
        {"--metrics-file /var/lib/x/dock1.txt", 2,
         "--metrics-file needs a file name ending in .prom"},
        {"--help", 0, "--metrics-file <FILE>"},
        {"--bogus", 2, "Unknown option 'bogus'"},
        {"stray", 2, "unexpected argument 'stray'"},
        {"--settings", 2, "Missing value after '--settings'"},
        {"--settings=", 2, "--settings needs a file name"},
        {"--settings /srv/", 2, "--settings needs a file name, not '/srv/'"},
    };
    for (const Row& row : rows) {
        const Outcome outcome = RunToEnd(program, folder.file("xdg"), row.arguments);
        EXPECT_EQ(outcome.exitCode, row.exitCode) << row.arguments << "\n" << outcome.output;
        EXPECT_NE(outcome.output.find(row.expected), std::string::npos) << row.arguments << "\n"
                                                                        << outcome.output;
    }
    EXPECT_FALSE(fs::exists(folder.file("Orvane.ini"))) << "answering creates no settings file";
    EXPECT_FALSE(fs::exists(folder.file("xdg"))) << "nor a data folder";
}

// The simulator that comes with the program says which program's version it is.
TEST(CommandLineTest, TheStationSimulatorSaysItsVersion) {
    const test::TempDir folder;
    const Outcome outcome = RunToEnd(STATION_EXE, folder.file("xdg"), "--version");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_EQ(outcome.output, "brisolant-station 1.0.17\n");
}

// Two stations on one PC: each instance runs on its own settings file, whatever lies beside
// the program, and a file that names no data folder records in one of its own, made when the
// first scan comes.
TEST(CommandLineTest, ASettingsFileNamedOutrightDrivesPortAndDataFolder) {
    std::string whyNot;
    const auto program = PrepareProgram({}, whyNot);
    if (!program) {
        GTEST_SKIP() << whyNot;
    }
    const std::string stationOne = program->Folder() + "station-one.ini";
    test::WriteFile(stationOne,
                    "[COMMUNICATION]\r\nCommPort=" + program->Line().ProgramEnd() + "\r\n");
    test::WriteFile(program->SettingsFile(), "[COMMUNICATION]\r\nCommPort=" + program->Folder() +
                                                 "no-such-port\r\n[SETTINGS]\r\nFilePath=" +
                                                 program->Folder() + "elsewhere/\r\n");
    const std::string dataHome = program->Folder() + "xdg";
    program->AddEnvironment("XDG_DATA_HOME=" + dataHome);
    program->AddArgument("--settings");
    program->AddArgument(stationOne);
    ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
    ASSERT_TRUE(program->Line().Write(Scan("4711")));
    const std::string stationFolder = dataHome + "/Orvane/station-one";
    std::string records;
    test::WaitUntil([&] {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(stationFolder, error)) {
            records = test::ReadFile(entry.path().string());
        }
        return records.find("4711") != std::string::npos;
    });
    EXPECT_NE(records.find("4711"), std::string::npos) << program->Log();
    EXPECT_FALSE(fs::exists(program->Folder() + "elsewhere"));
}

}  // namespace
}  // namespace brisolant::e2e
