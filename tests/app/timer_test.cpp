// Frame clock: start, freeze and resume, tenth-of-a-second steps, reset and the
// elapsed reading, driven by a fake performance counter.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/timer.h"
#include "win32_testing.h"

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        LARGE_INTEGER frequency;
        frequency.QuadPart = 0;
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond_ = frequency.QuadPart;
        ASSERT_GT(ticksPerSecond_, 0);
        // Start far from zero so that no counter value of the test is 0.
        counter_ = 1000 * ticksPerSecond_;
        WinapiTest_SetFakeCounter(true, counter_);
        InitTimer();
    }
    void TearDown() override { WinapiTest_SetFakeCounter(false, 0); }

    void Advance(double seconds) {
        counter_ += (LONGLONG)(seconds * (double)ticksPerSecond_);
        WinapiTest_SetFakeCounter(true, counter_);
    }
    // One counter tick, in seconds: the resolution of every reading.
    double Tick() const { return 1.0 / (double)ticksPerSecond_; }

    LONGLONG ticksPerSecond_ = 0;
    LONGLONG counter_ = 0;
};

TEST_F(TimerTest, StartsFromZeroAndFollowsTheCounter) {
    EXPECT_TRUE(IsTimerStopped());
    StartTimer();
    EXPECT_FALSE(IsTimerStopped());
    EXPECT_DOUBLE_EQ(GetTimerSeconds(), 0.0);
    Advance(1.5);
    EXPECT_NEAR(GetTimerSeconds(), 1.5, 2 * Tick());
    Advance(0.25);
    EXPECT_NEAR(GetTimerSeconds(), 1.75, 2 * Tick());
}

TEST_F(TimerTest, FrozenClockHoldsAndResumesFromTheFrozenValue) {
    StartTimer();
    Advance(2.0);
    StopTimer();
    EXPECT_TRUE(IsTimerStopped());
    EXPECT_NEAR(GetTimerSeconds(), 2.0, 2 * Tick());

    Advance(10.0);
    EXPECT_NEAR(GetTimerSeconds(), 2.0, 2 * Tick());
    // Stopping a frozen clock again changes nothing.
    StopTimer();
    Advance(5.0);
    EXPECT_NEAR(GetTimerSeconds(), 2.0, 2 * Tick());

    StartTimer();
    EXPECT_FALSE(IsTimerStopped());
    EXPECT_NEAR(GetTimerSeconds(), 2.0, 2 * Tick());
    Advance(1.0);
    EXPECT_NEAR(GetTimerSeconds(), 3.0, 2 * Tick());

    // Starting a running clock leaves the time as it is.
    StartTimer();
    EXPECT_NEAR(GetTimerSeconds(), 3.0, 2 * Tick());
    Advance(0.5);
    EXPECT_NEAR(GetTimerSeconds(), 3.5, 2 * Tick());
}

TEST_F(TimerTest, ThreeStepsOnAFrozenClockAddThreeTenths) {
    StartTimer();
    Advance(4.0);
    StopTimer();
    double frozen = GetTimerSeconds();
    StepTimer();
    StepTimer();
    StepTimer();
    EXPECT_NEAR(GetTimerSeconds() - frozen, 0.3, 4 * Tick());
    EXPECT_TRUE(IsTimerStopped());
    // The stepped value is still frozen, and the clock resumes from it.
    Advance(3.0);
    EXPECT_NEAR(GetTimerSeconds() - frozen, 0.3, 4 * Tick());
    StartTimer();
    Advance(1.0);
    EXPECT_NEAR(GetTimerSeconds() - frozen, 1.3, 4 * Tick());
}

TEST_F(TimerTest, StepOnARunningClockIsIgnored) {
    StartTimer();
    Advance(1.0);
    StepTimer();
    EXPECT_FALSE(IsTimerStopped());
    EXPECT_NEAR(GetTimerSeconds(), 1.0, 2 * Tick());
    Advance(1.0);
    EXPECT_NEAR(GetTimerSeconds(), 2.0, 2 * Tick());
}

TEST_F(TimerTest, ResetOnAFrozenClockCountsFromTheFreeze) {
    StartTimer();
    Advance(7.0);
    StopTimer();
    Advance(4.0);
    ResetTimer();
    EXPECT_FALSE(IsTimerStopped());
    EXPECT_NEAR(GetTimerSeconds(), 4.0, 2 * Tick());
    Advance(1.0);
    EXPECT_NEAR(GetTimerSeconds(), 5.0, 2 * Tick());
}

TEST_F(TimerTest, ResetOnARunningClockRestartsFromZero) {
    StartTimer();
    Advance(7.0);
    ResetTimer();
    EXPECT_NEAR(GetTimerSeconds(), 0.0, 2 * Tick());
    Advance(0.5);
    EXPECT_NEAR(GetTimerSeconds(), 0.5, 2 * Tick());
}

TEST_F(TimerTest, ElapsedMeasuresBetweenReadingsAndIsNeverNegative) {
    StartTimer();
    Advance(0.25);
    EXPECT_NEAR(GetTimerElapsed(), 0.25f, 1e-5f);
    EXPECT_FLOAT_EQ(GetTimerElapsed(), 0.0f);

    // A counter that goes backwards gives 0, not a negative span.
    Advance(-3.0);
    EXPECT_EQ(GetTimerElapsed(), 0.0f);
    Advance(0.5);
    EXPECT_NEAR(GetTimerElapsed(), 0.5f, 1e-5f);

    // A frozen clock has no elapsed time.
    StopTimer();
    Advance(2.0);
    EXPECT_EQ(GetTimerElapsed(), 0.0f);
}

TEST_F(TimerTest, CounterSecondsIgnoreFreezingAndBase) {
    StartTimer();
    Advance(2.0);
    StopTimer();
    Advance(3.0);
    EXPECT_NEAR(GetCounterSeconds(), 1005.0, 2 * Tick());
}

}  // namespace
