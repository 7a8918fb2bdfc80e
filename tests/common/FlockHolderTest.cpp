#include "common/FlockHolder.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

namespace brisolant {
namespace {

TEST(FlockHolderTest, TheHolderIsTheProcessWhoseFlockNamesTheFile) {
    const dev_t device = makedev(0x1f, 0x1a2);  // /proc/locks writes both in hex
    const ino_t inode = 4711;
    struct Case {
        const char* locks;
        std::optional<pid_t> holder;
    };
    const Case cases[] = {
        {"1: FLOCK  ADVISORY  WRITE 4242 1f:1a2:4711 0 EOF\n", 4242},
        {"1: POSIX  ADVISORY  WRITE 17 1f:1a2:4711 0 EOF\n"
         "2: FLOCK  ADVISORY  WRITE 18 1f:1a2:4712 0 EOF\n"
         "3: FLOCK  ADVISORY  WRITE 19 1f:1a3:4711 0 EOF\n"
         "4: FLOCK  ADVISORY  WRITE 20 31:1a2:4711 0 EOF\n"
         "5: OFDLCK ADVISORY  WRITE -1 1f:1a2:4711 0 EOF\n",
         std::nullopt},
        // A process waiting for the lock holds nothing; the holder's line comes first.
        {"7: FLOCK  ADVISORY  WRITE 4242 1f:1a2:4711 0 EOF\n"
         "7: -> FLOCK  ADVISORY  WRITE 5353 1f:1a2:4711 0 EOF\n",
         4242},
        {"7: -> FLOCK  ADVISORY  WRITE 5353 1f:1a2:4711 0 EOF", std::nullopt},
        // A holder in another process namespace shows no id of its own.
        {"1: FLOCK  ADVISORY  WRITE -1 1f:1a2:4711 0 EOF", 0},
        {"", std::nullopt},
        {"garbage\n1: FLOCK\n\n1: FLOCK ADVISORY WRITE 12 1f:1a2 0 EOF\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locks);
        EXPECT_EQ(FlockHolderIn(c.locks, device, inode), c.holder);
    }
}

}  // namespace
}  // namespace brisolant
