// The live run's pacing against an injected clock: cycles start on the period's grid, a cycle
// whose time passed is late, counted, started at once and never made up by a burst, nor left
// out; the duration ends the run on the grid; the progress line says what the user needs.
#include <gtest/gtest.h>
#include <vector>
#include "host/runner/livepace.h"

namespace {

// Runs cycles with the given work times (ms each) on a clock that only the run moves: the pacer's
// waits and the work. Returns each cycle's start time.
struct FakeRun {
    LivePacer pacer;
    uint64_t now;
    std::vector<uint64_t> starts;

    FakeRun(double period, uint64_t start) : pacer(period, start), now(start) {}
    void Cycle(uint32_t workMs)
    {
        now += pacer.Next(now);
        starts.push_back(now);
        now += workMs;
    }
};

TEST(LivePacing, CyclesThatFitStartOnThePeriodsGrid)
{
    FakeRun run(100, 5000);
    for (int i = 0; i < 6; ++i) run.Cycle(30);
    EXPECT_EQ(run.starts, (std::vector<uint64_t>{5000, 5100, 5200, 5300, 5400, 5500}));
    EXPECT_EQ(run.pacer.cycles, 6u);
    EXPECT_EQ(run.pacer.late, 0u);

    // A fractional period keeps its grid too: starts never drift from k * period.
    FakeRun fine(33.3, 0);
    for (int i = 0; i < 300; ++i) fine.Cycle(1);
    for (size_t k = 0; k < fine.starts.size(); ++k) {
        EXPECT_GE(double(fine.starts[k]), k * 33.3 - 1e-6) << k;
        EXPECT_LT(double(fine.starts[k]), k * 33.3 + 1.0) << k;
    }
    EXPECT_EQ(fine.pacer.late, 0u);
}

TEST(LivePacing, ASlowCycleMakesTheNextLateCountedAndStartedAtOnceWithoutABurst)
{
    FakeRun run(100, 0);
    run.Cycle(10);     // 0
    run.Cycle(250);    // 100: the instruments answer slowly, ends at 350
    run.Cycle(10);     // due at 200, starts at 350: late by 150
    run.Cycle(10);     // the period counts from the late start
    run.Cycle(10);
    EXPECT_EQ(run.starts, (std::vector<uint64_t>{0, 100, 350, 450, 550}));
    EXPECT_EQ(run.pacer.late, 1u);
    EXPECT_EQ(run.pacer.worstLateMs, 150u);
    // Every cycle ran once, and no two ran closer together than the period.
    EXPECT_EQ(run.pacer.cycles, 5u);
    for (size_t i = 1; i < run.starts.size(); ++i) EXPECT_GE(run.starts[i] - run.starts[i - 1], 100u) << i;
}

TEST(LivePacing, CyclesSlowerThanThePeriodAreEachLateAndNoneIsLeftOut)
{
    FakeRun run(50, 0);
    for (int i = 0; i < 10; ++i) run.Cycle(80);
    EXPECT_EQ(run.pacer.cycles, 10u);
    EXPECT_EQ(run.pacer.late, 9u);       // all but the first
    EXPECT_EQ(run.pacer.worstLateMs, 30u);
    for (size_t i = 1; i < run.starts.size(); ++i) EXPECT_EQ(run.starts[i] - run.starts[i - 1], 80u) << i;
}

TEST(LivePacing, JitterBelowATenthOfThePeriodIsNotLateAndKeepsTheGrid)
{
    LivePacer pacer(100, 0);
    EXPECT_EQ(pacer.Next(0), 0u);
    EXPECT_EQ(pacer.Next(108), 0u);      // 8 ms behind: the scheduler, not the instruments
    EXPECT_EQ(pacer.Next(150), 50u);     // the next is still due at 200
    EXPECT_EQ(pacer.late, 0u);
    EXPECT_EQ(pacer.Next(311), 0u);      // 11 ms behind a 100 ms period: late
    EXPECT_EQ(pacer.late, 1u);
    EXPECT_EQ(pacer.Next(320), 91u);     // 411: one period after the late start

    LivePacer tiny(2, 0);                // a tenth of 2 ms is below the clock's 1 ms
    tiny.Next(0);
    tiny.Next(3);
    EXPECT_EQ(tiny.late, 0u);
    tiny.Next(7);
    EXPECT_EQ(tiny.late, 1u);
}

TEST(LivePacing, TheDurationEndsTheRunOnTheGrid)
{
    FakeRun run(100, 1000);
    uint32_t ran = 0;
    while (!run.pacer.Past(6000)) {
        run.Cycle(5);
        ++ran;
    }
    EXPECT_EQ(ran, 60u);                 // 60 cycles at 100 ms in 6 s
    EXPECT_EQ(run.starts.back(), 6900u);
}

TEST(LiveProgress, TheLineShowsTimeCyclesValuesLateCyclesAndTheLastWarning)
{
    LiveProgress p;
    p.elapsedMs = 12345;
    p.cycles = 123;
    p.totalCycles = 600;
    p.values = 120;
    EXPECT_EQ(ProgressLine(p), "live    12.3 s  cycle 123/600  values 120  late 0");
    p.totalCycles = 0;
    p.late = 2;
    p.worstLateMs = 35;
    p.lastWarning = "GPIB-IN: time-out";
    EXPECT_EQ(ProgressLine(p), "live    12.3 s  cycle 123  values 120  late 2 (worst 35 ms)  last warning: GPIB-IN: time-out");
}

TEST(LiveProgress, InPlaceAtMostFourTimesASecondOtherwiseOneLineEveryFewSecondsOfCycles)
{
    ProgressSchedule terminal(true, 10);
    EXPECT_TRUE(terminal.Due(0, 1));
    EXPECT_FALSE(terminal.Due(100, 11));
    EXPECT_FALSE(terminal.Due(249, 25));
    EXPECT_TRUE(terminal.Due(250, 26));

    ProgressSchedule plain(false, 100);   // 2 s of 100 ms cycles
    EXPECT_EQ(plain.plainEvery, 20u);
    EXPECT_FALSE(plain.Due(0, 1));
    EXPECT_TRUE(plain.Due(0, 20));
    EXPECT_TRUE(plain.Due(0, 40));
    EXPECT_EQ(ProgressSchedule(false, 5000).plainEvery, 1u);
}

}  // namespace
