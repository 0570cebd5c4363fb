#include "shell/frame_loop.h"

#include <gtest/gtest.h>

#include "shell/shell_globals.h"
#include "tests/shell/recording_state.h"
#include "tests/support/allocation_counter.h"

namespace {

// Requests a state operation when it receives a chosen tick.
class RequestingState : public RecordingState {
  public:
    RequestingState(std::vector<Received>& journal, unsigned requestAtTick)
        : RecordingState("state", journal), requestAtTick_(requestAtTick) {}
    void handleMessage(const Message* message) override {
        RecordingState::handleMessage(message);
        if (message->code == MSG_TICK && message->tick == requestAtTick_) {
            requestStateOp(STATE_OP_NEXT);
        }
    }

  private:
    unsigned requestAtTick_;
};

class FrameLoopTest : public ::testing::Test {
  protected:
    void SetUp() override { journal.reserve(1024); }

    void startWith(Game* game, GameState* root) {
        loop.game = game;
        loop.stack.notOwned = root == game ? game : nullptr;
        loop.stack.pushState(root);
        connectGameStateStack(&loop.stack);
    }

    void TearDown() override {
        connectGameStateStack(nullptr);
        loop.stack.current = 0;
        loop.stack.deleteStatesAboveCurrent();
        if (loop.stack.states[0] != loop.game) {
            delete loop.stack.states[0];
        }
        delete loop.game;
    }

    std::vector<Received> journal;
    LoopState loop;
};

TEST_F(FrameLoopTest, BroadcastReachesTheGameThenTheCurrentState) {
    startWith(new RecordingState("game", journal), new RecordingState("state", journal));
    broadcast(loop, MSG_DRAW);
    sendToCurrent(loop, MSG_ENTER);
    sendToGame(loop, MSG_STARTUP);
    const std::vector<Received> expected = {{"game", MSG_DRAW, 0},
                                            {"state", MSG_DRAW, 0},
                                            {"state", MSG_ENTER, 0},
                                            {"game", MSG_STARTUP, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(FrameLoopTest, GameThatIsTheCurrentStateHearsEachBroadcastOnce) {
    auto* game = new RecordingState("game", journal);
    startWith(game, game);
    broadcast(loop, MSG_VIDEO_RESET);
    sendToCurrent(loop, MSG_ENTER);
    const std::vector<Received> expected = {{"game", MSG_VIDEO_RESET, 0}, {"game", MSG_ENTER, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(FrameLoopTest, TicksAreNumberedOnAndBroadcast) {
    startWith(new RecordingState("game", journal), new RecordingState("state", journal));
    runTicks(loop, 2);
    runTicks(loop, 1);
    const std::vector<Received> expected = {{"game", MSG_TICK, 1}, {"state", MSG_TICK, 1},
                                            {"game", MSG_TICK, 2}, {"state", MSG_TICK, 2},
                                            {"game", MSG_TICK, 3}, {"state", MSG_TICK, 3}};
    EXPECT_EQ(journal, expected);
}

TEST_F(FrameLoopTest, RequestDuringATickStopsTheRemainingTicksAndNumberingRestarts) {
    startWith(new RecordingState("game", journal), new RequestingState(journal, 2));
    loop.stack.pushState(new RecordingState("next", journal));
    runTicks(loop, 5);
    EXPECT_EQ(loop.message.tick, 2u) << "ticks ran after the request";
    applyPendingStateOps(loop);
    runTicks(loop, 1);
    const std::vector<Received> expected = {
        {"game", MSG_TICK, 1},   {"state", MSG_TICK, 1}, {"game", MSG_TICK, 2},
        {"state", MSG_TICK, 2},  // the tick that made the request reaches both receivers
        {"state", MSG_LEAVE, 0}, {"next", MSG_ENTER, 0}, {"next", MSG_VIDEO_RESET, 0},
        {"game", MSG_TICK, 1},   {"next", MSG_TICK, 1}};
    EXPECT_EQ(journal, expected);
}

TEST_F(FrameLoopTest, PendingRequestBeforeTheFirstTickRunsNoTick) {
    startWith(new RecordingState("game", journal), new RecordingState("state", journal));
    loop.stack.pushState(new RecordingState("next", journal));
    requestStateOp(STATE_OP_NEXT);
    runTicks(loop, 3);
    EXPECT_TRUE(journal.empty()) << "a tick ran although a state operation was pending";
}

TEST_F(FrameLoopTest, FrameStepsDoNotAllocate) {
    startWith(new RecordingState("game", journal), new RecordingState("state", journal));
    loop.stack.pushState(new RecordingState("next", journal));
    FrameRateWindow window{0, 0};
    float fps = 0.0f;
    AllocationScope scope;
    for (uint32_t frame = 0; frame < 50; ++frame) {
        sendToCurrent(loop, MSG_SDL_EVENT, &loop.event);
        broadcast(loop, MSG_DRAW);
        countFrame(window, frame * 16, fps);
        const TickDecision d = takeDueTicks(loop.tickClock, frame * 16, 100);
        runTicks(loop, d.due);
    }
    requestStateOp(STATE_OP_NEXT);
    requestStateOp(STATE_OP_BACK);
    requestStateOp(STATE_OP_NEXT);
    applyPendingStateOps(loop);
    EXPECT_EQ(scope.count(), 0u) << "the frame steps allocated";
    EXPECT_GT(journal.size(), 100u);
}

}  // namespace

namespace {

TEST(ShellGlobals, TickRateBelowOneIsRefused) {
    const int32_t before = getTickRate();
    setTickRate(60);
    EXPECT_EQ(getTickRate(), 60);
    setTickRate(0);
    EXPECT_EQ(getTickRate(), 60) << "a rate of 0 would divide by zero in the scheduler";
    setTickRate(-100);
    EXPECT_EQ(getTickRate(), 60);
    setTickRate(before);
}

}  // namespace
