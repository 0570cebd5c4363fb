#include "shell/frame_loop.h"

#include <gtest/gtest.h>

#include "shell/shell_globals.h"
#include "tests/shell/test_support.h"
#include "tests/support/allocation_counter.h"

namespace {

using std::tuple;

TEST(TickScheduler, WaitsRoundedToTheMillisecondThenRunsTheDueTicksKeepingTheFraction) {
    TickClock clock{1000, 0};
    const auto take = [&](uint32_t now, int32_t rate) {
        const TickDecision d = takeDueTicks(clock, now, rate);
        return tuple(d.due, d.sleepMs, clock.tickBase, clock.tickRemainder);
    };
    EXPECT_EQ(take(1003, 100), tuple(0u, 7u, 1000u, 0u)) << "a wait moved the clock";
    EXPECT_EQ(take(1010, 100), tuple(1u, 0u, 1010u, 0u));
    EXPECT_EQ(take(1030, 60), tuple(1u, 0u, 1030u, 200u));  // 20 ms at 60 per second
    EXPECT_EQ(take(1060, 60), tuple(2u, 0u, 1060u, 0u));    // 30 ms more: 1800 + 200 thousandths
    EXPECT_EQ(take(1060, 60), tuple(0u, 17u, 1060u, 0u));   // 16.7 ms to the next tick
    clock = {0xFFFFFFF0u, 0};
    EXPECT_EQ(take(0x10u, 100), tuple(3u, 0u, 0x10u, 200u));  // 32 ms later, across the wrap
    EXPECT_EQ(take(0x10u, 3), tuple(0u, 267u, 0x10u, 200u));  // 266.7 ms to the next tick
}

TEST(TickScheduler, OneSecondGivesExactlyTheRateHoweverItIsSplit) {
    for (const int32_t rate : {100, 60}) {
        for (const uint32_t frame : {1u, 3u, 7u, 25u, 333u, 1000u}) {
            TickClock clock{123456, 0};
            uint32_t ticks = 0;
            for (uint32_t elapsed = frame; elapsed < 1000 + frame; elapsed += frame) {
                ticks += takeDueTicks(clock, 123456 + std::min(elapsed, 1000u), rate).due;
            }
            EXPECT_EQ(ticks, uint32_t(rate)) << frame << " ms frames at " << rate << " per second";
        }
    }
}

TEST(FrameRate, WindowIsRecomputedOnlyAfterMoreThanHalfASecond) {
    FrameRateWindow window{0, 1000};
    float fps = -1.0f;
    for (uint32_t now : {1100u, 1200u, 1300u, 1400u, 1500u}) {
        EXPECT_FALSE(countFrame(window, now, fps)) << now;
    }
    EXPECT_EQ(fps, -1.0f) << "recomputed at or before 500 ms";
    EXPECT_TRUE(countFrame(window, 1501, fps));
    EXPECT_EQ(tuple(window.frameCount, window.fpsBase, fps), tuple(0, 1501u, float(6000.0 / 501)));
    window = {9, 0xFFFFFF00u};
    EXPECT_TRUE(countFrame(window, 0x100u, fps));  // 512 ms later, across the wrap
    EXPECT_EQ(fps, float(10000.0 / 512));
}

using Loop = ShellTest;

TEST_F(Loop, RequestDuringATickStopsTheRemainingTicksAndNumberingRestarts) {
    push("state")->onMessage = [](const Message* m) {
        if (m->code == MSG_TICK && m->tick == 2) {
            requestStateOp(STATE_OP_NEXT);
        }
    };
    push("next");
    runTicks(loop, 1);
    runTicks(loop, 4);
    applyPendingStateOps(loop);
    runTicks(loop, 1);
    EXPECT_EQ(journal.text(),
              "game TICK 1, state TICK 1, game TICK 2, state TICK 2, "
              "state LEAVE, next ENTER, next VIDEO_RESET, game TICK 1, next TICK 1");
    journal.size = 0;
    requestStateOp(STATE_OP_BACK);
    runTicks(loop, 3);
    EXPECT_EQ(journal.size, 0) << "a tick ran although a state operation was pending";
}

TEST_F(Loop, StateOperationsApplyNewestFirstAndUnworkableOnesAreDropped) {
    const char *stay = "root LEAVE, root ENTER, root VIDEO_RESET", *root = "root DELETED";
    const struct {
        const char* what;
        std::vector<const char*> states;
        int32_t current;
        std::vector<int32_t> ops;
        const char *heard, *stackTopDown;  // the states as the clean-up deletes them
    } cases[] = {
        // clang-format off
        {"BACK then NEXT", {"root", "old", "pushed"}, 1, {STATE_OP_BACK, STATE_OP_NEXT},
         "old LEAVE, pushed DELETED, old ENTER, old VIDEO_RESET", "old DELETED, root DELETED"},
        {"REMOVE with two above", {"root", "removed", "first", "second"}, 1, {STATE_OP_REMOVE},
         "removed LEAVE, removed DELETED, first ENTER, first VIDEO_RESET",
         "second DELETED, first DELETED, root DELETED"},
        {"NEXT with nothing above", {"root"}, 0, {STATE_OP_NEXT}, stay, root},
        {"BACK at the root", {"root"}, 0, {STATE_OP_BACK}, stay, root},
        {"REMOVE with nothing above", {"root"}, 0, {STATE_OP_REMOVE}, stay, root},
        {"unknown code", {"root"}, 0, {7}, stay, root},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : c.states) {
            push(name);
        }
        loop.stack.current = c.current;
        loop.message.tick = 42;
        for (int32_t op : c.ops) {
            loop.stack.requestStateOp(op);
        }
        loop.stack.applyStateOps(loop.message);
        EXPECT_EQ(tuple(loop.stack.current, loop.stack.pendingCount, loop.message.tick),
                  tuple(c.current, 0, 0u));
        EXPECT_EQ(journal.text(), c.heard);
        journal.size = 0;
        emptyStack();
        EXPECT_EQ(journal.text(), c.stackTopDown);
        journal.size = 0;
    }
}

