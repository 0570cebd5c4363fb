#pragma once

#include <cstdint>

#include "loop_state.h"

namespace scrapvolt {

// The steps of one frame of the main loop, in the order main runs them.

// Starts the tick clock and the frame-rate window at the current time; clears a quit request.
void startFrameLoop(LoopState& loop);

// Events handled in one frame at most; the rest wait for the next frames.
inline constexpr int maxEventsPerFrame = 64;

// Hands the pending events, up to maxEventsPerFrame, to the shell's handling, which passes each
// on to the current state. Stops at a quit request, which a quit signal also makes. False when the
// run must end at once: the video mode was lost and nothing can be drawn.
bool handlePendingEvents(LoopState& loop);

// MSG_DRAW to the game and the current state, then the buffer swap and the frame count.
void drawFrame(LoopState& loop);

// Waits until at least one tick is due, then runs the due ticks.
void runDueTicks(LoopState& loop);

// Broadcasts up to `due` MSG_TICK, numbered on from the message record's counter; stops as soon
// as a state operation is pending, dropping the rest.
void runTicks(LoopState& loop, uint32_t due);

// Applies the queued state operations, if any.
void applyPendingStateOps(LoopState& loop);

// At the end of a frame: true when the run ends now, a game's requestQuit (taken) included.
bool takeQuitRequest(LoopState& loop);

}  // namespace scrapvolt
