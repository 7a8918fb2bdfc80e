// Settings files no settings program would write: the program starts, and with a file that
// still names the test's line it records scans.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

// Every byte value but CR and LF, on one line.
std::string AllBytesOneLine() {
    std::string bytes;
    for (int code = 0; code < 256; ++code) {
        if (code != '\r' && code != '\n') {
            bytes += static_cast<char>(code);
        }
    }
    return bytes;
}

// The settings as the test writes them, with something put before, inside and after.
std::string Surrounded(const std::string& settings, const std::string& extra) {
    const std::size_t second = settings.find("[SETTINGS]");
    return extra + "\r\n" + settings.substr(0, second) + extra + "\r\n" + settings.substr(second) +
           extra + "\r\n";
}

struct SettingsFault {
    const char* name;
    std::function<void(const std::string& path)> make;
    bool namesTheLine;  // the test's line is still the port it names
};

const SettingsFault kFaults[] = {
    {"BinaryBytes",
     [](const std::string& path) {
         const std::string junk = AllBytesOneLine();
         test::WriteFile(path, Surrounded(test::ReadFile(path), junk + "\r\nFlowControl=" + junk +
                                                                    "\r\nUnknown=" + junk));
     },
     true},
    {"LinesOf100000Characters",
     [](const std::string& path) {
         const std::string line(100000, 'x');
         test::WriteFile(path, Surrounded(test::ReadFile(path),
                                          line + "\r\n[" + line + "]\r\nUnknown=" + line));
     },
     true},
    {"FolderInPlaceOfTheFile",
     [](const std::string& path) {
         fs::remove(path);
         fs::create_directory(path);
     },
     false},
    // Root reads every file; a FIFO that nobody writes is one it cannot read, and must not
    // wait on.
    {"FifoInPlaceOfTheFile",
     [](const std::string& path) {
         fs::remove(path);
         ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
     },
     false},
};

void PrintTo(const SettingsFault& fault, std::ostream* out) {
    *out << fault.name;
}

class SettingsFileFault : public ::testing::TestWithParam<SettingsFault> {};

TEST_P(SettingsFileFault, TheProgramStartsAndKeepsRunning) {
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    GetParam().make(program.SettingsFile());

    if (GetParam().namesTheLine) {
        ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
        ASSERT_TRUE(program.Line().Write(Scan(ParcelBarcode(1))));
        const auto lines = program.WaitForLines(1);
        ASSERT_EQ(lines.size(), 1u) << program.Log();
        EXPECT_EQ(BarcodeOf(lines[0]), ParcelBarcode(1));
        EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
        return;
    }
    // It waits for the operator to read what it could not use, which only an in-process test
    // can see; here it must merely not end.
    ASSERT_TRUE(program.Start()) << program.Log();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(program.IsRunning()) << program.Log();
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFileFault, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brisolant::e2e
