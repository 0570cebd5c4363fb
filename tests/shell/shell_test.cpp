// The shell's main run headless against the recording SDL and OpenGL stand-ins, with a game and
// states that record their messages into the same log; then the parts a whole run cannot reach.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>
#include <map>
#include <regex>

#include <scrapvolt/shell/resource_registry.h>
#include <scrapvolt/shell/shell_globals.h>
#include <scrapvolt/shell/state_stack.h>
#include <scrapvolt/shell/video_mode.h>

#include "event_reaction.h"
#include "frame_rate.h"
#include "mode_choice.h"
#include "preferences.h"
#include "preferences_directory.h"
#include "preferences_header.h"
#include "tick_scheduler.h"

#include "tests/support/sdl_recorder.h"

using namespace scrapvolt;

namespace {

namespace fs = std::filesystem;
using std::tuple;

bool gameIsRoot = false;
int raiseSignal = 0, raiseAt = 0;  // the states raise raiseSignal at their raiseAt-th event
// The game's moves at its n-th tick: states to push ("game": itself), then operations to ask for.
std::map<int, std::pair<std::vector<const char*>, std::vector<int32_t>>> moves;
int gameTicks = 0;
int32_t gameTickRate = 0;  // the game's own tick rate, set at MSG_STARTUP when not 0
// What the game and its states have seen (each message with its tick, each key event, the held
// Up and Left keys, the mouse motion and the tick rate at each tick, the first random number):
// the game's state hash for the journal, and hashSalt changed into it.
uint64_t seen = 0, hashSalt = 0;

void see(uint64_t value) {
    seen = (seen ^ value) * 1099511628211u;
}
uint32_t quitAtTick = 0;  // the game calls requestQuit at this tick of a run

// The game object ("game"), a state or a GL resource: each message or call as "<name> <code>", with
// the tick, the event type, and for the game the view angle, the mouse and the prefs file's offset.
struct Recorder : Game, GlResource {
    explicit Recorder(const char* name) : name(name) {}
    ~Recorder() override { record({name, "deleted"}); }
    void handleMessage(const Message* m) override {
        static const char* const names[] = {"STARTUP",     "SHUTDOWN",  "LOAD_PREFS",  "SAVE_PREFS",
                                            "VIDEO_RESET", "TICK",      "DRAW",        "ENTER",
                                            "LEAVE",       "SDL_EVENT", "CONFIGURE_GL"};
        const auto* event = static_cast<const SDL_Event*>(m->data);
        auto* file = static_cast<FILE*>(m->data);
        char data[8] = "";
        const bool game = name[0] == 'g';
        see(uint64_t(m->code) | uint64_t(m->tick) << 4);
        if (m->code == MSG_SDL_EVENT && (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP)) {
            see(uint64_t(event->type) << 36 | uint64_t(event->key.keysym.sym) << 44);
        } else if (m->code == MSG_TICK) {
            see(sdlScript.keys[SDLK_UP] | sdlScript.keys[SDLK_LEFT] << 1 |
                uint64_t(uint32_t(mouseDeltaX)) << 8 | uint64_t(tickRate) << 40);
        } else if (game && m->code == MSG_STARTUP) {
            see(uint64_t(std::rand()) << 20);
            if (gameTickRate != 0) {
                setTickRate(gameTickRate);
            }
        }
        if (m->code == MSG_TICK || m->code == MSG_SDL_EVENT) {
            record({name, names[m->code]}, {double(m->code == MSG_TICK ? m->tick : event->type)});
            // The key C switches the mouse capture setting.
            mouseCaptureEnabled ^= m->code == MSG_SDL_EVENT && event->type == SDL_KEYDOWN &&
                                   event->key.keysym.sym == SDLK_c;
            if (m->code == MSG_SDL_EVENT && raiseSignal != 0 && --raiseAt == 0) {
                std::raise(raiseSignal);
            }
        } else if (game && m->code == MSG_VIDEO_RESET) {
            record({"game VIDEO_RESET"}, {horizontalFieldOfView});
        } else if (game && m->code == MSG_DRAW) {
            record({"game DRAW"}, {double(mouseDeltaX), double(mouseDeltaY), double(mouseButtons)});
        } else if (m->code == MSG_LOAD_PREFS || m->code == MSG_SAVE_PREFS) {
            const long offset = std::ftell(file);
            if (m->code == MSG_SAVE_PREFS || std::fgets(data, sizeof data, file) == nullptr) {
                std::fputs("lap 3", file);
            }
            record({"game", names[m->code], data}, {double(offset)});
        } else {
            record({name, names[m->code]});
        }
        if (game && m->code == MSG_TICK && m->tick == quitAtTick) {
            requestQuit();
        }
        if (game && m->code == MSG_TICK && moves.count(++gameTicks) != 0) {
            for (const char* state : moves[gameTicks].first) {
                pushState(state[0] == 'g' ? this : new Recorder(state));
            }
            for (int32_t op : moves[gameTicks].second) {
                requestStateOp(op);
            }
        }
    }
    GameState* createFirstState() override {
        record({"game createFirstState"});
        return gameIsRoot ? static_cast<GameState*>(this) : new Recorder("state0");
    }
    const char* prefsName() override { return record({"game prefsName"}), "Shell"; }
    uint64_t stateHash() override { return seen ^ hashSalt; }
    void release() override { record({name, "release"}); }
    void restore() override { record({name, "restore"}); }
    const char* name;
};

SDL_Event key(SDLKey sym, int mod = KMOD_NONE) {
    return SDL_Event{.key = {SDL_KEYDOWN, 0, 0, {0, sym, SDLMod(mod), 0}}};
}
SDL_Event resize(int w, int h) {
    return SDL_Event{.resize = {SDL_VIDEORESIZE, w, h}};
}

using Shell = RecorderTest;

// Setting `mode` ("FULLSCREEN 720 480") with `samples`, then the fixed OpenGL set-up for its
// `aspect`. With an OpenGL that supports 4 samples, a mode asked with 16 is set again with 4 (SDL
// cannot scale a full screen smaller than the desktop from a buffer it cannot make).
std::string modeSet(const std::string& mode, const std::string& samples,
                    const std::string& aspect) {
    const std::string set = "SDL_SetVideoMode OPENGL|" + mode + " 0; ";
    return std::string(mode[0] == 'F' ? "SDL_ListModes NULL OPENGL|FULLSCREEN; " : "") +
           "SDL_GL_SetAttribute MULTISAMPLEBUFFERS " + (samples == "0" ? "0" : "1") +
           "; SDL_GL_SetAttribute MULTISAMPLESAMPLES " + samples + "; " + set +
           (samples == "0" ? "" : "glGetIntegerv MAX_SAMPLES; ") +
           (samples == "16" ? "SDL_GL_SetAttribute MULTISAMPLESAMPLES 4; " + set : "") +
           "glViewport 0 0 " + mode.substr(mode.find(' ') + 1) +
           "; glMatrixMode PROJECTION; glLoadIdentity; gluPerspective 45 " + aspect +
           " 0.1 400; glScalef 1 1 -1; glMatrixMode MODELVIEW; glLoadIdentity; glEnable DEPTH_TEST;"
           " glEnable CULL_FACE; glBlendFunc SRC_ALPHA ONE_MINUS_SRC_ALPHA; glEnable BLEND; ";
}

// A full-screen start from a preferences file, two frames with the mouse captured, and a quit.
TEST_F(Shell, StartUpFrameAndShutdownMakeTheirCallsAndSendTheirMessagesInOrder) {
    const std::string saved("\4\0\4\0\0\0\3\0\0\0\x80\1\0lap 3", 18);  // 1024x768, gamma 1.5
    std::ofstream(dir + "/Shell.cfg") << saved;
    sdlScript.frames = {{}, {}};
    std::tie(sdlScript.mouseX, sdlScript.mouseY, sdlScript.mouseButtons) = tuple(400, 250, 1);
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), 4u);
    EXPECT_EQ(run.frames[0],
              lines("SDL_Init 65535; SDL_GL_SetAttribute DOUBLEBUFFER 1; SDL_GL_SetAttribute "
                    "DEPTH_SIZE 32; SDL_GL_SetAttribute STENCIL_SIZE 8; SDL_GL_SetAttribute "
                    "SWAP_CONTROL 1; SDL_GL_SetAttribute ACCELERATED_VISUAL 1; Mix_OpenAudio "
                    "44100 32784 1 4096; E deleted; game CONFIGURE_GL; game createFirstState; game "
                    "prefsName; SDL_ShowCursor 0; game LOAD_PREFS lap 3 13; " +
                    modeSet("FULLSCREEN 720 480", "0", "1.5") +
                    "game STARTUP; game VIDEO_RESET 67.5; state0 VIDEO_RESET; state0 ENTER; "
                    "SDL_GetTicks 1000; SDL_GetTicks 1000"));
    // 3 ms of drawing, then a wait of 7 ms for the next tick.
    EXPECT_EQ(run.frames[2],
              lines("SDL_PollEvent; SDL_GetMouseState; SDL_WarpMouse 360 240; game DRAW 80 20 1; "
                    "state0 DRAW; SDL_GL_SwapBuffers; SDL_GetTicks 1013; SDL_GetTicks 1013; "
                    "SDL_Delay 7; SDL_GetTicks 1020; game TICK 2; state0 TICK 2"));
    // The quit: handled as any event, the capture dropped after it (the game does not enable it).
    EXPECT_TRUE(run.frames[3].starts_with(
        lines("SDL_PollEvent; SDL_ShowCursor 0; state0 SDL_EVENT 12; game DRAW 80 20 1")));
    EXPECT_EQ(tuple(run.status, run.output, run.allocations, readFile(dir + "/Shell.cfg")),
              tuple(0, "", 0L, saved));
}

