#pragma once

#include <cstdint>

#include "shell/game.h"
#include "shell/message.h"

enum : int32_t {
    STATE_OP_NEXT = 0,
    STATE_OP_BACK = 1,
    STATE_OP_REMOVE = 2,
};

// The game's states, root at index 0. States are placed with pushState and changed through
// queued requests that the main loop applies between frames. The stack owns its states.
struct StateStack {
    static constexpr int32_t maxStates = 32;
    static constexpr int32_t maxPendingOps = 32;

    GameState* states[maxStates] = {};
    int32_t count = 0;
    int32_t current = 0;
    int32_t pendingOps[maxPendingOps] = {};
    int32_t pendingCount = 0;

    GameState* currentState() const { return states[current]; }

    // False (and nothing stored) when the stack is full.
    bool pushState(GameState* state);
    // False (and nothing queued) when the queue is full.
    bool requestStateOp(int32_t code);
    void deleteStatesAboveCurrent();
    // Applies the queue, newest request first, between MSG_LEAVE and MSG_ENTER/MSG_VIDEO_RESET
    // to the current state, sent through the shell's message record.
    void applyStateOps(Message& message);
};
