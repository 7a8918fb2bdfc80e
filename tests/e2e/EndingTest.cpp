// Logout, shutdown, systemctl stop, kill and a closed terminal end the program with a signal: it
// ends as File > Exit ends it, with exit code 0, and leaves nothing half done.

#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

struct EndingSignal {
    int number;
    const char* name;
};

TEST(EndingTest, EachEndingSignalEndsTheProgramWithExitCodeZero) {
    for (const EndingSignal signal :
         {EndingSignal{SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}}) {
        SCOPED_TRACE(signal.name);
        std::string whyNot;
        const auto program = PrepareProgram({}, whyNot);
        if (!program) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
        ASSERT_TRUE(program->Line().Write(Scan(ParcelBarcode(1))));
        ASSERT_EQ(program->WaitForLines(1).size(), 1u) << program->Log();

        ASSERT_EQ(::kill(program->Pid(), signal.number), 0);
        ASSERT_TRUE(test::WaitUntil([&] { return !program->IsRunning(); })) << program->Log();
        EXPECT_EQ(program->ExitCode(), 0) << program->Log();
        EXPECT_NE(program->Log().find(std::string("ending on ") + signal.name), std::string::npos)
            << program->Log();
    }
}

}  // namespace
}  // namespace brisolant::e2e
