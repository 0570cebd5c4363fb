#pragma once

#include "loop_state.h"

namespace scrapvolt {

// The shell's own reaction to one polled event (quit, resize, hot keys, mouse capture), after
// which the event goes to the current state as MSG_SDL_EVENT. Once the video mode is lost
// (loop.exitStatus set) events are dropped: the run is ending and there is no screen.
void handleShellEvent(LoopState& loop, const InputEvent& event);

}  // namespace scrapvolt
