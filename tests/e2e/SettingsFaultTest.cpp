// Settings files no settings program would write: the program starts, and with a file that
// still names the test's line it records scans.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

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
         const std::string junk = test::AllBytesButLineEnds();
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

// Sees a path being closed after reading, as the kernel reports it: for the test, the sign that
// the program has opened its settings file, read what it could and let it go.
class CloseAfterReading {
  public:
    explicit CloseAfterReading(const std::string& path)
        : watch_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        watching_ = watch_ >= 0 && inotify_add_watch(watch_, path.c_str(), IN_CLOSE_NOWRITE) >= 0;
    }
    ~CloseAfterReading() {
        if (watch_ >= 0) {
            close(watch_);
        }
    }
    CloseAfterReading(const CloseAfterReading&) = delete;
    CloseAfterReading& operator=(const CloseAfterReading&) = delete;

    bool Watching() const { return watching_; }
    // Whether the path has been closed since the watch began.
    bool Seen() {
        alignas(inotify_event) char events[4096];
        while (read(watch_, events, sizeof events) > 0) {
            seen_ = true;
        }
        return seen_;
    }

  private:
    int watch_;
    bool watching_ = false;
    bool seen_ = false;
};

void PrintTo(const SettingsFault& fault, std::ostream* out) {
    *out << fault.name;
}

class SettingsFileFaultTest : public ::testing::TestWithParam<SettingsFault> {};

TEST_P(SettingsFileFaultTest, TheProgramStartsAndKeepsRunning) {
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
    // It has read what it could once it lets the file go; it then waits for the operator to read
    // what it could not use, which only an in-process test can see. Here it must get that far,
    // neither hanging on the file nor ending.
    CloseAfterReading closed(program.SettingsFile());
    ASSERT_TRUE(closed.Watching()) << program.SettingsFile();
    ASSERT_TRUE(program.Start()) << program.Log();
    ASSERT_TRUE(test::WaitUntil([&] { return closed.Seen() || !program.IsRunning(); }))
        << "the program never let its settings file go";
    EXPECT_TRUE(program.IsRunning()) << program.Log();
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFileFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace brisolant::e2e
