// PostgreSQL's client library is loaded when a database is first named; a PC without it, or
// with a library that is not libpq, gets a reason that says what to install.

#include "store/pg/LibPq.h"

#include <gtest/gtest.h>

#include <string>

namespace brisolant::test {
namespace {

TEST(LibPqTest, TheInstalledLibraryGivesEveryCall) {
    std::string why;
    const LibPq* pq = InstalledLibPq(why);
    ASSERT_NE(pq, nullptr) << why;
    EXPECT_NE(pq->PQconsumeInput, nullptr);
    EXPECT_EQ(pq, InstalledLibPq(why)) << "loaded once";
}

TEST(LibPqTest, ALibraryThatCannotBeHadIsNamedWithWhatToInstall) {
    std::string why;
    EXPECT_FALSE(LoadLibPq("libpq-not-installed.so.5", why));
    EXPECT_NE(why.find("PostgreSQL's client library cannot be loaded (install libpq5): "),
              std::string::npos)
        << why;
    EXPECT_NE(why.find("libpq-not-installed.so.5"), std::string::npos) << why;

    EXPECT_FALSE(LoadLibPq("libc.so.6", why));
    EXPECT_EQ(why, "libc.so.6 lacks PQconnectdbParams");
}

}  // namespace
}  // namespace brisolant::test
