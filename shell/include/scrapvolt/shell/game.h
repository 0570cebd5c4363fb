#pragma once

#include <cstdint>

#include <scrapvolt/shell/message.h>

namespace scrapvolt {

/// A state of the game; only the current state receives per-frame messages (see message.h).
/// States are owned by the shell's StateStack, which deletes them when they leave it.
class GameState {
  public:
    virtual void handleMessage(const Message* message) = 0;
    virtual ~GameState() = default;
};

/// The game object: lives for the whole run, from createGame to after MSG_SHUTDOWN, when the shell
/// deletes it. It may itself stand on the state stack (return `this` from createFirstState); it
/// then receives each broadcast once, and is never deleted by the stack.
class Game : public GameState {
  public:
    /// The root state of the state stack, called once after MSG_CONFIGURE_GL; the shell owns it
    /// from then on and sends it nothing after the MSG_LEAVE of shutdown.
    virtual GameState* createFirstState() = 0;
    /// Base name of the preferences file ("<name>.cfg" in the user's configuration directory), or
    /// null for "zantprefs"; read once at start-up.
    virtual const char* prefsName() = 0;
    /// A hash of the game's state, for the journal of a run (SCRAPVOLT_JOURNAL) and its replay:
    /// taken right after a tick's MSG_TICK, once every tickRate ticks. The same input must give
    /// the same value on every machine, so hash exact bits (no pointers, no padding). The
    /// default, 0, proves nothing.
    virtual uint64_t stateHash() { return 0; }
};

}  // namespace scrapvolt

/// The program's entry contract, kept global: supplied by the game module, called once by the
/// shell's main at start-up. Returns a new game object (not null), which the shell owns and
/// deletes with a plain delete at shutdown.
scrapvolt::Game* createGame();
