#pragma once

#include <gtest/gtest.h>

#include "db/PgTestServer.h"

namespace brisolant::test {

// One throwaway server for a test suite (starting one takes a second or two), started again if a
// test stopped it and given an empty scan_records before each test; the tests skip with the
// reason where no server can be had.
class PgSuiteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { server = new PgTestServer(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server->unavailable().empty()) {
            GTEST_SKIP() << server->unavailable();
        }
        server->Start();
        server->Query("DROP TABLE IF EXISTS scan_records");
    }

    static inline PgTestServer* server = nullptr;
};

}  // namespace brisolant::test
