#pragma once

#include <cstdint>

#include <scrapvolt/shell/game.h>
#include <scrapvolt/shell/message.h>

namespace scrapvolt {

enum : int32_t {
    STATE_OP_NEXT = 0,
    STATE_OP_BACK = 1,
    STATE_OP_REMOVE = 2,
};

// The game's states, root at index 0. States are placed with pushState and changed through
// queued requests that the main loop applies between frames. The stack owns its states, except
// `notOwned`: the game object when it stands on the stack, which the shell deletes itself.
struct StateStack {
    static constexpr int32_t maxStates = 32;
    static constexpr int32_t maxPendingOps = 32;

    GameState* states[maxStates] = {};
    int32_t count = 0;
    int32_t current = 0;
    int32_t pendingOps[maxPendingOps] = {};
    int32_t pendingCount = 0;
    const GameState* notOwned = nullptr;

    // Empties the stack and makes `root` its first state. `gameObject` becomes `notOwned`: the
    // stack never deletes it, wherever it stands, as the shell deletes it at shutdown.
    void startWith(GameState* root, const GameState* gameObject);
    // Null while the stack is empty.
    GameState* currentState() const { return count > 0 ? states[current] : nullptr; }

    // False (and nothing stored; the caller keeps the state) when the stack is full or the
    // state is null.
    bool pushState(GameState* state);
    // False (and nothing queued) when the queue is full.
    bool requestStateOp(int32_t code);
    void deleteStatesAboveCurrent();
    // Applies the queue, newest request first, between MSG_LEAVE and MSG_ENTER/MSG_VIDEO_RESET
    // to the current state, sent through the shell's message record. A request that the stack
    // cannot carry out when its turn comes (NEXT or REMOVE with nothing above, BACK at the root,
    // an unknown code) is dropped without effect.
    void applyStateOps(Message& message);
};

// Game code reaches the shell's stack through these; main connects them once the root state is
// in place and disconnects them at shutdown. Both return false when refused or disconnected.
void connectGameStateStack(StateStack* stack);
bool pushState(GameState* state);
bool requestStateOp(int32_t code);

}  // namespace scrapvolt
