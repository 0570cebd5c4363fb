#include "frame_loop.h"

#include <SDL.h>

#include <scrapvolt/shell/shell_globals.h>
#include <scrapvolt/shell/video_mode.h>
#include "quit_signals.h"
#include "shell_events.h"

#include <SDL.h>
#include "mode_choice.h"

namespace scrapvolt {

void startFrameLoop(LoopState& loop) {
    loop.quitRequested = false;
    loop.tickClock = TickClock{SDL_GetTicks(), 0};
    loop.frameRate = FrameRateWindow{0, SDL_GetTicks()};
}

bool handlePendingEvents(LoopState& loop) {
    // A bounded number of events a frame, and none after a quit request: a stream of events, such
    // as a window manager answering each mode set with a resize, can then neither keep the loop
    // from drawing nor hold up the end of the run.
    for (int handled = 0; handled < maxEventsPerFrame; ++handled) {
        loop.quitRequested = loop.quitRequested || quitSignalReceived();
        if (loop.quitRequested || !SDL_PollEvent(&loop.event)) {
            break;
        }
        handleShellEvent(loop, &loop.event);
        if (loop.exitStatus != 0) {
            return false;
        }
    }
    return true;
}

void followCapturedMouse(LoopState& loop) {
    if (!loop.mouseCaptured || screen == nullptr) {
        return;
    }
    int x = 0;
    int y = 0;
    mouseButtons = SDL_GetMouseState(&x, &y) & 0xFF;
    const int centreX = screen->w >> 1;
    const int centreY = screen->h >> 1;
    SDL_WarpMouse(static_cast<Uint16>(centreX), static_cast<Uint16>(centreY));
    mouseDeltaX += x - centreX;
    mouseDeltaY += y - centreY;
}

void drawFrame(LoopState& loop) {
    broadcast(loop, MSG_DRAW);
    SDL_GL_SwapBuffers();
    countFrame(loop.frameRate, SDL_GetTicks(), framesPerSecond);
}

void runDueTicks(LoopState& loop) {
    for (;;) {
        const TickDecision decision = takeDueTicks(loop.tickClock, SDL_GetTicks(), tickRate);
        if (decision.due != 0) {
            runTicks(loop, decision.due);
            return;
        }
        SDL_Delay(decision.sleepMs);
    }
}

void runTicks(LoopState& loop, uint32_t due) {
    for (uint32_t i = 0; i < due && loop.stack.pendingCount == 0; ++i) {
        ++loop.message.tick;
        broadcast(loop, MSG_TICK);
    }
}

void applyPendingStateOps(LoopState& loop) {
    if (loop.stack.pendingCount != 0) {
        loop.stack.applyStateOps(loop.message);
    }
}

}  // namespace scrapvolt
