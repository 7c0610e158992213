// When a failed check is tried again instead of being reported.
#include "mainwnd/check_retry_policy.h"

#include <gtest/gtest.h>

TEST(CheckRetryPolicy, APassingFaultGetsOneRetryAndAfterWakingEveryFaultUntilTheGraceEnds) {
    CheckRetryPolicy policy;
    // Without a wake-up: one retry per fault, a refusal never.
    EXPECT_FALSE(policy.ShouldRetry(false, 0));
    EXPECT_TRUE(policy.ShouldRetry(true, 0));
    EXPECT_FALSE(policy.ShouldRetry(true, 0)) << "a second fault in a row is reported";
    policy.Reset();
    EXPECT_TRUE(policy.ShouldRetry(true, 0)) << "a success gives the next fault its retry";
    policy.Reset();

    // Within the two minutes after waking, every fault is retried; a refusal still is not.
    policy.Resumed(1000);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(policy.ShouldRetry(true, 1000 + 30000 * i));
    EXPECT_FALSE(policy.ShouldRetry(false, 2000));
    EXPECT_EQ(4, policy.RetriesInGrace());

    // After the grace time, a fault has its one retry again, as before the wake-up.
    EXPECT_TRUE(policy.ShouldRetry(true, 1000 + 120000));
    EXPECT_FALSE(policy.ShouldRetry(true, 1000 + 150000));
}
