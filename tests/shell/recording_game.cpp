// A game for the shell's window tests. It appends what it and its states receive to
// $APPDATA/log, a line each: "<receiver> <code>" for a message (" <tick>\t<ms>" added for
// MSG_TICK), "<receiver> event <type> <key sym or width> <key mod or height>" for MSG_SDL_EVENT,
// "<receiver> deleted", "game screen <width> <height> <1 in full screen, else 0>" at each
// MSG_VIDEO_RESET and "game prefs <text>" for its own data read at start-up. It saves "lap 3"
// as its own data and acts on the environment:
//   SHELL_TEST_GAME_IS_ROOT=1   the game object is its own root state
//   SHELL_TEST_QUIT_AFTER_MS=T  push SDL_QUIT at each tick from T ms after SDL's start
//   SHELL_TEST_PUSH_ON_DRAW=K   at the K-th MSG_DRAW push a new state and request NEXT
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/game.h"
#include "shell/state_stack.h"

namespace {

FILE* logFile = nullptr;

void note(const char* format, auto... values) {
    std::fprintf(logFile, format, values...);
    std::fflush(logFile);
}

long envNumber(const char* name) {
    return std::getenv(name) != nullptr ? std::atol(std::getenv(name)) : 0;
}

void logMessage(const char* receiver, const Message* message) {
    const auto* e = static_cast<const SDL_Event*>(message->data);
    if (message->code == MSG_TICK) {
        note("%s 5 %u\t%u\n", receiver, message->tick, SDL_GetTicks());
    } else if (message->code != MSG_SDL_EVENT) {
        note("%s %d\n", receiver, message->code);
    } else if (e->type == SDL_KEYDOWN || e->type == SDL_KEYUP) {
        note("%s event %d %d %d\n", receiver, e->type, e->key.keysym.sym, e->key.keysym.mod);
    } else {
        note("%s event %d %d %d\n", receiver, e->type, e->resize.w, e->resize.h);
    }
}

class RecordingState : public GameState {
  public:
    explicit RecordingState(int id) : name_("state" + std::to_string(id)) {}
    ~RecordingState() override { note("%s deleted\n", name_.c_str()); }
    void handleMessage(const Message* message) override { logMessage(name_.c_str(), message); }

  private:
    std::string name_;
};

class RecordingGame : public Game {
  public:
    ~RecordingGame() override { note("game deleted\n"); }
    GameState* createFirstState() override {
        return envNumber("SHELL_TEST_GAME_IS_ROOT") == 1 ? static_cast<GameState*>(this)
                                                         : new RecordingState(states_++);
    }
    const char* prefsName() override { return "RecordingGame"; }

    void handleMessage(const Message* message) override {
        logMessage("game", message);
        auto* file = static_cast<FILE*>(message->data);
        const SDL_Surface* screen = SDL_GetVideoSurface();
        const long quitAfterMs = envNumber("SHELL_TEST_QUIT_AFTER_MS");
        char data[64] = {};
        SDL_Event quit{SDL_QUIT};
        if (message->code == MSG_VIDEO_RESET) {
            note("game screen %d %d %d\n", screen->w, screen->h,
                 (screen->flags & SDL_FULLSCREEN) ? 1 : 0);
        } else if (message->code == MSG_DRAW && ++draws_ == envNumber("SHELL_TEST_PUSH_ON_DRAW")) {
            pushState(new RecordingState(states_++));
            requestStateOp(STATE_OP_NEXT);
        } else if (message->code == MSG_TICK && quitAfterMs > 0 && SDL_GetTicks() >= quitAfterMs) {
            SDL_PushEvent(&quit);
        } else if (message->code == MSG_SAVE_PREFS) {
            std::fputs("lap 3", file);
        } else if (message->code == MSG_LOAD_PREFS) {
            std::fread(data, 1, sizeof data - 1, file);
            note("game prefs %s\n", data);
        }
    }

  private:
    int states_ = 0;
    long draws_ = 0;
};

}  // namespace

Game* createGame() {
    logFile = std::fopen((std::string(std::getenv("APPDATA")) + "/log").c_str(), "w");
    return new RecordingGame;
}
