#include "shell/shell_events.h"

// Stand-in until the hot keys are implemented: closing the window quits, and every event
// reaches the current state.
void handleShellEvent(LoopState& loop, SDL_Event* event) {
    if (event->type == SDL_QUIT) {
        loop.quitRequested = true;
    }
    sendToCurrent(loop, MSG_SDL_EVENT, event);
}

void applyDisplayChange(LoopState&) {}
