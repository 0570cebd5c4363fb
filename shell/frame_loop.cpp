#include "frame_loop.h"

#include <scrapvolt/shell/shell_globals.h>

#include "journal_recorder.h"
#include "messaging.h"
#include "platform.h"
#include "quit_signals.h"
#include "shell_events.h"

namespace scrapvolt {

namespace {
bool gameAskedToQuit = false;  // by requestQuit, read at the end of the frame
}  // namespace

void requestQuit() {
    gameAskedToQuit = true;
}

bool takeQuitRequest(LoopState& loop) {
    loop.quitRequested = loop.quitRequested || gameAskedToQuit;
    gameAskedToQuit = false;
    return loop.quitRequested;
}

void startFrameLoop(LoopState& loop) {
    loop.quitRequested = false;
    loop.tickClock = TickClock{platform::ticks(), 0, tickRate > 0 ? tickRate : 100};
    loop.frameRate = FrameRateWindow{0, platform::ticks()};
}

bool handlePendingEvents(LoopState& loop) {
    // A bounded number of events a frame, and none after a quit request: a stream of events, such
    // as a window manager answering each mode set with a resize, can then neither keep the loop
    // from drawing nor hold up the end of the run.
    for (int handled = 0; handled < maxEventsPerFrame; ++handled) {
        loop.quitRequested = loop.quitRequested || quitSignalReceived();
        if (loop.quitRequested || !platform::pollEvent(loop.event)) {
            break;
        }
        if (loop.recorder != nullptr) {
            loop.recorder->event(loop.event);
        }
        handleShellEvent(loop, loop.event);
        if (loop.exitStatus != 0) {
            return false;
        }
    }
    return true;
}

void drawFrame(LoopState& loop) {
    broadcast(loop, MSG_DRAW);
    platform::swapBuffers();
    countFrame(loop.frameRate, platform::ticks(), framesPerSecond);
}

void runDueTicks(LoopState& loop) {
    for (;;) {
        const TickDecision decision = takeDueTicks(loop.tickClock, platform::ticks(), tickRate);
        if (decision.due != 0) {
            if (loop.recorder != nullptr) {
                loop.recorder->frame(decision.due);
            }
            runTicks(loop, decision.due);
            return;
        }
        platform::delay(decision.sleepMs);
    }
}

void runTicks(LoopState& loop, uint32_t due) {
    for (uint32_t i = 0; i < due && loop.stack.pendingCount == 0; ++i) {
        ++loop.message.tick;
        broadcast(loop, MSG_TICK);
        if (loop.tickWatcher != nullptr) {
            loop.tickWatcher->afterTick(loop);
        }
    }
}

void applyPendingStateOps(LoopState& loop) {
    if (loop.stack.pendingCount != 0) {
        loop.stack.applyStateOps(loop.message);
    }
}

}  // namespace scrapvolt
