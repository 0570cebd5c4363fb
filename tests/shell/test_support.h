#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "shell/loop_state.h"

// "<who> <what>" entries ("<who> TICK <n>" for ticks) kept in a fixed array, so that recording
// allocates nothing while a test counts allocations.
struct Journal {
    struct Entry {
        const char *who, *what;
        uint32_t tick;
    } entries[256];
    int size = 0;

    void add(const char* who, const char* what, uint32_t tick = 0) {
        entries[size < 255 ? size++ : size] = {who, what, tick};
    }
    std::string text() const {  // the lines, joined by ", "
        std::string out;
        for (int i = 0; i < size; ++i) {
            out += std::string(i > 0 ? ", " : "") + entries[i].who + " " + entries[i].what;
            if (std::strcmp(entries[i].what, "TICK") == 0) {
                (out += ' ') += std::to_string(entries[i].tick);
            }
        }
        return out;
    }
};

// A game object or state that journals each message it receives, and its deletion as
// "DELETED", then runs onMessage if set.
struct Recorder : Game {
    Recorder(const char* name, Journal& journal) : name(name), journal(journal) {}
    ~Recorder() override { journal.add(name, "DELETED"); }
    void handleMessage(const Message* m) override {
        static const char* const names[] = {"STARTUP",     "SHUTDOWN",  "LOAD_PREFS",  "SAVE_PREFS",
                                            "VIDEO_RESET", "TICK",      "DRAW",        "ENTER",
                                            "LEAVE",       "SDL_EVENT", "CONFIGURE_GL"};
        journal.add(name, m->code >= 0 && m->code <= 10 ? names[m->code] : "?", m->tick);
        if (onMessage) {
            onMessage(m);
        }
    }
    GameState* createFirstState() override { return this; }
    const char* prefsName() override { return name; }

    const char* name;
    Journal& journal;
    std::function<void(const Message*)> onMessage;
};

// The settings as "<width>x<height>[ full][ ms][ hi] <gamma as a hex float>", exact to the bit.
inline std::string describe(const DisplaySettings& s) {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d%s%s%s %a", s.width, s.height,
                  s.fullScreen ? " full" : "", s.multisample ? " ms" : "",
                  s.highResolution ? " hi" : "", double(s.gamma));
    return text;
}

// A loop whose game object journals as "game", under SDL's dummy video driver; push() adds states
// that journal by name. The stack is emptied at the end, the game object left alone.
class ShellTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        loop.game = &game;
        connectGameStateStack(&loop.stack);
    }
    void TearDown() override {
        connectGameStateStack(nullptr);
        emptyStack();
        SDL_Quit();
    }
    void emptyStack() {
        loop.stack.current = 0;
        loop.stack.deleteStatesAboveCurrent();
        if (loop.stack.count > 0 && loop.stack.states[0] != &game) {
            delete loop.stack.states[0];
        }
        loop.stack.count = 0;
    }
    Recorder* push(const char* name) {
        auto* state = new Recorder(name, journal);
        EXPECT_TRUE(loop.stack.pushState(state)) << name;
        return state;
    }

    Journal journal;
    Recorder game{"game", journal};
    LoopState loop;
};