// A display change to `mode`: release, mode, reset, pointer, restore, reset.
std::string change(const std::string& mode, const std::string& samples, const char* aspect,
                   const char* angle, const std::string& warp = "") {
    const std::string reset = "game VIDEO_RESET " + std::string(angle) + "; state0 VIDEO_RESET; ";
    return "R release; P release; Q release; " + modeSet(mode, samples, aspect) + reset + warp +
           "R restore; P restore; Q restore; " + reset;
}

// One frame per row from a 640x480 window, its calls up to MSG_DRAW: each event's handling through
// to the state, the poll ending them, and with the mouse captured the pointer put back at `centre`.
TEST_F(Shell, HotKeysResizesAndTheMouseCaptureMakeTheirCallsBeforeTheEventGoesOn) {
    sdlScript.maxSamples = 4;
    const SDL_Event press{SDL_MOUSEBUTTONDOWN};
    const struct {
        std::vector<SDL_Event> events;
        std::string calls;  // before the first event goes on
        int cursor;
        std::string centre = "";
    } rows[] = {
        {{key(SDLK_m, KMOD_LSHIFT)}, change("RESIZABLE 640 480", "16", "1.3333334", "60"), 1},
        {{key(SDLK_RETURN, KMOD_LALT)},
         change("FULLSCREEN 720 480", "4", "1.5", "67.5", "SDL_WarpMouse 360 240; "),
         0,
         "360 240"},
        {{resize(1024, 768)}, "", 0},  // in full screen
        {{key(SDLK_h)},
         change("FULLSCREEN 1024 768", "4", "1.3333334", "60", "SDL_WarpMouse 512 384; "),
         0,
         "512 384"},
        {{key(SDLK_f, KMOD_RMETA)}, change("RESIZABLE 640 480", "4", "1.3333334", "60"), 1},
        {{key(SDLK_m)}, change("RESIZABLE 640 480", "0", "1.3333334", "60"), 1},
        {{resize(2000, 400)}, change("RESIZABLE 2000 500", "0", "4", "180"), 1},
        {{resize(1601, 400)}, change("RESIZABLE 1601 400", "0", "4.0025", "180.1125"), 1},
        {{resize(800, 600)}, change("RESIZABLE 800 600", "0", "1.3333334", "60"), 1},
        {{resize(800, 600)}, "", 1},  // the size shown: no new mode
        // Below the smallest window, 160 x 120: each axis raised alone, then both.
        {{resize(159, 600)}, change("RESIZABLE 160 600", "0", "0.26666668", "12.000001"), 1},
        {{resize(480, 119)}, change("RESIZABLE 480 120", "0", "4", "180"), 1},
        {{resize(100, 50)}, change("RESIZABLE 160 120", "0", "1.3333334", "60"), 1},
        {{key(SDLK_b)}, "SDL_SetGamma 1.15 1.15 1.15; ", 1},
        {{key(SDLK_RETURN), key(SDLK_f), key(SDLK_h)}, "", 1},
        {{press}, "", 1},        // capture not enabled
        {{key(SDLK_c)}, "", 1},  // enables it
        {{press}, "", 0, "80 60"},
        {{SDL_Event{SDL_MOUSEMOTION}}, "", 1, "80 60"},
        {{key(SDLK_LALT, KMOD_LALT)}, "", 1, "80 60"},  // Alt alone keeps it
        {{key(SDLK_LCTRL, KMOD_LALT)}, "", 1},          // Ctrl with Alt releases it
        {{press}, "", 0, "80 60"},
        {{key(SDLK_RALT, KMOD_RCTRL)}, "", 1},  // and so does Alt with Ctrl
        {{press}, "", 0, "80 60"},
        {{SDL_Event{.active = {SDL_ACTIVEEVENT, 0, SDL_APPINPUTFOCUS}}}, "", 1},
    };
    for (const auto& row : rows) {
        sdlScript.frames.push_back(row.events);
    }
    sdlScript.frames.push_back({key(SDLK_ESCAPE)});
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), std::size(rows) + 2);
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string handled;
        for (const SDL_Event& event : rows[i].events) {
            handled += "SDL_PollEvent; " + (handled.empty() ? rows[i].calls : "") +
                       "SDL_ShowCursor " + std::to_string(rows[i].cursor) + "; state0 SDL_EVENT " +
                       std::to_string(event.type) + "; ";
        }
        const std::string& frame = run.frames[i + 1];
        const std::string centre = "; SDL_GetMouseState; SDL_WarpMouse " + rows[i].centre;
        EXPECT_EQ(frame.substr(0, frame.find("game DRAW")),
                  lines(handled + "SDL_PollEvent" + (rows[i].centre.empty() ? "" : centre)))
            << "row " << i;
    }
    // Escape on the root ends the run (the quit table holds how). Saved: 160 x 120 (the last
    // resize, raised), windowed, the high full-screen resolution, gamma 1.15, then the game's data.
    EXPECT_EQ(readFile(dir + "/Shell.cfg"),
              std::string("\1\xA0\0\0\0\x78\0\0\0\x66\x26\1\0lap 3", 18));
}
// What the game object and the states heard, and their deletion, frame by frame.
std::string messages(const ShellRun& run) {
    const auto heard = [](std::string_view line) {
        return line.starts_with("game") || line.starts_with("state") ? std::string(line) + ", "
                                                                     : "";
    };
    return pickLines(run, heard, "| ");
}

