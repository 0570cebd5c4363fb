// A game for the window tests: logs every message it and its states receive, one line each,
// "<receiver> <code> <tick> <milliseconds>", to the file named by SHELL_TEST_LOG, and acts as
// the environment tells it:
//   SHELL_TEST_GAME_IS_ROOT=1        the game object is its own root state
//   SHELL_TEST_QUIT_AFTER_TICKS=N    push SDL_QUIT when the game object has had N ticks (counted
//                                    from its push, when SHELL_TEST_PUSH_ON_DRAW is given)
//   SHELL_TEST_QUIT_AFTER_MS=T       push SDL_QUIT at the first tick T ms after MSG_STARTUP
//   SHELL_TEST_PUSH_ON_DRAW=K        at the K-th MSG_DRAW push a new state and request NEXT
//   SHELL_TEST_LOG_GL=1              at MSG_VIDEO_RESET log the GL state the game object finds
//   SHELL_TEST_PREFS_DATA=text       the game's own data, written behind the preferences header
// Deletions are logged as "<receiver> deleted"; every MSG_SDL_EVENT is followed by a note
// "<receiver> event <type> <key sym or width> <key mod or height>", every MSG_VIDEO_RESET to the
// game by "game screen <width> <height> <1 in full screen, else 0>", and the game data read at
// start-up by "game prefs <text>".
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "shell/game.h"
#include "shell/state_stack.h"

namespace {

FILE* logFile = nullptr;

long envNumber(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0;
}

void logEvent(const char* receiver, const SDL_Event* event) {
    int first = 0;
    int second = 0;
    if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
        first = event->key.keysym.sym;
        second = event->key.keysym.mod;
    } else if (event->type == SDL_VIDEORESIZE) {
        first = event->resize.w;
        second = event->resize.h;
    }
    std::fprintf(logFile, "%s event %d %d %d\n", receiver, event->type, first, second);
}

void logLine(const char* receiver, const Message* message) {
    if (logFile != nullptr) {
        std::fprintf(logFile, "%s %d %u %u\n", receiver, message->code, message->tick,
                     SDL_GetTicks());
        if (message->code == MSG_SDL_EVENT) {
            logEvent(receiver, static_cast<const SDL_Event*>(message->data));
        }
        std::fflush(logFile);
    }
}

void logText(const char* receiver, const char* text) {
    if (logFile != nullptr) {
        std::fprintf(logFile, "%s %s\n", receiver, text);
        std::fflush(logFile);
    }
}

void logGlState() {
    if (logFile == nullptr) {
        return;
    }
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    std::fprintf(logFile, "gl projection");
    for (GLfloat value : projection) {
        std::fprintf(logFile, " %.9g", value);
    }
    GLint src = 0;
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    std::fprintf(logFile, "\ngl state %d %d %d %d %d\n", glIsEnabled(GL_DEPTH_TEST),
                 glIsEnabled(GL_CULL_FACE), glIsEnabled(GL_BLEND), src, dst);
    std::fflush(logFile);
}

void requestQuit() {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

class RecordingState : public GameState {
  public:
    explicit RecordingState(int id) { std::snprintf(name_, sizeof name_, "state%d", id); }
    ~RecordingState() override { logText(name_, "deleted"); }
    void handleMessage(const Message* message) override { logLine(name_, message); }

  private:
    char name_[16];
};

class RecordingGame : public Game {
  public:
    RecordingGame()
        : isRoot_(envNumber("SHELL_TEST_GAME_IS_ROOT") == 1),
          quitAfterTicks_(envNumber("SHELL_TEST_QUIT_AFTER_TICKS")),
          quitAfterMs_(envNumber("SHELL_TEST_QUIT_AFTER_MS")),
          pushOnDraw_(envNumber("SHELL_TEST_PUSH_ON_DRAW")),
          logGl_(envNumber("SHELL_TEST_LOG_GL") == 1),
          countingTicks_(pushOnDraw_ == 0) {}
    ~RecordingGame() override { logText("game", "deleted"); }

    GameState* createFirstState() override {
        return isRoot_ ? static_cast<GameState*>(this) : new RecordingState(statesMade_++);
    }
    const char* prefsName() override { return "RecordingGame"; }

    void handleMessage(const Message* message) override {
        logLine("game", message);
        switch (message->code) {
            case MSG_STARTUP:
                startMs_ = SDL_GetTicks();
                break;
            case MSG_VIDEO_RESET:
                logScreen();
                if (logGl_) {
                    logGlState();
                }
                break;
            case MSG_DRAW:
                onDraw();
                break;
            case MSG_TICK:
                onTick();
                break;
            case MSG_SAVE_PREFS:
                savePrefsData(static_cast<FILE*>(message->data));
                break;
            case MSG_LOAD_PREFS:
                loadPrefsData(static_cast<FILE*>(message->data));
                break;
            default:
                break;
        }
    }

  private:
    static void logScreen() {
        const SDL_Surface* screen = SDL_GetVideoSurface();
        if (logFile != nullptr && screen != nullptr) {
            std::fprintf(logFile, "game screen %d %d %d\n", screen->w, screen->h,
                         (screen->flags & SDL_FULLSCREEN) != 0 ? 1 : 0);
            std::fflush(logFile);
        }
    }

    static void savePrefsData(FILE* stream) {
        if (const char* data = std::getenv("SHELL_TEST_PREFS_DATA")) {
            std::fputs(data, stream);
        }
    }

    static void loadPrefsData(FILE* stream) {
        char text[256] = {};
        const size_t length = std::fread(text, 1, sizeof text - 1, stream);
        text[length] = '\0';
        if (logFile != nullptr) {
            std::fprintf(logFile, "game prefs %s\n", text);
            std::fflush(logFile);
        }
    }

    void onDraw() {
        if (++draws_ == pushOnDraw_) {
            pushState(new RecordingState(statesMade_++));
            requestStateOp(STATE_OP_NEXT);
            countingTicks_ = true;
        }
    }

    void onTick() {
        if (!countingTicks_) {
            return;
        }
        ++ticks_;
        const bool tickLimit = quitAfterTicks_ > 0 && ticks_ == quitAfterTicks_;
        const bool timeLimit = quitAfterMs_ > 0 && !quitSent_ &&
                               static_cast<long>(SDL_GetTicks() - startMs_) >= quitAfterMs_;
        if (tickLimit || timeLimit) {
            quitSent_ = true;
            requestQuit();
        }
    }

    bool isRoot_;
    long quitAfterTicks_;
    long quitAfterMs_;
    long pushOnDraw_;
    bool logGl_;
    bool countingTicks_;
    int statesMade_ = 0;
    long draws_ = 0;
    long ticks_ = 0;
    Uint32 startMs_ = 0;
    bool quitSent_ = false;
};

}  // namespace

Game* createGame() {
    if (const char* path = std::getenv("SHELL_TEST_LOG")) {
        logFile = std::fopen(path, "w");
    }
    return new RecordingGame;
}
