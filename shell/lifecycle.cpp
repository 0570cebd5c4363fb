// Start-up, the frame loop and shutdown, in their fixed order.
#include "lifecycle.h"

#include <scrapvolt/shell/resource_registry.h>
#include <scrapvolt/shell/shell_globals.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "frame_loop.h"
#include "journal_recorder.h"
#include "loop_state.h"
#include "messaging.h"
#include "mouse_capture.h"
#include "platform.h"
#include "preferences.h"
#include "quit_signals.h"
#include "video_fallback.h"

namespace scrapvolt {

void createGameAndRootState(LoopState& loop) {
    loop.game = createGame();
    loop.message = Message{0, 0, nullptr};
    sendToGame(loop, MSG_CONFIGURE_GL);
    loop.stack.startWith(loop.game->createFirstState(), loop.game);
}

bool openFirstMode(LoopState& loop) {
    const bool wantedFullScreen = loop.settings.fullScreen;
    if (!openFirstVideoMode(loop.settings)) {
        return false;
    }
    if (wantedFullScreen && !loop.settings.fullScreen) {
        captureWithFullScreen(loop);  // a full screen given up also gives up the capture
    }
    loop.workingMode = loop.settings;
    return true;
}

// What both ends of a run take down once the states are gone: the game object, the registered
// GL resources, the audio device and SDL.
void takeDown(LoopState& loop) {
    delete loop.game;
    loop.game = nullptr;
    resourceRegistry.destroyAll();
    platform::stop();
}

void announceStart(LoopState& loop) {
    sendToGame(loop, MSG_STARTUP);
    broadcast(loop, MSG_VIDEO_RESET);
    sendToCurrent(loop, MSG_ENTER);
}

namespace {

// Returns false after printing the error and taking everything down again.
bool startUp(LoopState& loop) {
    loop.randomSeed = static_cast<uint32_t>(std::time(nullptr));
    std::srand(loop.randomSeed);
    platform::setDefaultGlAttributes();
    loop.settings = DisplaySettings{};
    loop.mouseCaptured = false;
    tickRate = 100;
    platform::openAudio();
    resourceRegistry.clear();
    createGameAndRootState(loop);
    buildPreferencesPath(loop, loop.game->prefsName());
    loadPreferences(loop);
    if (!openFirstMode(loop)) {
        std::printf("Unable to open graphics mode!\n");
        std::fflush(stdout);
        loop.stack.discardAll();
        takeDown(loop);
        return false;
    }
    announceStart(loop);
    return true;
}

void runFrameLoop(LoopState& loop) {
    startFrameLoop(loop);
    for (;;) {
        if (!handlePendingEvents(loop)) {
            return;
        }
        followCapturedMouse(loop);
        if (loop.recorder != nullptr) {
            loop.recorder->input(loop);
        }
        drawFrame(loop);
        runDueTicks(loop);
        applyPendingStateOps(loop);
        if (takeQuitRequest(loop)) {
            return;
        }
    }
}

void shutDown(LoopState& loop) {
    if (loop.recorder != nullptr) {
        loop.recorder->end(loop);
    }
    loop.stack.leaveForShutdown(loop.message);
    savePreferences(loop);
    sendToGame(loop, MSG_SHUTDOWN);
    takeDown(loop);
}

}  // namespace

int runShell() {
    if (!platform::start()) {
        return 1;
    }
    catchQuitSignals();  // after SDL's start, which sets handlers of its own
    static LoopState loop;
    if (!startUp(loop)) {
        return 1;
    }
    // With SCRAPVOLT_JOURNAL naming a file the run is journalled there; otherwise nothing of the
    // journal is touched.
    static JournalRecorder recorder;
    const char* journal = std::getenv("SCRAPVOLT_JOURNAL");
    if (journal != nullptr && journal[0] != '\0' && recorder.open(journal)) {
        recorder.start(loop);
        loop.recorder = &recorder;
        loop.tickWatcher = &recorder;
    }
    runFrameLoop(loop);
    shutDown(loop);
    return loop.exitStatus;
}

}  // namespace scrapvolt
