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
        m_program = PrepareProgram({}, whyNot);
        if (!m_program) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(m_program->StartAndWaitForPort()) << m_program->Log();
    }

    void Send(const std::string& bytes) {
        ASSERT_TRUE(m_program->Line().Write(bytes)) << "the line took nothing for too long";
    }

    std::unique_ptr<ProgramUnderTest> m_program;
};

}  // namespace brisolant::e2e
