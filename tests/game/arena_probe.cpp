// A test build of the game: the real ArenaGame and ArenaState under the real shell, with a
// wrapper that records what the start-up sequence left behind. It writes one line per event to
// the file named by SCRAPVOLT_PROBE_LOG:
//   mode <width> <height> stencil <size asked for>        each SDL_SetVideoMode
//   frame cull <0|1> depth <0|1> blend <0|1> tickRate <n> caption <title>
// It logs the first frame, then resizes the window through an SDL_VIDEORESIZE event, logs the
// first frame after the new mode, and quits.
#include <GL/gl.h>
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "game/arena_game.h"
#include "shell/shell_globals.h"

namespace {

int stencilAsked = -1;

void logLine(const char* format, auto... values) {
    const char* path = std::getenv("SCRAPVOLT_PROBE_LOG");
    FILE* file = path != nullptr ? std::fopen(path, "a") : nullptr;
    if (file != nullptr) {
        std::fprintf(file, format, values...);
        std::fclose(file);
    }
}

template <typename Function>
Function nextDefinition(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

class ProbeGame : public Game {
  public:
    void handleMessage(const Message* message) override {
        game_.handleMessage(message);
        if (message->code == MSG_VIDEO_RESET) {
            modeChanged_ = true;
        } else if (message->code == MSG_DRAW && modeChanged_) {
            modeChanged_ = false;
            logFrame();
            nextStep();
        }
    }
    GameState* createFirstState() override { return game_.createFirstState(); }
    const char* prefsName() override { return game_.prefsName(); }

  private:
    static void logFrame() {
        char* title = nullptr;
        char* icon = nullptr;
        SDL_WM_GetCaption(&title, &icon);
        logLine("frame cull %d depth %d blend %d tickRate %d caption %s\n",
                glIsEnabled(GL_CULL_FACE), glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_BLEND),
                getTickRate(), title != nullptr ? title : "(none)");
    }

    void nextStep() {
        SDL_Event event{};
        if (framesLogged_++ == 0) {
            event.type = SDL_VIDEORESIZE;
            event.resize.w = 720;
            event.resize.h = 540;
        } else {
            event.type = SDL_QUIT;
        }
        SDL_PushEvent(&event);
    }

    ArenaGame game_;
    bool modeChanged_ = false;
    int framesLogged_ = 0;
};

}  // namespace

Game* createGame() {
    return new ProbeGame;
}

// Interposed SDL entry points: record the stencil size asked for, then call SDL's own.
extern "C" int SDL_GL_SetAttribute(SDL_GLattr attribute, int value) {
    static const auto real = nextDefinition<int (*)(SDL_GLattr, int)>("SDL_GL_SetAttribute");
    if (attribute == SDL_GL_STENCIL_SIZE) {
        stencilAsked = value;
    }
    return real(attribute, value);
}

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    static const auto real =
        nextDefinition<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode");
    logLine("mode %d %d stencil %d\n", width, height, stencilAsked);
    return real(width, height, bpp, flags);
}
