// The data folder stops answering, as a share whose server is lost does: the line is served all
// the same, the scans behind the hung write are kept in the journal, and once the folder answers
// again (or the program is killed meanwhile and started again) each is in the file once.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StalledFolder.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WaitUntil;
using test::WriteFile;

class StalledFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string whyNot = folder_.Mounted(); !whyNot.empty()) {
            GTEST_SKIP() << whyNot;
        }
        std::string whyNot;
        program_ = PrepareProgram({{"FilePath", folder_.Mount() + "/"}}, whyNot);
        if (!program_) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    }
    // A program with a call in the hung folder can end only once the folder answers.
    void TearDown() override { folder_.Answer(); }

    void Send(const std::string& bytes) { ASSERT_TRUE(program_->Line().Write(bytes)); }
    void SendParcel(long number) { Send(Scan(ParcelBarcode(number))); }
    // Waits until the line of the parcel is on the disk and synced.
    void SendParcelAndWaitForItsSync(long number) {
        const std::size_t syncs = folder_.Syncs();
        SendParcel(number);
        ASSERT_TRUE(WaitUntil([&] { return folder_.Syncs() > syncs; })) << program_->Log();
    }
    bool WaitForBackingLines(std::size_t count) {
        return WaitUntil([&] { return folder_.Lines().size() >= count; });
    }
    // Waits until the journal on the local disk keeps the parcel.
    bool Kept(long number) {
        return WaitUntil([&] {
            return ReadFile(program_->Folder() + "Orvane.journal").find(ParcelBarcode(number)) !=
                   std::string::npos;
        });
    }
    void ExpectParcelsOnceInOrder(std::size_t count) {
        const std::vector<std::string> lines = folder_.Lines();
        ASSERT_EQ(lines.size(), count) << program_->Log();
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(BarcodeOf(lines[i]), ParcelBarcode(static_cast<long>(i) + 1)) << lines[i];
        }
    }

    StalledFolder folder_;
    std::unique_ptr<ProgramUnderTest> program_;
};

TEST_F(StalledFolderTest, TheLineIsServedAndTheScansKeptWhileTheFolderHangs) {
    SendParcelAndWaitForItsSync(1);

    folder_.Hang();
    SendParcel(2);
    ASSERT_TRUE(Kept(2)) << program_->Log();
    program_->Line().TakeReplies();
    Send(kShortBlock);
    EXPECT_EQ(program_->WaitForReplies(1), std::string(1, kNak)) << "the line is served";
    SendParcel(3);
    ASSERT_TRUE(Kept(3)) << program_->Log();
    EXPECT_EQ(folder_.Lines().size(), 1u);

    folder_.Answer();
    ASSERT_TRUE(WaitForBackingLines(3)) << program_->Log();
    ExpectParcelsOnceInOrder(3);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(program_->Folder() + "Orvane.journal").empty(); }));
}

// The write of parcel 2 reaches the disk but its sync hangs; the program is killed meanwhile.
// The journal holds where that write began, so the next start finds it there and writes it no
// second time, and writes parcel 3, which never left the journal.
TEST_F(StalledFolderTest, AProgramKilledWhileTheFolderHangsWritesEachScanOnceAtItsNextStart) {
    SendParcelAndWaitForItsSync(1);

    folder_.Hang("fsync");
    SendParcel(2);
    ASSERT_TRUE(WaitForBackingLines(2)) << "the write went through, its sync hangs";
    ASSERT_TRUE(Kept(2)) << program_->Log();
    SendParcel(3);
    ASSERT_TRUE(Kept(3)) << program_->Log();
    // Killed, the program ends only when its hung sync returns.
    ::kill(program_->Pid(), SIGKILL);
    folder_.Answer();
    program_->Kill();

    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcel(4);
    ASSERT_TRUE(WaitForBackingLines(4)) << program_->Log();
    ExpectParcelsOnceInOrder(4);
}

// View > Data switched on while the folder hangs, off, and on again: the window's thread never
// waits for the data file, so each command returns and the line is served meanwhile; once the
// folder answers, the scans kept meanwhile are written once, in order.
TEST_F(StalledFolderTest, TheDataViewSwitchedOnWhileTheFolderHangsLeavesTheLineServed) {
    // The program again, with a library that switches the view as a click would, on SIGUSR1.
    program_->Stop();
    const char* asan = std::getenv("ASAN_OPTIONS");
    program_->AddEnvironment("LD_PRELOAD=" TOGGLE_DATA_VIEW_LIBRARY);
    // The library comes ahead of the sanitizer's runtime, which AddressSanitizer must allow.
    program_->AddEnvironment(std::string("ASAN_OPTIONS=") + (asan ? asan : "detect_leaks=0") +
                             ":verify_asan_link_order=0");
    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    SendParcelAndWaitForItsSync(1);  // the Data menu can be used from now on

    folder_.Hang();
    const auto toggled = [&](std::size_t times) {
        ::kill(program_->Pid(), SIGUSR1);
        return WaitUntil([&] {
            const std::string log = program_->Log();
            std::size_t count = 0;
            for (std::size_t at = log.find("View > Data toggled"); at != std::string::npos;
                 at = log.find("View > Data toggled", at + 1)) {
                ++count;
            }
            return count >= times;
        });
    };
    const auto nakAnswers = [&] {
        const std::size_t before = program_->RepliesSoFar().size();
        Send(kShortBlock);
        return program_->WaitForReplies(before + 1).substr(before) == std::string(1, kNak);
    };
    ASSERT_TRUE(toggled(1)) << "switching the view on waits for the folder\n" << program_->Log();
    EXPECT_TRUE(nakAnswers()) << "the line is served";
    SendParcel(2);
    ASSERT_TRUE(Kept(2)) << program_->Log();
    ASSERT_TRUE(toggled(2)) << program_->Log();
    ASSERT_TRUE(toggled(3)) << program_->Log();
    EXPECT_TRUE(nakAnswers()) << "the line is served";
    SendParcel(3);
    ASSERT_TRUE(Kept(3)) << program_->Log();

    folder_.Answer();
    ASSERT_TRUE(WaitForBackingLines(3)) << program_->Log();
    ExpectParcelsOnceInOrder(3);
}

}  // namespace
}  // namespace brisolant::e2e
