#include "window/DataFileReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "support/TestSupport.h"
#include "support/Waiting.h"
#include "window/DropMark.h"
#include "window/RecordLines.h"

namespace brisolant {
namespace {

using test::WaitUntil;

class ThreadedDataFileReaderTest : public testing::Test {
  protected:
    std::atomic<int> wakes{0};
    test::TempDir dir;
};

TEST_F(ThreadedDataFileReaderTest, AnswersEachReadWithItsTicketAndWakesTheWindow) {
    std::string content;
    for (int i = 0; i < 300; ++i) {
        content += "line " + std::to_string(i) + "\r\n";
    }
    test::WriteFile(dir.file("LOG-241.txt"), content);
    ThreadedDataFileReader reader([this] { ++wakes; });

    reader.Read(7, dir.file("LOG-241.txt"));
    ASSERT_TRUE(WaitUntil([&] { return wakes == 1; }));
    reader.Read(8, dir.file("LOG-999.txt"));
    ASSERT_TRUE(WaitUntil([&] { return wakes == 2; }));
    std::vector<DataFileAnswer> answers = reader.TakeAnswers();

    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].ticket, 7u);
    EXPECT_FALSE(answers[0].failure);
    EXPECT_EQ(answers[0].lines.file->size(), 300u);
    ASSERT_EQ(answers[0].lines.newest.size(), 2u) << "the newest blocks come with the index";
    EXPECT_EQ(answers[0].lines.newest[1].rows.back(), "line 299");
    EXPECT_EQ(answers[1].ticket, 8u);
    ASSERT_TRUE(answers[1].failure);
    EXPECT_EQ(answers[1].failure->code(), FailureCode::DataFileRead);
    EXPECT_NE(answers[1].failure->description().find("LOG-999.txt"), std::string::npos);
    EXPECT_TRUE(reader.TakeAnswers().empty());
}

// A read that hangs, as in a share that stopped answering, holds neither the caller nor the
// reader's end; when it returns after the reader is gone, its answer is dropped and nobody is
// woken.
TEST_F(ThreadedDataFileReaderTest, AReadThatHangsHoldsNobodyAndAnswersNobodyOnceTheReaderIsGone) {
    std::promise<void> gate;
    const std::shared_future<void> opened = gate.get_future().share();
    std::atomic<bool> dropped{false};
    auto reader = std::make_unique<ThreadedDataFileReader>(
        [this] { ++wakes; },
        [opened, &dropped](const std::string& path) {
            opened.wait();
            return test::DropMark::Marked(ReadDataFileLines(path, RecordLines::kMaxShownBytes),
                                          dropped);
        });
    test::WriteFile(dir.file("LOG-241.txt"), "one\r\n");

    reader->Read(1, dir.file("LOG-241.txt"));
    EXPECT_TRUE(reader->TakeAnswers().empty());
    reader.reset();
    gate.set_value();

    EXPECT_TRUE(WaitUntil([&] { return dropped.load(); }));
    EXPECT_EQ(wakes, 0);
}

}  // namespace
}  // namespace brisolant
