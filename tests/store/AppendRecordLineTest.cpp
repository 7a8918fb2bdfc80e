#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "store/DataFileAppender.h"
#include "support/FailureOf.h"
#include "support/FakeFiles.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::FakeFileLayer;
using test::ReadFile;
using test::TempDir;

// One record line as the appender writes it, alone in its task: appended with CR LF to folder +
// fileName, creating the file (never the folder), and on the disk (a new file's folder entry
// too) before it returns. Throws the task's failure (DataFileBadName, DataFileOpen,
// DataFileNotRegular, DataFileWrite).
void AppendRecordLine(const std::string& folder, const std::string& fileName, std::string_view line,
                      FileLayer& files = PosixFiles()) {
    AppendTask task;
    task.folder = folder;
    task.fileName = fileName;
    task.items.push_back({std::string(line) + "\r\n", std::nullopt});
    const AppendOutcome outcome =
        RunAppendTask(task, files, [](std::size_t, std::uint64_t) { return true; });
    if (outcome.failure) {
        throw *outcome.failure;
    }
}

std::optional<FailureCode> AppendFailure(const std::string& folder, const std::string& fileName) {
    return test::FailureCodeOf([&] { AppendRecordLine(folder, fileName, "line"); });
}

TEST(AppendRecordLineTest, CreatesTheFileThenAppendsBytesUnchanged) {
    TempDir dir;
    AppendRecordLine(dir.folder(), "LOG-241.txt", "first");
    AppendRecordLine(dir.folder(), "LOG-241.txt", "second \xe9\xff");
    EXPECT_EQ(ReadFile(dir.file("LOG-241.txt")), "first\r\nsecond \xe9\xff\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("LOG-241.txt").c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644u & ~mask);
}

TEST(AppendRecordLineTest, BadFileNameFailsWithoutTouchingTheDisk) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    for (const std::string& name :
         {std::string(), std::string("sub/LOG.txt"), std::string("../LOG.txt"),
          std::string("LOG\0.txt", 8), std::string("/")}) {
        EXPECT_EQ(AppendFailure(dir.folder(), name), FailureCode::DataFileBadName) << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "sub"));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "LOG.txt"));
}

TEST(AppendRecordLineTest, OpenFailureNamesPathAndReason) {
    TempDir dir;
    const auto failure =
        test::FailureOf([&] { AppendRecordLine(dir.folder() + "missing/", "LOG.txt", "line"); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->code(), FailureCode::DataFileOpen);
    EXPECT_EQ(failure->description(), "Cannot open the data file: " + dir.folder() +
                                          "missing/LOG.txt: No such file or directory");
    std::filesystem::create_directory(dir.path() / "LOG-241.txt");
    EXPECT_EQ(AppendFailure(dir.folder(), "LOG-241.txt"), FailureCode::DataFileOpen);
}

TEST(AppendRecordLineTest, FolderHoldingNulCannotNameAnotherFile) {
    TempDir dir;
    const std::string folder = dir.folder() + "elsewhere" + std::string(1, '\0') + "/";
    EXPECT_EQ(AppendFailure(folder, "LOG.txt"), FailureCode::DataFileBadName);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "elsewhere"));
}

TEST(AppendRecordLineTest, FifoWithoutReaderFailsInsteadOfWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("LOG-241.txt").c_str(), 0644), 0);
    EXPECT_EQ(AppendFailure(dir.folder(), "LOG-241.txt"), FailureCode::DataFileOpen);
}

