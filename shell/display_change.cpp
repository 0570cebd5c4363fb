#include <SDL.h>

#include <cstdio>

#include <scrapvolt/shell/resource_registry.h>
#include <scrapvolt/shell/video_mode.h>
#include "shell_events.h"

#include <SDL.h>
#include "mode_choice.h"

namespace scrapvolt {

namespace {

void centreMouse() {
    if (screen != nullptr) {
        SDL_WarpMouse(static_cast<Uint16>(screen->w >> 1), static_cast<Uint16>(screen->h >> 1));
    }
}

// The settings go back to the last mode that worked, keeping only the gamma, which no mode uses.
void loseVideoMode(LoopState& loop) {
    const float gamma = loop.settings.gamma;
    loop.settings = loop.workingMode;
    loop.settings.gamma = gamma;
    std::printf("Unable to open graphics mode!\n");
    std::fflush(stdout);
    loop.quitRequested = true;
    loop.exitStatus = 1;
}

}  // namespace

void applyDisplayChange(LoopState& loop) {
    applyDisplayChange(loop, setVideoMode);
}

void applyDisplayChange(LoopState& loop, SetVideoModeFn setMode) {
    resourceRegistry.releaseAll();
    if (loop.settings.fullScreen) {
        loop.mouseCaptured = true;
    }
    if (!setVideoModeWithFallbacks(loop.settings, setMode)) {
        loseVideoMode(loop);
        return;
    }
    loop.workingMode = loop.settings;
    broadcast(loop, MSG_VIDEO_RESET);
    if (loop.mouseCaptured) {
        centreMouse();
    }
    resourceRegistry.restoreAll();
    broadcast(loop, MSG_VIDEO_RESET);
}

}  // namespace scrapvolt
