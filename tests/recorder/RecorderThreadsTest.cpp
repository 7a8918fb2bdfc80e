#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "recorder/Recorder.h"
#include "store/ThreadedRecordWriter.h"
#include "support/FakeFiles.h"
#include "support/FakeWindow.h"
#include "support/FileHold.h"
#include "support/RecorderFakes.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

using test::FakeFileLayer;
using test::Hold;
using test::ReadFile;
using test::TempDir;
using test::WaitUntil;
using test::WriteFile;

class FlagWakeup : public WriterWakeup {
  public:
    void NewsWaiting() override { news = true; }
    std::atomic<bool> news = false;
};

// The recorder with the program's own writer, on threads, over a data folder that can stop
// answering. The test's thread is the window's: it runs the handler and takes the writer's news.
class RecorderThreadsTest : public ::testing::Test, protected test::RecorderFakes {
  protected:
    RecorderThreadsTest() {
        WriteFile(program.file("Orvane.ini"),
                  "[COMMUNICATION]\r\nCommPort=/dev/pts/7\r\n[SETTINGS]\r\nFilePath=" +
                      data.folder() + "\r\n");
    }
    ~RecorderThreadsTest() override {
        hold.Release();
        recorder.Stop(std::chrono::seconds(10));
    }

    void Receive(const std::string& text) {
        port.Arrive(text);
        recorder.Comm_OnComm();
    }
    // Takes the writer's news, as the window does when it is told of it, until the counter
    // shows the count.
    bool CounterReaches(const std::string& count) {
        return WaitUntil([&] {
            if (wakeup.news.exchange(false)) {
                recorder.TakeWriterNews();
            }
            return view.counter == count;
        });
    }

    TempDir program;
    TempDir data;
    FakeFileLayer files;
    Hold hold;
    FlagWakeup wakeup;
    ThreadedRecordWriter writer{files, clock, wakeup};
    Recorder recorder{Services(writer, ProgramFolderPlace(program.path().string()))};
};

// While the data folder does not answer, the line is served as ever: the next scan is framed
// and shown, a short block gets its NAK, and nothing counts; once the folder answers, both
// scans are in the file, in order, once each, each with the time it arrived.
TEST_F(RecorderThreadsTest, TheLineIsServedWhileAWriteHangs) {
    hold.At(files, "sync LOG-241.txt");
    recorder.Start();
    Receive("\x02" + CommHandler::TestScanText());
    ASSERT_TRUE(hold.WaitHeld());

    std::string second = CommHandler::TestScanText();
    second.replace(second.find("1234567890"), 10, "second one");
    clock.now.second = 9;
    Receive("\x02" + second);
    EXPECT_TRUE(view.data[0].starts_with("second one"));
    Receive("\x02short\r\n\r\n");
    EXPECT_EQ(port.sent, "\x15") << "the short block gets its NAK";
    EXPECT_EQ(view.counter, "0") << "nothing counts before its sync";

    hold.Release();
    ASSERT_TRUE(CounterReaches("2"));
    const std::string text = ReadFile(data.file("LOG-241.txt"));
    ASSERT_EQ(text.size(), 2 * 141u) << text;
    EXPECT_EQ(text.substr(11, 8), "14:03:07");
    EXPECT_EQ(text.substr(104, 10), "1234567890");
    EXPECT_EQ(text.substr(141 + 11, 8), "14:03:09");
    EXPECT_EQ(text.substr(141 + 104, 10), "second one");
    EXPECT_EQ(view.panels[2], "File: " + data.folder() + "LOG-241.txt");
}

}  // namespace
}  // namespace brisolant