// The system refuses to open the file for writing: no permission.
TEST(AppendRecordLineTest, ReadOnlyFileFailsToOpen) {
    TempDir dir;
    test::WriteFile(dir.file("LOG.txt"), "kept\r\n");
    FakeFileLayer files;
    files.failures["open LOG.txt"] = EACCES;
    const auto failure =
        test::FailureOf([&] { AppendRecordLine(dir.folder(), "LOG.txt", "line", files); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->code(), FailureCode::DataFileOpen);
    EXPECT_EQ(failure->description(),
              "Cannot open the data file: " + dir.file("LOG.txt") + ": Permission denied");
    EXPECT_EQ(ReadFile(dir.file("LOG.txt")), "kept\r\n");
}

// A device takes the line without storing it (/dev/null) or fails it (/dev/full): either way
// it is no data file, and the scan must not be counted as recorded.
TEST(AppendRecordLineTest, DeviceInTheFilesPlaceIsRefused) {
    for (const char* device : {"null", "full"}) {
        TempDir dir;
        std::filesystem::create_symlink(std::string("/dev/") + device, dir.file("LOG.txt"));
        const auto failure =
            test::FailureOf([&] { AppendRecordLine(dir.folder(), "LOG.txt", "line"); });
        ASSERT_TRUE(failure) << "no failure with " << device;
        EXPECT_EQ(failure->code(), FailureCode::DataFileNotRegular) << device;
        EXPECT_EQ(failure->description(), "The data file is not a regular file: " +
                                              dir.file("LOG.txt") + ": a character device");
    }
}

// The file-size limit stops the write in the middle of the line; the half line must go again,
// or the next scan's line would be glued to it. Run in a child so the limit stays there.
TEST(AppendRecordLineTest, WriteCutShortLeavesNoPartialLine) {
    TempDir dir;
    const std::string path = dir.file("LOG.txt");
    const std::string before = "kept line\r\n";
    test::WriteFile(path, before);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size() + 20, before.size() + 20};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(2);
        }
        try {
            AppendRecordLine(dir.folder(), "LOG.txt", std::string(139, 'x'));
        } catch (const Failure& failure) {
            ::_exit(failure.code() == FailureCode::DataFileWrite ? 0 : 3);
        }
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(path), before);
    // The file was released: the next scan appends as usual.
    AppendRecordLine(dir.folder(), "LOG.txt", "next");
    EXPECT_EQ(ReadFile(path), before + "next\r\n");
}

// The scan counts only after its line is on the disk: the sync comes after the whole line and
// before the file is let go. A file made for the line lasts a power cut only once its folder's
// entry is on the disk too.
TEST(AppendRecordLineTest, LineIsSyncedBeforeTheFileIsClosed) {
    TempDir dir;
    FakeFileLayer files;
    AppendRecordLine(dir.folder(), "LOG.txt", "line", files);
    const std::string folder = dir.path().filename().string();
    EXPECT_EQ(files.steps,
              (std::vector<std::string>{"open LOG.txt", "stat LOG.txt", "write LOG.txt",
                                        "sync LOG.txt", "syncfolder " + folder, "close LOG.txt"}));
    files.steps.clear();
    AppendRecordLine(dir.folder(), "LOG.txt", "line", files);
    EXPECT_EQ(files.steps,
              (std::vector<std::string>{"open LOG.txt", "stat LOG.txt", "write LOG.txt",
                                        "sync LOG.txt", "close LOG.txt"}));
}

// Whatever step fails, the file is left as it was and released, so that the scan can be written
// again later without a second copy.
TEST(AppendRecordLineTest, FailedStepLeavesTheFileAsItWas) {
    struct Case {
        const char* step;
        int error;
        FailureCode code;
    };
    const Case cases[] = {
        {"open LOG.txt", ENOENT, FailureCode::DataFileOpen},
        {"write LOG.txt", ENOSPC, FailureCode::DataFileWrite},
        {"sync LOG.txt", EIO, FailureCode::DataFileWrite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        TempDir dir;
        test::WriteFile(dir.file("LOG.txt"), "kept\r\n");
        FakeFileLayer files;
        files.failures[c.step] = c.error;
        EXPECT_EQ(
            test::FailureCodeOf([&] { AppendRecordLine(dir.folder(), "LOG.txt", "line", files); }),
            c.code);
        EXPECT_EQ(ReadFile(dir.file("LOG.txt")), "kept\r\n");
        const bool opened = files.steps.size() > 1;
        EXPECT_EQ(opened, files.steps.back() == "close LOG.txt");
    }
}

// After a successful sync the line is on the disk: a failing close must not report it lost, or
// it would be written a second time.
TEST(AppendRecordLineTest, CloseFailureAfterTheSyncCountsTheLine) {
    TempDir dir;
    FakeFileLayer files;
    files.failures["close LOG.txt"] = EIO;
    AppendRecordLine(dir.folder(), "LOG.txt", "line", files);
    EXPECT_EQ(ReadFile(dir.file("LOG.txt")), "line\r\n");
}

}  // namespace
}  // namespace brisolant
