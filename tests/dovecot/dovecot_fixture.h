#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "dovecot_server.h"

// One Dovecot per test suite, stopped after the suite whatever its tests did. Each test
// seeds the mailbox it needs.
class DovecotTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_startError.clear();
        s_server = std::make_unique<DovecotServer>();
        if (!s_server->Start()) {
            s_startError = s_server->Error();
        }
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override { ASSERT_TRUE(s_startError.empty()) << s_startError; }

    // Seeds and returns what was seeded, read back from the files.
    std::vector<SeededMessage> Seed(int count, const std::vector<int>& sizes = {}) {
        EXPECT_TRUE(s_server->Seed(count, sizes)) << s_server->Error();
        std::vector<SeededMessage> seeded = ReadSeeded(*s_server);
        EXPECT_EQ(static_cast<int>(seeded.size()), count);
        return seeded;
    }

    static DovecotServer& Server() { return *s_server; }

private:
    static inline std::unique_ptr<DovecotServer> s_server;
    static inline std::string s_startError;
};
