// The program entry: start-up, the frame loop and shutdown, in their fixed order.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <scrapvolt/shell/resource_registry.h>
#include <scrapvolt/shell/shell_globals.h>
#include <scrapvolt/shell/video_mode.h>
#include "first_video_mode.h"
#include "frame_loop.h"
#include "loop_state.h"
#include "preferences.h"
#include "quit_signals.h"

namespace scrapvolt {
namespace {

void setDefaultGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 32);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
}

void createGameAndRootState(LoopState& loop) {
    loop.game = createGame();
    loop.message = Message{0, 0, nullptr};
    sendToGame(loop, MSG_CONFIGURE_GL);
    loop.stack.startWith(loop.game->createFirstState(), loop.game);
    connectGameStateStack(&loop.stack);
}

void setDepthSize(int bits) {
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, bits);
}

// A full screen given up by the first mode's fallbacks also gives up the mouse capture.
bool openFirstMode(LoopState& loop) {
    const bool wantedFullScreen = loop.settings.fullScreen;
    if (!openFirstVideoMode(loop.settings, setVideoMode, setDepthSize)) {
        return false;
    }
    if (wantedFullScreen && !loop.settings.fullScreen) {
        loop.mouseCaptured = false;
        SDL_ShowCursor(1);
    }
    loop.workingMode = loop.settings;
    return true;
}

// Takes down what start-up built when no video mode could be opened at all.
void abandonStartUp(LoopState& loop) {
    connectGameStateStack(nullptr);
    loop.stack.current = 0;
    loop.stack.deleteStatesAboveCurrent();
    if (loop.stack.count > 0 && loop.stack.states[0] != loop.game) {
        delete loop.stack.states[0];
    }
    loop.stack = StateStack{};
    delete loop.game;
    loop.game = nullptr;
    resourceRegistry.destroyAll();
    Mix_CloseAudio();
    SDL_Quit();
}

// Returns false after printing the error and taking everything down again.
bool startUp(LoopState& loop) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    setDefaultGlAttributes();
    loop.settings = DisplaySettings{};
    loop.mouseCaptured = false;
    tickRate = 100;
    Mix_OpenAudio(44100, AUDIO_S16LSB, 1, 4096);
    resourceRegistry.clear();
    createGameAndRootState(loop);
    buildPreferencesPath(loop, loop.game->prefsName());
    loadPreferences(loop);
    if (!openFirstMode(loop)) {
        std::printf("Unable to open graphics mode!\n");
        std::fflush(stdout);
        abandonStartUp(loop);
        return false;
    }
    sendToGame(loop, MSG_STARTUP);
    broadcast(loop, MSG_VIDEO_RESET);
    sendToCurrent(loop, MSG_ENTER);
    return true;
}

void runFrameLoop(LoopState& loop) {
    startFrameLoop(loop);
    for (;;) {
        if (!handlePendingEvents(loop)) {
            return;
        }
        followCapturedMouse(loop);
        drawFrame(loop);
        runDueTicks(loop);
        applyPendingStateOps(loop);
        if (loop.quitRequested) {
            return;
        }
    }
}

void shutDown(LoopState& loop) {
    sendToCurrent(loop, MSG_LEAVE);
    loop.stack.current = 0;
    loop.stack.deleteStatesAboveCurrent();
    connectGameStateStack(nullptr);
    savePreferences(loop);
    sendToGame(loop, MSG_SHUTDOWN);
    delete loop.game;
    loop.game = nullptr;
    resourceRegistry.destroyAll();
    Mix_CloseAudio();
    SDL_Quit();
}

}  // namespace
}  // namespace scrapvolt

int main(int, char**) {
    using namespace scrapvolt;
    if (SDL_Init(0xFFFF) < 0) {
        return 1;
    }
    catchQuitSignals();  // after SDL_Init, which sets handlers of its own
    static LoopState loop;
    if (!startUp(loop)) {
        return 1;
    }
    runFrameLoop(loop);
    shutDown(loop);
    return loop.exitStatus;
}
