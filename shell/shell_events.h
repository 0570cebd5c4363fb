#pragma once

#include <SDL.h>

#include "loop_state.h"
#include "video_fallback.h"

namespace scrapvolt {

// The shell's own reaction to one polled event (quit, resize, hot keys, mouse capture), after
// which the event goes to the current state as MSG_SDL_EVENT. Once the video mode is lost
// (loop.exitStatus set) events are dropped: the run is ending and there is no screen.
void handleShellEvent(LoopState& loop, SDL_Event* event);

// The same with another mode-setting function for the display changes the event causes.
void handleShellEvent(LoopState& loop, SDL_Event* event, SetVideoModeFn setMode);

// Re-creates the video mode after a display setting changed, with fallbacks, around a release
// and restore of the registered GL resources.
void applyDisplayChange(LoopState& loop);

// The same with another mode-setting function. When even the plain window of the last fallback
// cannot be set, prints "Unable to open graphics mode!\n", requests the quit with exitStatus 1
// and leaves the resources released and the game unaware of any new mode.
void applyDisplayChange(LoopState& loop, SetVideoModeFn setMode);

}  // namespace scrapvolt