// 35 ms frames; a state change stops the frame's ticks. The game puts states 1, 2 and itself above
// state 0 and asks for NEXT three times, an unknown 7 and REMOVE, applied newest first (state 0
// goes; NEXT to state 2, to the game object on top, then no further); the current game object hears
// each message once. Escape returns to the root, state 1, counting ticks anew, deleting state 2 but
// not the game object; then state 3 is pushed, NEXT and BACK. Then the game object alone.
TEST_F(Shell, StateChangesStopTheTicksAndEscapeReturnsToTheRoot) {
    constexpr int32_t NEXT = STATE_OP_NEXT;
    std::tie(sdlScript.swapMs, sdlScript.frames) =
        tuple(35, std::vector{std::vector<SDL_Event>{}, {}, {key(SDLK_ESCAPE)}});
    moves = {{2, {{"state1", "state2", "game"}, {NEXT, NEXT, NEXT, 7, STATE_OP_REMOVE}}},
             {7, {{"state3"}, {STATE_OP_BACK, NEXT}}}};
    EXPECT_EQ(
        messages(runShell()),
        "game CONFIGURE_GL, game createFirstState, game prefsName, game STARTUP, game VIDEO_RESET "
        "60, state0 VIDEO_RESET, state0 ENTER, | game DRAW 0 0 0, state0 DRAW, game TICK 1, state0 "
        "TICK 1, game TICK 2, state0 TICK 2, state0 LEAVE, state0 deleted, game ENTER, game "
        "VIDEO_RESET 60, | game DRAW 0 0 0, game TICK 1, game TICK 2, game TICK 3, game TICK 4, | "
        "game LEAVE, state2 deleted, state1 ENTER, state1 VIDEO_RESET, state1 SDL_EVENT 2, game "
        "DRAW 0 0 0, state1 DRAW, game TICK 1, state1 TICK 1, state1 LEAVE, state3 deleted, state1 "
        "ENTER, state1 VIDEO_RESET, | state1 SDL_EVENT 12, game DRAW 0 0 0, state1 DRAW, game TICK "
        "1, state1 TICK 1, game TICK 2, state1 TICK 2, game TICK 3, state1 TICK 3, game TICK 4, "
        "state1 TICK 4, state1 LEAVE, game SAVE_PREFS  13, game SHUTDOWN, game deleted, | ");
    std::tie(sdlScript.frames, gameIsRoot) = tuple(decltype(sdlScript.frames){}, true);
    moves = {{2, {{}, {STATE_OP_NEXT, STATE_OP_BACK, STATE_OP_REMOVE}}}};  // none can be done
    EXPECT_EQ(messages(runShell()),
              "game CONFIGURE_GL, game createFirstState, game prefsName, game LOAD_PREFS lap 3 13, "
              "game STARTUP, game VIDEO_RESET 60, game ENTER, | game SDL_EVENT 12, game DRAW 0 0 "
              "0, game TICK 1, game TICK 2, game LEAVE, game ENTER, game VIDEO_RESET 60, game "
              "LEAVE, game SAVE_PREFS  13, game SHUTDOWN, game deleted, | ");
    std::tie(gameIsRoot, moves) = tuple(false, decltype(moves){});
}

