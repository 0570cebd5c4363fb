#include "shell/tick_scheduler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TickScheduler, ShortFrameWaitsForTheNextTickThenRunsOne) {
    TickClock clock{1000, 0};
    const TickDecision wait = takeDueTicks(clock, 1003, 100);
    EXPECT_EQ(wait.due, 0u);
    EXPECT_EQ(wait.sleepMs, 7u) << "(50 - 300 + 1000) / 100";
    EXPECT_EQ(clock.tickBase, 1000u) << "a wait must leave the clock alone";
    EXPECT_EQ(clock.tickRemainder, 0u);

    const TickDecision run = takeDueTicks(clock, 1010, 100);
    EXPECT_EQ(run.due, 1u);
    EXPECT_EQ(clock.tickBase, 1010u);
    EXPECT_EQ(clock.tickRemainder, 0u);
}

TEST(TickScheduler, WaitIsRoundedToTheNearestMillisecond) {
    struct Case {
        int32_t rate;
        uint32_t remainder;
        uint32_t elapsed;
        uint32_t sleepMs;
    };
    const Case cases[] = {
        {100, 0, 0, 10},    // a whole tick to go
        {100, 0, 9, 1},     // 100 thousandths to go: 1 ms
        {60, 0, 0, 17},     // 16.67 ms rounds up
        {60, 200, 0, 13},   // 800 thousandths at 60/s: 13.3 ms
        {1, 0, 0, 1000},    // one tick a second
        {3, 500, 100, 67},  // 200 thousandths at 3/s: 66.7 ms
    };
    for (const Case& c : cases) {
        TickClock clock{5000, c.remainder};
        const TickDecision d = takeDueTicks(clock, 5000 + c.elapsed, c.rate);
        EXPECT_EQ(d.due, 0u) << "rate " << c.rate;
        EXPECT_EQ(d.sleepMs, c.sleepMs)
            << "rate " << c.rate << " remainder " << c.remainder << " elapsed " << c.elapsed;
    }
}

// Runs the scheduler over frames of the given lengths, taking ticks only when due (as the loop
// does after sleeping), and returns the ticks taken.
uint32_t ticksOver(const std::vector<uint32_t>& frameLengths, int32_t rate, TickClock& clock) {
    uint32_t now = clock.tickBase;
    uint32_t total = 0;
    for (uint32_t length : frameLengths) {
        now += length;
        total += takeDueTicks(clock, now, rate).due;
    }
    return total;
}

TEST(TickScheduler, OneSecondGivesExactlyTheRateHoweverItIsSplit) {
    const std::vector<std::vector<uint32_t>> splits = {
        {1000},
        std::vector<uint32_t>(1000, 1),
        std::vector<uint32_t>(333, 3),  // 999 ms, plus the last millisecond below
        {7, 13, 1, 250, 29, 600, 100},
        std::vector<uint32_t>(40, 25),
    };
    for (const auto& split : splits) {
        std::vector<uint32_t> frames = split;
        uint32_t sum = 0;
        for (uint32_t f : frames) {
            sum += f;
        }
        if (sum < 1000) {
            frames.push_back(1000 - sum);
        }
        TickClock clock{123456, 0};
        EXPECT_EQ(ticksOver(frames, 100, clock), 100u) << frames.size() << " frames";
        EXPECT_EQ(clock.tickRemainder, 0u);
        TickClock clock60{0, 0};
        EXPECT_EQ(ticksOver(frames, 60, clock60), 60u) << frames.size() << " frames at 60/s";
    }
}

TEST(TickScheduler, FractionOfATickIsCarriedBetweenFrames) {
    TickClock clock{0, 0};
    TickDecision first = takeDueTicks(clock, 20, 60);
    EXPECT_EQ(first.due, 1u);
    EXPECT_EQ(clock.tickRemainder, 200u);
    TickDecision second = takeDueTicks(clock, 50, 60);
    EXPECT_EQ(second.due, 2u) << "30 x 60 + 200 = 2000 thousandths";
    EXPECT_EQ(clock.tickRemainder, 0u);
    EXPECT_EQ(clock.tickBase, 50u);
}

TEST(TickScheduler, ClockWrapsAroundThirtyTwoBits) {
    TickClock clock{0xFFFFFFF0u, 0};
    const TickDecision d = takeDueTicks(clock, 0x10u, 100);  // 32 ms later
    EXPECT_EQ(d.due, 3u);
    EXPECT_EQ(clock.tickRemainder, 200u);
    EXPECT_EQ(clock.tickBase, 0x10u);
}

}  // namespace
