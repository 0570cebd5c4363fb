#pragma once

#include <SDL.h>

#include "shell/loop_state.h"

// The shell's own reaction to one polled event (quit, resize, hot keys, mouse capture), after
// which the event goes to the current state as MSG_SDL_EVENT.
void handleShellEvent(LoopState& loop, SDL_Event* event);

// Re-creates the video mode after a display setting changed, with fallbacks, around a release
// and restore of the registered GL resources.
void applyDisplayChange(LoopState& loop);