// Start-ups and display changes that SDL refuses in part: the depths and modes tried, the exit
// status, the message, and the flags and width saved. Saved settings that cannot be opened give
// way to the defaults before another depth is tried; a lost mode leaves the last one that worked.
TEST_F(Shell, RefusedModesFallBackAndWithNoModeLeftTheRunEnds) {
    const std::string w = "window, ", ms = "ms window, ", d32 = "depth 32, ";
    const std::string win640("\0\x80\2\0\0", 5), win1000("\0\xE8\3\0\0", 5),
        fullScreen4000("\4\xA0\x0F\0\0\xB8\x0B\0\0\0\x80\1\0", 13),
        window1000("\0\xE8\3\0\0\xBC\2\0\0\0\0\1\0", 13);
    const tuple<const char*, std::vector<SDL_Event>, std::string, int, std::string, std::string>
        rows[] = {
            {"xxx", {}, d32 + "full, " + w + w + w, 0, win640, fullScreen4000},
            {"x", {}, d32 + w + w, 0, win640, ""},
            {"xx", {}, d32 + w + w + "depth 24, " + w, 0, win640, ""},
            {"xxxxxx", {}, d32 + w + w + "depth 24, " + w + w + "depth 16, " + w + w, 1, "", ""},
            {".x", {key(SDLK_RETURN, KMOD_RALT)}, d32 + w + "full, " + w, 0, win640, ""},
            {".x", {key(SDLK_m)}, d32 + w + ms + w, 0, win640, ""},
            {".xx", {key(SDLK_m)}, d32 + w + ms + w, 1, win640, ""},
            {".xx", {key(SDLK_m)}, d32 + w + ms + w, 1, win1000, window1000},
            {"..xx", {resize(1000, 700), resize(1200, 900)}, d32 + w + w + w + w, 1, win1000, ""},
        };
    for (const auto& [refused, events, attempts, status, saved, file] : rows) {
        std::ofstream(dir + "/Shell.cfg") << file;
        sdlScript.refused = refused;
        sdlScript.frames = {events};
        const auto run = runShell();
        const std::string tried = pickLines(run, [](std::string_view line) {
            return line.starts_with("SDL_GL_SetAttribute DEPTH")
                       ? "depth " + std::string(line.substr(31)) + ", "
                   : line.ends_with("MULTISAMPLEBUFFERS 1") ? "ms "
                   : !line.starts_with("SDL_SetVideoMode")  ? ""
                   : line.find("FULL") != std::string::npos ? "full, "
                                                            : "window, ";
        });
        EXPECT_EQ(tried, attempts) << refused;
        // The start-up leaves the pointer shown in the window (SDL starts with it shown).
        const size_t last = run.frames[0].rfind("SDL_ShowCursor ");
        const char cursor = last == std::string::npos ? '1' : run.frames[0][last + 15];
        EXPECT_EQ(tuple(run.status, run.output, readFile(dir + "/Shell.cfg").substr(0, 5), cursor),
                  tuple(status, status ? "Unable to open graphics mode!\n" : "", saved, '1'));
        EXPECT_TRUE(run.frames.back().ends_with(
            lines("game deleted; R deleted; P deleted; Q deleted; Mix_CloseAudio; SDL_Quit")));
    }
}