TEST_F(Loop, DeleteAboveCurrentGoesFromTheTopDownAndNeverDeletesTheGameObject) {
    loop.stack.notOwned = &game;
    loop.stack.pushState(&game);
    for (const char* name : {"a", "b", "c"}) {
        push(name);
    }
    loop.stack.deleteStatesAboveCurrent();
    Recorder* top = push("top");
    loop.stack.current = 1;
    loop.stack.deleteStatesAboveCurrent();  // nothing above the top
    loop.stack.current = 0;
    runTicks(loop, 1);  // the game object as the current state hears it once
    loop.stack.requestStateOp(STATE_OP_REMOVE);
    loop.stack.applyStateOps(loop.message);
    EXPECT_EQ(tuple(loop.stack.count, loop.stack.currentState()), tuple(1, top));
    EXPECT_EQ(
        journal.text(),
        "c DELETED, b DELETED, a DELETED, game TICK 1, game LEAVE, top ENTER, top VIDEO_RESET");
}

TEST_F(Loop, CapacitiesAreRefusedAndTheStackStaysValid) {
    for (int i = 0; i < StateStack::maxStates; ++i) {
        push("s");
    }
    Recorder extra("extra", journal);
    EXPECT_FALSE(pushState(&extra)) << "a 33rd state was accepted";
    EXPECT_FALSE(pushState(nullptr));
    for (int i = 0; i < StateStack::maxPendingOps; ++i) {
        ASSERT_TRUE(requestStateOp(STATE_OP_NEXT));
    }
    EXPECT_FALSE(requestStateOp(STATE_OP_NEXT)) << "a 33rd request was accepted";
    applyPendingStateOps(loop);
    EXPECT_EQ(tuple(loop.stack.count, loop.stack.current), tuple(32, 31)) << "31 NEXT steps";
}

TEST_F(Loop, FrameStepsDoNotAllocate) {
    push("state");
    push("next");
    AllocationScope scope;
    for (uint32_t now = 0; now < 1000; now += 16) {
        sendToCurrent(loop, MSG_SDL_EVENT, &loop.event);
        broadcast(loop, MSG_DRAW);
        countFrame(loop.frameRate, now, framesPerSecond);
        runTicks(loop, takeDueTicks(loop.tickClock, now, 100).due);
    }
    requestStateOp(STATE_OP_NEXT);
    applyPendingStateOps(loop);
    EXPECT_EQ(tuple(scope.count(), journal.size > 100), tuple(0u, true)) << "allocated";
}

}  // namespace
