// The main of the test programs that open pseudo-terminals: each run gets terminals,
// serial-port lock files and mounts of its own (see PrivateMounts.h), before GoogleTest or Qt
// starts a thread.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/PrivateMounts.h"

namespace {

// CTest asks for the list of tests before running them; that needs no terminals.
bool ListsTestsOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (!ListsTestsOnly(argc, argv)) {
        const std::string why = brisolant::test::MakeMountsPrivate();
        if (!why.empty()) {
            std::fprintf(stderr, "%s shares the machine's /dev/pts and /run/lock: %s\n", argv[0],
                         why.c_str());
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