// A stream of events is handled at most 64 a frame, and a quit (a signal, Escape on the root, or
// the game's requestQuit) ends the run at the end of the frame it comes in, after the frame's
// ticks, saving the settings. 15 ms frames: one tick in the first, then two. A signal in the
// frame's last event is seen only as the next frame starts: that frame, polling nothing, is still
// drawn and ticked.
TEST_F(Shell, AStreamOfEventsCannotHoldUpAQuit) {
    const std::string e64(64, 'e');  // an event handled, a draw, a tick, "|" after the polls
    const tuple<int, int, SDLKey, uint32_t, std::string> rows[] = {
        {SIGHUP, 70, SDLK_k, 0, "|" + e64 + "dt|eeeeeedtt|"},
        {SIGTERM, 1, SDLK_k, 0, "|edt|"},
        {SIGINT, 64, SDLK_k, 0, "|" + e64 + "dtdtt|"},
        {0, 0, SDLK_ESCAPE, 0, "|edt|"},
        {0, 0, SDLK_k, 1, "|" + e64 + "dt|"},  // requestQuit in the first tick
        {0, 0, SDLK_k, 2, "|" + e64 + "dt|" + std::string(36, 'e') + "dtt|"}};
    for (const auto& [signal, at, first, quitTick, handled] : rows) {
        std::filesystem::remove(dir + "/Shell.cfg");
        std::tie(raiseSignal, raiseAt, quitAtTick, sdlScript.swapMs) =
            tuple(signal, at, quitTick, 15);
        sdlScript.frames = {std::vector(100, SDL_Event{SDL_MOUSEMOTION})};
        sdlScript.frames[0][0] = key(first);
        const auto run = runShell();
        const auto events = [](std::string_view line) {
            return line.starts_with("state0 SDL_EVENT") ? "e"
                   : line.starts_with("state0 DRAW")    ? "d"
                   : line.starts_with("state0 TICK")    ? "t"
                                                        : "";
        };
        EXPECT_EQ(
            tuple(pickLines(run, events, "|"), run.status, readFile(dir + "/Shell.cfg").size()),
            tuple(handled, 0, 18u))
            << signal << " " << quitTick;
    }
    std::tie(raiseSignal, quitAtTick) = tuple(0, 0);
}

// The messages but the preferences file's, which a replay neither reads nor writes, and frame ends
// (a replay polls no events).
std::string messagesButPrefs(const ShellRun& run) {
    return std::regex_replace(messages(run), std::regex("game (prefsName|\\w+_PREFS)[^,]*, |\\| "),
                              "");
}

