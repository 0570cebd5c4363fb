#include "shell/state_stack.h"

#include <gtest/gtest.h>

#include "tests/shell/recording_state.h"

namespace {

class StateStackTest : public ::testing::Test {
  protected:
    // Pushes a new recording state and returns it.
    RecordingState* push(const char* name) {
        auto* state = new RecordingState(name, journal);
        EXPECT_TRUE(stack.pushState(state)) << "push of " << name << " refused";
        return state;
    }

    void TearDown() override {
        stack.current = 0;
        stack.deleteStatesAboveCurrent();
        if (stack.count > 0 && stack.states[0] != stack.notOwned) {
            delete stack.states[0];
        }
    }

    std::vector<Received> journal;
    StateStack stack;
    Message message{0, 42, nullptr};
};

TEST_F(StateStackTest, PushPlacesAboveWithoutChangingTheCurrentState) {
    GameState* root = push("root");
    GameState* above = push("above");
    EXPECT_EQ(stack.count, 2);
    EXPECT_EQ(stack.current, 0);
    EXPECT_EQ(stack.currentState(), root);
    EXPECT_EQ(stack.states[1], above);
    EXPECT_TRUE(journal.empty()) << "pushState must send no message";
}

TEST_F(StateStackTest, NextEntersThePushedStateWithTickReset) {
    push("root");
    GameState* above = push("above");
    ASSERT_TRUE(stack.requestStateOp(STATE_OP_NEXT));
    stack.applyStateOps(message);
    EXPECT_EQ(stack.currentState(), above);
    EXPECT_EQ(stack.pendingCount, 0);
    EXPECT_EQ(message.tick, 0u);
    const std::vector<Received> expected = {
        {"root", MSG_LEAVE, 0}, {"above", MSG_ENTER, 0}, {"above", MSG_VIDEO_RESET, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(StateStackTest, BackThenNextIsAppliedNewestFirstAndDeletesThePushedState) {
    push("root");
    push("old");
    stack.current = 1;
    push("pushed");
    stack.requestStateOp(STATE_OP_BACK);
    stack.requestStateOp(STATE_OP_NEXT);
    stack.applyStateOps(message);
    EXPECT_EQ(stack.current, 1);
    EXPECT_EQ(stack.count, 2);
    const std::vector<Received> expected = {{"old", MSG_LEAVE, 0},
                                            {"pushed", kDeleted, 0},
                                            {"old", MSG_ENTER, 0},
                                            {"old", MSG_VIDEO_RESET, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(StateStackTest, RemoveWithTwoAboveMovesThemDown) {
    push("root");
    push("removed");
    GameState* first = push("first");
    GameState* second = push("second");
    stack.current = 1;
    stack.requestStateOp(STATE_OP_REMOVE);
    stack.applyStateOps(message);
    EXPECT_EQ(stack.count, 3);
    EXPECT_EQ(stack.current, 1);
    EXPECT_EQ(stack.states[1], first);
    EXPECT_EQ(stack.states[2], second);
    const std::vector<Received> expected = {{"removed", MSG_LEAVE, 0},
                                            {"removed", kDeleted, 0},
                                            {"first", MSG_ENTER, 0},
                                            {"first", MSG_VIDEO_RESET, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(StateStackTest, DeleteAboveCurrentGoesFromTheTopDown) {
    push("root");
    push("a");
    push("b");
    push("c");
    stack.deleteStatesAboveCurrent();
    EXPECT_EQ(stack.count, 1);
    const std::vector<Received> expected = {
        {"c", kDeleted, 0}, {"b", kDeleted, 0}, {"a", kDeleted, 0}};
    EXPECT_EQ(journal, expected);
}

TEST_F(StateStackTest, DeleteAboveCurrentAtTheTopDeletesNothing) {
    push("root");
    push("top");
    stack.current = 1;
    stack.deleteStatesAboveCurrent();
    EXPECT_EQ(stack.count, 2);
    EXPECT_TRUE(journal.empty());
}

TEST_F(StateStackTest, RequestsThatCannotBeCarriedOutAreDropped) {
    struct Case {
        const char* name;
        int32_t code;
    };
    const Case cases[] = {{"NEXT with nothing above", STATE_OP_NEXT},
                          {"BACK at the root", STATE_OP_BACK},
                          {"REMOVE with nothing above", STATE_OP_REMOVE},
                          {"unknown code", 7},
                          {"negative code", -1}};
    GameState* root = push("root");
    for (const Case& c : cases) {
        journal.clear();
        ASSERT_TRUE(stack.requestStateOp(c.code)) << c.name;
        stack.applyStateOps(message);
        EXPECT_EQ(stack.count, 1) << c.name;
        EXPECT_EQ(stack.current, 0) << c.name;
        EXPECT_EQ(stack.currentState(), root) << c.name;
        EXPECT_EQ(stack.pendingCount, 0) << c.name;
        const std::vector<Received> expected = {
            {"root", MSG_LEAVE, 0}, {"root", MSG_ENTER, 0}, {"root", MSG_VIDEO_RESET, 0}};
        EXPECT_EQ(journal, expected) << c.name;
    }
}

TEST_F(StateStackTest, RemoveNeverDeletesTheGameObjectStandingOnTheStack) {
    RecordingState* game = push("game");
    stack.notOwned = game;
    push("next");
    stack.requestStateOp(STATE_OP_REMOVE);
    stack.applyStateOps(message);
    EXPECT_EQ(stack.count, 1);
    for (const Received& r : journal) {
        EXPECT_FALSE(r.receiver == "game" && r.code == kDeleted) << "the game object was deleted";
    }
    delete game;
}

TEST_F(StateStackTest, CapacitiesAreRefusedAndTheStackStaysValid) {
    for (int i = 0; i < StateStack::maxStates; ++i) {
        push("s");
    }
    RecordingState extra("extra", journal);
    EXPECT_FALSE(stack.pushState(&extra)) << "a 33rd state was accepted";
    EXPECT_EQ(stack.count, StateStack::maxStates);
    EXPECT_FALSE(stack.pushState(nullptr));

    for (int i = 0; i < StateStack::maxPendingOps; ++i) {
        ASSERT_TRUE(stack.requestStateOp(STATE_OP_NEXT));
    }
    EXPECT_FALSE(stack.requestStateOp(STATE_OP_NEXT)) << "a 33rd request was accepted";
    EXPECT_EQ(stack.pendingCount, StateStack::maxPendingOps);
    stack.applyStateOps(message);
    EXPECT_EQ(stack.current, StateStack::maxStates - 1) << "31 NEXT steps, the 32nd refused";
    journal.clear();
}

TEST_F(StateStackTest, GameCodeReachesOnlyAConnectedStack) {
    RecordingState loose("loose", journal);
    connectGameStateStack(nullptr);
    EXPECT_FALSE(pushState(&loose));
    EXPECT_FALSE(requestStateOp(STATE_OP_NEXT));

    push("root");
    connectGameStateStack(&stack);
    auto* above = new RecordingState("above", journal);
    EXPECT_TRUE(pushState(above));
    EXPECT_TRUE(requestStateOp(STATE_OP_NEXT));
    connectGameStateStack(nullptr);
    EXPECT_EQ(stack.count, 2);
    EXPECT_EQ(stack.pendingCount, 1);
}

}  // namespace
