#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/ProgramUnderTest.h"

namespace brisolant::e2e {

// A test whose program is already running on the test's own line; skipped where the system
// gives no pseudo-terminal. Base is ::testing::Test or a ::testing::TestWithParam.
template <typename Base = ::testing::Test>
class StartedProgramTest : public Base {
  protected:
    void SetUp() override {
        std::string whyNot;
        program_ = PrepareProgram({}, whyNot);
        if (!program_) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    }

    void Send(const std::string& bytes) {
        ASSERT_TRUE(program_->Line().Write(bytes)) << "the line took nothing for too long";
    }

    std::unique_ptr<ProgramUnderTest> program_;
};

}  // namespace brisolant::e2e
