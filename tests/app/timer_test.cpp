// Frame clock driven by a fake performance counter: start, freeze and resume,
// tenth-of-a-second steps, reset and the never-negative elapsed reading.
#include <gtest/gtest.h>

#include "app/timer.h"
#include "win32_testing.h"

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        tps_ = f.QuadPart;
        ASSERT_GT(tps_, 0);
        counter_ = 1000 * tps_;  // no counter value of a test is 0
        WinapiTest_SetFakeCounter(true, counter_);
        InitTimer();
    }
    void TearDown() override { WinapiTest_SetFakeCounter(false, 0); }
    void Advance(double s) { WinapiTest_SetFakeCounter(true, counter_ += (LONGLONG)(s * (double)tps_)); }
    void ExpectTime(double s) { EXPECT_NEAR(GetTimerSeconds(), s, 4.0 / (double)tps_); }
    LONGLONG tps_ = 0, counter_ = 0;
};

TEST_F(TimerTest, StartsAtZeroFreezesAndResumesFromTheFrozenValue) {
    EXPECT_TRUE(IsTimerStopped());
    StartTimer();
    ExpectTime(0.0);
    Advance(2.0);
    ExpectTime(2.0);
    StopTimer();
    Advance(10.0);
    StopTimer();  // on a frozen clock: no change
    Advance(5.0);
    ExpectTime(2.0);
    EXPECT_TRUE(IsTimerStopped());
    StartTimer();
    ExpectTime(2.0);
    Advance(1.0);
    StartTimer();  // on a running clock: no change
    ExpectTime(3.0);
    EXPECT_NEAR(GetCounterSeconds(), 1018.0, 1e-6);  // the live counter ignores both
}

TEST_F(TimerTest, StepsMoveOnlyAFrozenClock) {
    StartTimer();
    Advance(4.0);
    StepTimer();  // running: ignored
    ExpectTime(4.0);
    EXPECT_FALSE(IsTimerStopped());
    StopTimer();
    StepTimer();
    StepTimer();
    StepTimer();
    ExpectTime(4.3);
    StartTimer();
    Advance(1.0);
    ExpectTime(5.3);
}

TEST_F(TimerTest, ResetTakesTheFrozenValueAsZeroAndRuns) {
    StartTimer();
    Advance(7.0);
    StopTimer();
    Advance(4.0);
    ResetTimer();
    EXPECT_FALSE(IsTimerStopped());
    ExpectTime(4.0);
    ResetTimer();
    ExpectTime(0.0);
    Advance(0.5);
    ExpectTime(0.5);
}

TEST_F(TimerTest, ElapsedIsTheSpanSinceTheLastReadingAndNeverNegative) {
    StartTimer();
    Advance(0.25);
    EXPECT_NEAR(GetTimerElapsed(), 0.25f, 1e-5f);
    EXPECT_EQ(GetTimerElapsed(), 0.0f);
    Advance(-3.0);
    EXPECT_EQ(GetTimerElapsed(), 0.0f);
    Advance(0.5);
    EXPECT_NEAR(GetTimerElapsed(), 0.5f, 1e-5f);
}

}  // namespace
