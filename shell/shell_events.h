#pragma once

#include "loop_state.h"

namespace scrapvolt {

// The shell's own reaction to one polled event (quit, resize, hot keys, mouse capture), after
// which the event goes to the current state as MSG_SDL_EVENT. Once the video mode is lost
// (loop.exitStatus set) events are dropped: the run is ending and there is no screen.
void handleShellEvent(LoopState& loop, const InputEvent& event);

// Re-creates the video mode after a display setting changed, with fallbacks, around a release
// and restore of the registered GL resources. When even the plain window of the last fallback
// cannot be set, prints "Unable to open graphics mode!\n", requests the quit with exitStatus 1
// and leaves the resources released and the game unaware of any new mode.
void applyDisplayChange(LoopState& loop);

}  // namespace scrapvolt
