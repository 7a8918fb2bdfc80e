// The data file's folder and disk misbehaving under the running program: the scan that meets
// the fault waits (no partial line is left) and is written by itself once the fault is cleared,
// ahead of the next scan.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StartedProgramTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

struct Paths {
    fs::path folder;  // the data folder, as FilePath names it
    fs::path file;    // the data file the first scan made
    fs::path aside;   // where the good data file or folder waits while the fault lasts
};

struct DataFault {
    const char* name;
    std::function<void(ProgramUnderTest&, const Paths&)> inject;
    std::function<void(ProgramUnderTest&, const Paths&)> clear;
};

// The good file or folder swaps places with the fault in one step: a retry of the program's
// that came between removing the fault and renaming the good one back would make a new file
// there, which the rename then replaced with the scan's record in it.
void PutBack(const fs::path& aside, const fs::path& place) {
    if (::renameat2(AT_FDCWD, aside.c_str(), AT_FDCWD, place.c_str(), RENAME_EXCHANGE) != 0) {
        FAIL() << "cannot swap " << aside << " with " << place << ": " << std::strerror(errno);
    }
    fs::remove_all(aside);
}

const DataFault kFaults[] = {
    {"FolderMissing", [](ProgramUnderTest&, const Paths& p) { fs::rename(p.folder, p.aside); },
     [](ProgramUnderTest&, const Paths& p) { fs::rename(p.aside, p.folder); }},
    // Root may write anywhere, but not below a regular file.
    {"FolderIsARegularFile",
     [](ProgramUnderTest&, const Paths& p) {
         fs::rename(p.folder, p.aside);
         test::WriteFile(p.folder.string(), "not a folder");
     },
     [](ProgramUnderTest&, const Paths& p) { PutBack(p.aside, p.folder); }},
    {"FileIsAFolder",
     [](ProgramUnderTest&, const Paths& p) {
         fs::rename(p.file, p.aside);
         fs::create_directory(p.file);
     },
     [](ProgramUnderTest&, const Paths& p) { PutBack(p.aside, p.file); }},
    // A device takes the line and keeps nothing: refused, like a folder in the file's place.
    {"FileIsADevice",
     [](ProgramUnderTest&, const Paths& p) {
         fs::rename(p.file, p.aside);
         fs::create_symlink("/dev/null", p.file);
     },
     [](ProgramUnderTest&, const Paths& p) { PutBack(p.aside, p.file); }},
    // The file may grow by 60 bytes only: the line is cut short mid-write and must be taken
    // back, or the next scan's line would be glued to its first half.
    {"FileSizeLimitMidLine",
     [](ProgramUnderTest& program, const Paths& p) {
         ASSERT_TRUE(SetFileSizeLimit(program.Pid(), fs::file_size(p.file) + 60));
     },
     [](ProgramUnderTest& program, const Paths&) {
         ASSERT_TRUE(SetFileSizeLimit(program.Pid(), RLIM_INFINITY));
     }},
};

void PrintTo(const DataFault& fault, std::ostream* out) {
    *out << fault.name;
}

using DataFileFaultTest = StartedProgramTest<::testing::TestWithParam<DataFault>>;

TEST_P(DataFileFaultTest, TheScanAtTheFaultWaitsAndIsWrittenOnceTheFaultIsCleared) {
    ProgramUnderTest& program = *program_;
    Send(Scan(ParcelBarcode(1)));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();
    std::string folder = program.DataFolder();
    folder.pop_back();
    const Paths paths{folder, program.DataFolder() + program.DataFileNames().at(0),
                      folder + ".aside"};

    GetParam().inject(program, paths);
    // Blocks are handled in order, so the NAK for the short block behind the scan says the
    // program is done with the scan.
    Send(Scan(ParcelBarcode(2)));
    Send(kShortBlock);
    ASSERT_EQ(program.WaitForReplies(1), std::string(1, kNak)) << program.Log();
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    GetParam().clear(program, paths);

    // No new scan is needed: the waiting one is tried again by itself.
    auto lines = program.WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u) << program.Log();
    Send(Scan(ParcelBarcode(3)));
    lines = program.WaitForLines(3);
    ASSERT_EQ(lines.size(), 3u) << program.Log();
    EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(BarcodeOf(lines[i]), ParcelBarcode(static_cast<long>(i) + 1));
    }
    EXPECT_EQ(test::ReadFile(paths.file.string()),
              lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Faults, DataFileFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace brisolant::e2e
