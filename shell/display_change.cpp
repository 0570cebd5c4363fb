#include "display_change.h"

#include <scrapvolt/shell/resource_registry.h>

#include <cstdio>

#include "messaging.h"
#include "mouse_capture.h"
#include "video_fallback.h"

namespace scrapvolt {
namespace {

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
    resourceRegistry.releaseAll();
    captureForFullScreen(loop);
    if (!setVideoModeWithFallbacks(loop.settings)) {
        loseVideoMode(loop);
        return;
    }
    loop.workingMode = loop.settings;
    broadcast(loop, MSG_VIDEO_RESET);
    centreCapturedPointer(loop);
    resourceRegistry.restoreAll();
    broadcast(loop, MSG_VIDEO_RESET);
}

}  // namespace scrapvolt