// A run journalled at 3 ticks a second, 400 ms a frame (so one and then two ticks a frame): Up and
// Left held and released, the multisampling key, a resize, a state pushed and entered, the mouse
// captured and moved. Its replay without a window gives the game the same messages, keys, mouse
// and random numbers, so the same hash after every third tick; a game that hashes otherwise, or
// at another rate, differs at the first tick where it does, in both directions.
TEST_F(Shell, AJournalledRunReplaysToTheSameMessagesAndHashes) {
    const std::string journal = dir + "/run.journal";
    setenv("SCRAPVOLT_JOURNAL", journal.c_str(), 1);
    std::tie(gameTickRate, sdlScript.swapMs) = tuple(3, 400);
    std::tie(sdlScript.mouseX, sdlScript.mouseY) = tuple(300, 200);
    const auto up = key(SDLK_UP), left = key(SDLK_LEFT);
    const auto release = [](SDL_Event e) { return e.type = SDL_KEYUP, e.key.state = 0, e; };
    const SDL_Event click{.button = {SDL_MOUSEBUTTONDOWN, 0, 1, 1, 5, 6}};
    sdlScript.frames = {{up},
                        {},
                        {left, key(SDLK_c), click},
                        {key(SDLK_m)},
                        {release(up)},
                        {resize(800, 600)},
                        {},
                        {release(left)},
                        {},
                        {}};
    moves = {{4, {{"state1"}, {STATE_OP_NEXT}}}};
    const auto live = runShell();
    unsetenv("SCRAPVOLT_JOURNAL");
    EXPECT_LE(live.allocations, 1) << "the journal allocates (the one allowed: state1's)";
    std::fill(std::begin(sdlScript.keys), std::end(sdlScript.keys), 0);
    sdlScript.mouseX = sdlScript.mouseY = 0;
    const auto replay = runReplay(journal);
    EXPECT_EQ(tuple(replay.status, replay.errors), tuple(0, ""));
    EXPECT_EQ(messagesButPrefs(replay), messagesButPrefs(live));
    const std::string hash = " hash [0-9a-f]{16}\n";
    EXPECT_TRUE(
        std::regex_match(replay.output, std::regex("tick 3" + hash + "tick 6" + hash + "tick 9" +
                                                   hash + "tick 12" + hash + "end tick 13" + hash)))
        << replay.output;

    const tuple<int32_t, uint64_t, std::string, std::string> rows[] = {
        {3, 1, "tick 3" + hash, "at tick 3: the journal has hash " + replay.output.substr(12, 16)},
        {4, 0, "", "at tick 3: the journal has a hash where the replay took none"},
        {2, 0, "", "at tick 2: the replay took a hash where the journal has none"},
    };
    for (const auto& [rate, salt, output, why] : rows) {
        std::tie(gameTickRate, hashSalt) = tuple(rate, salt);
        const auto differing = runReplay(journal);
        EXPECT_EQ(differing.status, 1) << rate;
        EXPECT_TRUE(std::regex_match(differing.output, std::regex(output))) << differing.output;
        EXPECT_EQ(differing.errors, "Replay differs " + why + ".\n");
    }
    std::tie(gameTickRate, hashSalt) = tuple(3, 0);

    // Damaged: every cut, every byte inverted. (What each problem is called is the journal
    // format's test's and scrapvolt-replay's.)
    const std::string bytes = readFile(journal), cut = dir + "/cut";
    ASSERT_GT(bytes.size(), 100u);
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::string flipped = bytes;
        flipped[at] = char(~flipped[at]);
        for (const std::string& damaged : {bytes.substr(0, at), flipped}) {
            std::ofstream(cut, std::ios::binary) << damaged;
            const auto run = runReplay(cut);
            EXPECT_EQ(run.status, 2) << damaged.size() << " bytes, damaged at " << at;
            EXPECT_TRUE(run.errors.starts_with(cut + ": ") && run.errors.ends_with(".\n"))
                << at << ": " << run.errors;
        }
    }
    std::tie(gameTickRate, moves) = tuple(0, decltype(moves){});
}

// A game may also write the global tickRate directly, past setTickRate's guard: the scheduler
// divides by the rate, so it counts on at the last positive rate and puts that into the global.
TEST(TickScheduler, WaitsToTheNearestMillisecondThenRunsTheDueTicksKeepingTheFraction) {
    // The clock (base, remainder, last rate), the time and the rate; the due ticks, the sleep,
    // the base, the remainder and the rate.
    const tuple<TickClock, uint32_t, int32_t,
                tuple<uint32_t, uint32_t, uint32_t, uint32_t, int32_t>>
        rows[] = {
            {{1000, 0, 100}, 1003, 100, {0, 7, 1000, 0, 100}},
            {{1000, 0, 100}, 1010, 100, {1, 0, 1010, 0, 100}},
            {{1010, 0, 100}, 1030, 60, {1, 0, 1030, 200, 60}},
            {{1030, 200, 60}, 1060, 60, {2, 0, 1060, 0, 60}},
            {{1060, 0, 60}, 1060, 60, {0, 17, 1060, 0, 60}},
            {{0x10, 200, 3}, 0x10, 3, {0, 267, 0x10, 200, 3}},
            {{0xFFFFFFF0u, 0, 100}, 0x10, 100, {3, 0, 0x10, 200, 100}},
            {{1000, 0, 60}, 1010, 0, {0, 7, 1000, 0, 60}},
            {{1000, 0, 60}, 1010, -1, {0, 7, 1000, 0, 60}},
            {{1000, 0, 60}, 1010, INT32_MIN, {0, 7, 1000, 0, 60}},
            {{1000, 0, 100}, 1010, 0, {1, 0, 1010, 0, 100}},
            {{1000, 0, 60}, 1010, 1, {0, 990, 1000, 0, 1}},
            {{1000, 0, 60}, 1010, 250, {2, 0, 1010, 500, 250}},
        };
    for (const auto& [start, now, asked, expected] : rows) {
        TickClock clock = start;
        int32_t rate = asked;
        const TickDecision d = takeDueTicks(clock, now, rate);
        EXPECT_EQ(tuple(d.due, d.sleepMs, clock.tickBase, clock.tickRemainder, rate), expected)
            << now - start.tickBase << " ms at " << asked << " after " << start.rate;
        EXPECT_EQ(clock.rate, rate) << "the rate counted at";
    }
}

