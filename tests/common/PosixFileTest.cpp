#include "common/PosixFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace brisolant {
namespace {

bool IsOpenDescriptor(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(SystemErrorTextTest, NamesThePathAndTheReason) {
    EXPECT_EQ(SystemErrorText("/data/LOG-241.txt", ENOENT),
              "/data/LOG-241.txt: No such file or directory");
}

// A pipe that fills up takes part of the bytes and then refuses: the count says how many went.
TEST(WriteAllTest, ReportsTheErrorAndHowManyBytesWentIntoAFullPipe) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    const FileDescriptor reader(ends[0]);
    const FileDescriptor writer(ends[1]);
    const int capacity = ::fcntl(writer.Get(), F_GETPIPE_SZ);
    ASSERT_GT(capacity, 0);

    const std::string bytes(static_cast<std::size_t>(capacity) + 1000, 'x');
    std::size_t written = 0;
    EXPECT_EQ(WriteAll(writer.Get(), bytes, written), EAGAIN);
    EXPECT_EQ(written, static_cast<std::size_t>(capacity));

    std::string back(bytes.size(), '\0');
    EXPECT_EQ(::read(reader.Get(), back.data(), back.size()), capacity);
    EXPECT_EQ(WriteAll(writer.Get(), "the rest", written), 0);
    EXPECT_EQ(written, 8u);
}

TEST(FileDescriptorTest, ClosesWhatItOwnsOnceWhereverItWasMoved) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    {
        FileDescriptor first(ends[0]);
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first.IsOpen());
        FileDescriptor third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), ends[0]);
        EXPECT_TRUE(IsOpenDescriptor(ends[0]));
    }
    EXPECT_FALSE(IsOpenDescriptor(ends[0]));

    FileDescriptor writer(ends[1]);
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(IsOpenDescriptor(ends[1]));
}

}  // namespace
}  // namespace brisolant
