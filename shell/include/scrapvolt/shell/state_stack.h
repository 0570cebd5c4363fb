#pragma once

#include <cstdint>

#include <scrapvolt/shell/game.h>
#include <scrapvolt/shell/message.h>

namespace scrapvolt {

/// Requests a state makes with requestStateOp; the shell applies them between frames.
enum : int32_t {
    STATE_OP_NEXT = 0,    ///< the state just above the current one becomes current
    STATE_OP_BACK = 1,    ///< the state below becomes current; the ones above it are deleted
    STATE_OP_REMOVE = 2,  ///< the current state is deleted; the one above takes its place
};

/// The game's states, the root at index 0; only the current state receives per-frame messages.
/// States are placed with pushState and changed through queued requests that the main loop
/// applies after the frame's ticks, newest request first. The stack owns its states and deletes
/// them when they leave it, except `notOwned`: the game object when it stands on the stack,
/// which the shell deletes itself at shutdown. Escape and shutdown never delete the root state.
/// The current state only ever changes through the transitions below: MSG_LEAVE to the state that
/// stops being current, then MSG_ENTER and MSG_VIDEO_RESET to the one that becomes current; states
/// deleted or passed over on the way receive nothing.
struct StateStack {
    static constexpr int32_t maxStates = 32;
    static constexpr int32_t maxPendingOps = 32;

    GameState* states[maxStates] = {};
    int32_t count = 0;
    int32_t current = 0;
    int32_t pendingOps[maxPendingOps] = {};
    int32_t pendingCount = 0;
    const GameState* notOwned = nullptr;

    /// Empties the stack, makes `root` its first state and connects it to the free pushState and
    /// requestStateOp. `gameObject` becomes `notOwned`.
    void startWith(GameState* root, const GameState* gameObject);
    /// Null while the stack is empty.
    GameState* currentState() const { return count > 0 ? states[current] : nullptr; }

    /// False (and nothing stored; the caller keeps the state) when the stack is full or the
    /// state is null. Does not change the current state.
    bool pushState(GameState* state);
    /// False (and nothing queued) when the queue is full. A pending request ends the frame's
    /// ticks: the broadcast under way finishes, the ticks still due are dropped.
    bool requestStateOp(int32_t code);
    /// Deletes the states above the current one, from the top down, with no message.
    void deleteStatesAboveCurrent();

    /// Applies the queue, newest request first, with the tick counter restarted. A request that
    /// cannot be carried out when its turn comes (NEXT or REMOVE with nothing above, BACK at the
    /// root, an unknown code) is dropped without effect.
    void applyStateOps(Message& message);
    /// Escape on a deeper state: the root becomes current with the tick counter restarted, and
    /// every state above it is deleted. Pending requests stay queued.
    void unwindToRoot(Message& message);
    /// Shutdown: MSG_LEAVE to the current state, and every state above the root deleted; the
    /// root hears nothing more. Disconnects the free pushState and requestStateOp.
    void leaveForShutdown(Message& message);
    /// A start-up that failed: every state deleted but `notOwned`, with no message; the stack is
    /// left empty and disconnected.
    void discardAll();
};

/// Game code reaches the shell's stack through these (see StateStack); false when refused, and
/// before start-up has placed the root state or after shutdown has begun.
bool pushState(GameState* state);
bool requestStateOp(int32_t code);

}  // namespace scrapvolt