TEST(FrameRate, IsRecomputedOnlyAfterMoreThanHalfASecond) {
    FrameRateWindow window{.fpsBase = 1000};  // counting from no frames
    float fps = -1.0f;
    EXPECT_FALSE(countFrame(window, 1500, fps));
    EXPECT_TRUE(countFrame(window, 1501, fps));
    EXPECT_EQ(tuple(window.frameCount, window.fpsBase, fps), tuple(0, 1501u, float(2000.0 / 501)));
}

TEST(FullScreenChoice, The480LineModeElseTheLastTallerOneElseTheWindowSize) {
    const ModeSize m1600{1600, 1200}, m800{800, 600}, m720{720, 480}, m640{640, 400};
    const tuple<std::vector<ModeSize>, bool, tuple<int, int>> rows[] = {
        {{m1600, m800, m720, m640}, false, {720, 480}},
        {{m1600, m800, m720, m640}, true, {1600, 1200}},
        {{m1600, m800, m640}, false, {800, 600}},
        {{m640}, false, {777, 555}},
        {{}, true, {777, 555}},
    };
    for (const auto& [modes, highResolution, chosen] : rows) {
        const ModeSize size = chooseFullScreenSize(modes, 777, 555, highResolution);
        EXPECT_EQ(tuple(size.width, size.height), chosen) << modes.size() << " modes";
    }
}

TEST(GammaStep, NeverReaches2Point5) {
    EXPECT_EQ(tuple(nextGamma(3.0f), nextGamma(2.35f), nextGamma(1.0f)),
              tuple(1.0f, 1.0f, 0x1.266666p+0f));
}

TEST(StateStack, RefusesAStateOrAnOperationBeyondItsRoom) {
    StateStack full;
    Recorder s("s");
    for (int i = 0; i < StateStack::maxStates; ++i) {
        ASSERT_TRUE(full.pushState(&s) && full.requestStateOp(STATE_OP_NEXT));
    }
    EXPECT_FALSE(full.pushState(&s) || full.requestStateOp(STATE_OP_NEXT) ||
                 full.pushState(nullptr));
}

PrefsHeader header(uint8_t flags, uint32_t width, uint32_t height, uint32_t gamma) {
    PrefsHeader bytes{flags};
    for (int i = 0; i < 12; ++i) {
        bytes[1 + i] = uint8_t((i < 4 ? width : i < 8 ? height : gamma) >> (8 * (i % 4)));
    }
    return bytes;
}

// Loaded, then saved: a gamma in the keys' range comes back unchanged, others go into it; a window
// below 160 x 120 is raised to it, each axis alone; an implausible size is not taken (zeros).
TEST(PrefsHeader, DecodesAPlausibleWindowSizeAndTheGammaWithinTheKeysRange) {
    const std::pair<PrefsHeader, PrefsHeader> rows[] = {
        {header(0x05, 1024, 768, 65536), header(0x05, 1024, 768, 65536)},
        {header(0xFA, 1, 16384, 75366), header(0x02, 160, 16384, 75366)},
        {header(0x03, 160, 120, 0x27FFF), header(0x03, 160, 120, 0x27FFF)},
        {header(0x00, 159, 120, 0x28000), header(0x00, 160, 120, 0x27FFF)},
        {header(0x00, 160, 119, 0xFFFFFF80u), header(0x00, 160, 120, 0x27FFF)},
        {header(0x00, 16384, 1, 0xFFFF), header(0x00, 16384, 120, 0x10000)},
        {header(0x07, 0, 600, 98304), {}},
        {header(0x07, 800, 16385, 98304), {}},
        {header(0x07, 0x80000280, 600, 98304), {}},  // 640 but for its top byte
    };
    for (const auto& [bytes, saved] : rows) {
        DisplaySettings s;
        const bool taken = decodePrefsHeader(bytes, s);
        EXPECT_EQ(taken ? encodePrefsHeader(s) : PrefsHeader{}, saved)
            << testing::PrintToString(bytes);
    }
    DisplaySettings s;
    EXPECT_FALSE(decodePrefsHeader(std::span(rows[0].first).first(12), s)) << "short header";
}

TEST(PrefsDirectory, FirstKnownLocationWinsAndEndsInASeparator) {
    const std::string longest(2046, 'a'), tooLong = longest + "a", longHome(2040, 'h');
    const std::pair<PrefsLocations, std::string> rows[] = {
        {{R"(C:\Users\u\AppData\Roaming)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming/)"},
        {{"", "/x", "/h", "/e/r"}, "/x/"},
        {{nullptr, "cfg", "/home/u/", nullptr}, "/home/u/.config/"},  // relative: ignored
        {{nullptr, nullptr, "", R"(D:\games\arena\run.exe)"}, R"(D:\games\arena\)"},
        {{nullptr, nullptr, nullptr, "x/"}, "x/"},
        {{nullptr, "", "", nullptr}, ""},
        {{longest.c_str()}, longest + "/"},
        {{tooLong.c_str()}, ""},
        {{nullptr, nullptr, longHome.c_str()}, ""},  // no room for ".config/"
    };
    for (const auto& [where, expected] : rows) {  // expected empty: no directory
        char out[2048] = "stale";
        EXPECT_EQ(composePrefsDirectory(where, out), !expected.empty()) << expected;
        EXPECT_EQ(out, expected);
    }
}

// Only a writable regular file is replaced, keeping its mode, and only then is the game asked for
// its data; a stale temporary file of ours is removed. A write that fails (over the file size
// limit) keeps the old file; a path that does not fit, or leads through a file, is not written.
// Modes: of a file holding "old"; -1: a directory, -2: a dangling link, -3: a link to a device of
// the test's own (a named pipe where the test may not make one). Size: the file's afterwards.
TEST(PrefsFile, OnlyAWritableRegularFileIsReplacedKeepingItsModeAndNothingIsLeftBehind) {
    const std::string dir = makeRunDirectory(), cfg = dir + "/Shell.cfg", null = dir + "/null";
    Recorder game("game");
    LoopState loop;
    loop.game = &game;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const tuple<int, const char*, rlim_t, uintmax_t> rows[] = {
        {0600, "", RLIM_INFINITY, 18},
        {0640, "", RLIM_INFINITY, 18},
        {0444, "", RLIM_INFINITY, 3},
        {-1, "", RLIM_INFINITY, 0},
        {-2, "", RLIM_INFINITY, 0},
        {-3, "", RLIM_INFINITY, 0},
        {0600, "", 4, 3},
        {0600, "/Shell.cfg", RLIM_INFINITY, 3}};
    for (const auto& [mode, appData, sizeLimit, size] : rows) {
        SCOPED_TRACE(testing::Message() << mode << appData << " " << sizeLimit);
        fs::create_directories(dir);
        if (mode > 0) {
            std::ofstream(cfg) << "old";
            fs::permissions(cfg, fs::perms(mode));
        } else if (mode == -1) {
            fs::create_directory(cfg);
        } else {
            ASSERT_TRUE(mode == -2 || mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ||
                        mkfifo(null.c_str(), 0666) == 0);
            fs::create_symlink(mode == -2 ? dir + "/gone" : null, cfg);
        }
        for (const char* name : {".AbC123", ".keep", ".AbC1234"}) {
            std::ofstream(cfg + name) << "x";
        }
        const auto before = fs::symlink_status(cfg);
        setenv("APPDATA", (dir + appData).c_str(), 1);
        buildPreferencesPath(loop, "Shell");
        rlimit limit{sizeLimit, RLIM_INFINITY};
        takeLog();
        setrlimit(RLIMIT_FSIZE, &limit);
        savePreferences(loop);
        limit.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool asked = size == 18 || sizeLimit == 4;  // the file could be opened
        EXPECT_EQ(takeLog(), asked ? "game SAVE_PREFS  13\n" : "");
        EXPECT_EQ(fs::symlink_status(cfg), before) << "the file's type or mode changed";
        EXPECT_EQ(fs::is_regular_file(cfg) ? fs::file_size(cfg) : 0, size);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), asked ? 3 : 4 + (mode == -3));
        EXPECT_NE(fs::exists(cfg + ".AbC123"), asked) << "a stale temporary file";
        fs::remove_all(dir);
    }
    std::signal(SIGXFSZ, handler);
    // The longest path that fits with its temporary name, 2047 characters, is saved; 2048 are not.
    std::string deep = dir;
    while (deep.size() < 1800) {
        deep += "/" + std::string(200, 'd');
    }
    deep += "/" + std::string(2036 - deep.size(), 'd');
    for (const std::string& appData : {deep + "d", deep}) {
        setenv("APPDATA", appData.c_str(), 1);
        buildPreferencesPath(loop, "Shell");
        EXPECT_EQ(std::string(loop.prefsPath).size(), appData == deep ? 2047u : 0u);
        savePreferences(loop);
    }
    EXPECT_EQ(fs::file_size(deep + "/Shell.cfg"), 18u);
    fs::remove_all(dir);
}

}  // namespace

// The registry walks its buckets last to first, each list from its head: "R" (the last bucket),
// then "P" and "Q" (bucket 0). "E", added between them and refused a second bucket, deletes itself.
scrapvolt::Game* createGame() {
    auto* e = new Recorder("E");
    ResourceRegistry& r = resourceRegistry;
    r.add(new Recorder("Q"), 0), r.add(e, 0), r.add(e, 9), r.add(new Recorder("P"), 0);
    r.add(new Recorder("R"), 65535);
    delete e;
    return new Recorder("game");
}
