// The shell's main run headless against the recording SDL and OpenGL stand-ins, with a game and
// states that record the messages they receive into the same log: whole start-ups, frames and
// shutdowns, hot keys, state changes and refused modes, compared call by call.
#include <gtest/gtest.h>

#include <csignal>

#include "shell/resource_registry.h"
#include "shell/shell_globals.h"
#include "shell/state_stack.h"
#include "shell/video_mode.h"
#include "tests/support/sdl_recorder.h"

namespace {

bool gameIsRoot = false;
int32_t pushOn = -1, pushAt = 0;   // the game pushes a state and asks for NEXT at its pushAt-th
int raiseSignal = 0, raiseAt = 0;  // the states raise raiseSignal at their raiseAt-th event

// The game object ("game") and states: each message as "<name> <code name>", with the tick, the
// event type, and for the game the view angle, the mouse and the preferences file's offset.
struct Recorder : Game {
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
        if (game && m->code == pushOn && --pushAt == 0) {
            pushState(new Recorder("state1"));
            requestStateOp(STATE_OP_NEXT);
        }
    }
    GameState* createFirstState() override {
        record({"game createFirstState"});
        return gameIsRoot ? static_cast<GameState*>(this) : new Recorder("state0");
    }
    const char* prefsName() override {
        record({"game prefsName"});
        return "Shell";
    }
    const char* name;
};

struct Resource : GlResource {
    ~Resource() override { record({"resource deleted"}); }
    void release() override { record({"resource release"}); }
    void restore() override { record({"resource restore"}); }
};

SDL_Event key(SDLKey sym, int mod = KMOD_NONE) {
    SDL_Event e{SDL_KEYDOWN};
    std::tie(e.key.keysym.sym, e.key.keysym.mod) = std::tuple(sym, SDLMod(mod));
    return e;
}
SDL_Event resize(int w, int h) {
    SDL_Event e{SDL_VIDEORESIZE};
    std::tie(e.resize.w, e.resize.h) = std::tuple(w, h);
    return e;
}

// Each test runs in a fresh preferences directory, with 1024x768, 720x480 and 640x400 listed.
class Shell : public testing::Test {
  protected:
    void SetUp() override {
        setenv("APPDATA", dir.c_str(), 1);
        sdlScript = SdlScript{};
        sdlScript.modes = {{0, 0, 1024, 768}, {0, 0, 720, 480}, {0, 0, 640, 400}};
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string prefs() const { return readFile(dir + "/Shell.cfg"); }
    const std::string dir = makeRunDirectory();
};

// The fixed OpenGL set-up for a mode of `size` ("640 480") and `aspect`.
std::string glFor(const std::string& size, const std::string& aspect) {
    return "glViewport 0 0 " + size +
           "; glMatrixMode PROJECTION; glLoadIdentity; gluPerspective 45 " + aspect +
           " 0.1 400; glScalef 1 1 -1; glMatrixMode MODELVIEW; glLoadIdentity; glEnable " +
           "DEPTH_TEST; glEnable CULL_FACE; glBlendFunc SRC_ALPHA ONE_MINUS_SRC_ALPHA; glEnable "
           "BLEND; ";
}

// A full-screen start from a preferences file, two frames with the mouse captured, and a quit.
TEST_F(Shell, StartUpFrameAndShutdownMakeTheirCallsAndSendTheirMessagesInOrder) {
    const std::string saved("\4\0\4\0\0\0\3\0\0\0\x80\1\0lap 3", 18);  // 1024x768, gamma 1.5
    std::ofstream(dir + "/Shell.cfg") << saved;
    sdlScript.frames = {{}, {}};
    std::tie(sdlScript.mouseX, sdlScript.mouseY, sdlScript.mouseButtons) = std::tuple(400, 250, 1);
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), 4u);
    EXPECT_EQ(run.frames[0],
              lines("SDL_Init 65535; SDL_GL_SetAttribute DOUBLEBUFFER 1; SDL_GL_SetAttribute "
                    "DEPTH_SIZE 32; SDL_GL_SetAttribute STENCIL_SIZE 8; SDL_GL_SetAttribute "
                    "SWAP_CONTROL 1; SDL_GL_SetAttribute ACCELERATED_VISUAL 1; Mix_OpenAudio "
                    "44100 32784 1 4096; game CONFIGURE_GL; game createFirstState; game "
                    "prefsName; SDL_ShowCursor 0; game LOAD_PREFS lap 3 13; SDL_ListModes NULL "
                    "OPENGL|FULLSCREEN; SDL_GL_SetAttribute MULTISAMPLEBUFFERS 0; "
                    "SDL_GL_SetAttribute MULTISAMPLESAMPLES 0; SDL_SetVideoMode OPENGL|FULLSCREEN "
                    "720 480 0; " +
                    glFor("720 480", "1.5") +
                    "game STARTUP; game VIDEO_RESET 67.5; state0 VIDEO_RESET; state0 ENTER; "
                    "SDL_GetTicks 1000; SDL_GetTicks 1000"));
    // 3 ms of drawing, then a wait of 7 ms for the next tick.
    EXPECT_EQ(run.frames[2],
              lines("SDL_PollEvent; SDL_GetMouseState; SDL_WarpMouse 360 240; game DRAW 80 20 1; "
                    "state0 DRAW; SDL_GL_SwapBuffers; SDL_GetTicks 1013; SDL_GetTicks 1013; "
                    "SDL_Delay 7; SDL_GetTicks 1020; game TICK 2; state0 TICK 2"));
    EXPECT_EQ(run.frames[3],
              lines("SDL_PollEvent; SDL_ShowCursor 0; state0 SDL_EVENT 12; game "
                    "DRAW 80 20 1; state0 DRAW; SDL_GL_SwapBuffers; SDL_GetTicks 1023; "
                    "SDL_GetTicks 1023; SDL_Delay 7; SDL_GetTicks 1030; game TICK 3; state0 TICK "
                    "3; state0 LEAVE; game SAVE_PREFS  13; game SHUTDOWN; game deleted; resource "
                    "deleted; Mix_CloseAudio; SDL_Quit"));
    EXPECT_EQ(std::tuple(run.status, run.output, run.allocations, prefs()),
              std::tuple(0, "", 0L, saved));
}

// A display change to `mode` ("FULLSCREEN 720 480"): release, mode, reset, pointer, restore,
// reset.
std::string change(const std::string& mode, const char* samples, const char* aspect,
                   const char* angle, const std::string& warp = "") {
    const std::string reset = "game VIDEO_RESET " + std::string(angle) + "; state0 VIDEO_RESET; ";
    return "resource release; " +
           std::string(mode[0] == 'F' ? "SDL_ListModes NULL OPENGL|FULLSCREEN; " : "") +
           "SDL_GL_SetAttribute MULTISAMPLEBUFFERS " + (samples[0] == '0' ? "0" : "1") +
           "; SDL_GL_SetAttribute MULTISAMPLESAMPLES " + samples + "; SDL_SetVideoMode OPENGL|" +
           mode + " 0; " + (samples[0] == '0' ? "" : "glGetIntegerv MAX_SAMPLES; ") +
           glFor(mode.substr(mode.find(' ') + 1), aspect) + reset + warp + "resource restore; " +
           reset;
}

// One frame per row, from a 640x480 window; each row's calls up to the frame's MSG_DRAW.
TEST_F(Shell, HotKeysResizesAndTheMouseCaptureMakeTheirCallsBeforeTheEventGoesOn) {
    // The calls of one event's handling, through to the state, then the end of the polling.
    const auto handled = [](const std::string& calls, int cursor, int type = SDL_KEYDOWN) {
        return "SDL_PollEvent; " + calls + "SDL_ShowCursor " + std::to_string(cursor) +
               "; state0 SDL_EVENT " + std::to_string(type) + "; ";
    };
    const std::string poll = "SDL_PollEvent", held = "; SDL_GetMouseState; SDL_WarpMouse ";
    std::string pressesOfB;  // +0.15 a press, and back to 1 from 2.5 on
    for (const std::string g : {"1.15", "1.3", "1.4499999", "1.5999999", "1.7499999", "1.8999999",
                                "2.05", "2.2", "2.3500001", "1"}) {
        pressesOfB += handled("SDL_SetGamma " + g + " " + g + " " + g + "; ", 1);
    }
    const struct {
        std::vector<SDL_Event> events;
        std::string calls;
    } rows[] = {
        {{key(SDLK_m, KMOD_LSHIFT)},
         handled(change("RESIZABLE 640 480", "16", "1.3333334", "60"), 1) + poll},
        {{key(SDLK_RETURN, KMOD_LALT)},
         handled(change("FULLSCREEN 720 480", "16", "1.5", "67.5", "SDL_WarpMouse 360 240; "), 0) +
             poll + held + "360 240"},
        {{resize(1024, 768)}, handled("", 0, 16) + poll},  // in full screen
        {{key(SDLK_h)},
         handled(change("FULLSCREEN 1024 768", "16", "1.3333334", "60", "SDL_WarpMouse 512 384; "),
                 0) +
             poll + held + "512 384"},
        {{key(SDLK_f, KMOD_RMETA)},
         handled(change("RESIZABLE 640 480", "16", "1.3333334", "60"), 1) + poll},
        {{key(SDLK_m)}, handled(change("RESIZABLE 640 480", "0", "1.3333334", "60"), 1) + poll},
        {{resize(2000, 400)}, handled(change("RESIZABLE 2000 500", "0", "4", "180"), 1, 16) + poll},
        {{resize(1601, 400)},
         handled(change("RESIZABLE 1601 400", "0", "4.0025", "180.1125"), 1, 16) + poll},
        {{resize(800, 600)},
         handled(change("RESIZABLE 800 600", "0", "1.3333334", "60"), 1, 16) + poll},
        {{resize(800, 600)}, handled("", 1, 16) + poll},  // the size shown: no new mode
        {std::vector(10, key(SDLK_b)), pressesOfB + poll},
        {{key(SDLK_RETURN), key(SDLK_f), key(SDLK_h)},
         handled("", 1) + handled("", 1) + handled("", 1) + poll},
        {{SDL_Event{SDL_MOUSEBUTTONDOWN}}, handled("", 1, 5) + poll},  // capture not enabled
        {{key(SDLK_c)}, handled("", 1) + poll},                        // enables it
        {{SDL_Event{SDL_MOUSEBUTTONDOWN}}, handled("", 0, 5) + poll + held + "400 300"},
        {{SDL_Event{SDL_MOUSEMOTION}}, handled("", 1, 4) + poll + held + "400 300"},
        {{key(SDLK_LCTRL, KMOD_LALT)}, handled("", 1) + poll},
        {{SDL_Event{SDL_MOUSEBUTTONDOWN}}, handled("", 0, 5) + poll + held + "400 300"},
        {{SDL_Event{.active = {SDL_ACTIVEEVENT, 0, SDL_APPINPUTFOCUS}}}, handled("", 1, 1) + poll},
        {{key(SDLK_ESCAPE)},
         "SDL_PollEvent; SDL_ShowCursor 1; state0 SDL_EVENT 2"},  // no more polls
    };
    for (const auto& row : rows) {
        sdlScript.frames.push_back(row.events);
    }
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), std::size(rows) + 1);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::string& frame = run.frames[i + 1];
        EXPECT_EQ(frame.substr(0, frame.find("game DRAW")), lines(rows[i].calls)) << "row " << i;
    }
    // Escape on the root ends the run after its frame. Saved: 800 x 600, windowed, the high
    // full-screen resolution, gamma 1.0, then the game's data.
    EXPECT_TRUE(
        run.frames.back().ends_with(lines("state0 LEAVE; game SAVE_PREFS  13; game "
                                          "SHUTDOWN; game deleted; resource deleted; "
                                          "Mix_CloseAudio; SDL_Quit")));
    EXPECT_EQ(prefs(), std::string("\1\x20\3\0\0\x58\2\0\0\0\0\1\0lap 3", 18));
}

// An OpenGL that supports 4 samples: the first multisampled mode is set again with 4 (SDL
// cannot scale a full screen smaller than the desktop from a buffer it cannot make), and later
// ones ask for 4 at once.
TEST_F(Shell, MultisamplingAsksForNoMoreSamplesThanTheContextSupports) {
    std::tie(sdlScript.maxSamples, sdlScript.frames) = std::tuple(
        4, std::vector<std::vector<SDL_Event>>{{key(SDLK_m)}, {key(SDLK_m)}, {key(SDLK_m)}});
    const std::string modes = pickLines(runShell(), [](std::string_view line) {
        const bool kept = line.starts_with("SDL_GL_SetAttribute MULTISAMPLESAMPLES") ||
                          line.starts_with("SDL_SetVideoMode") || line.starts_with("glGet");
        return kept ? std::string(line.substr(line.rfind(' ') + 1)) + " " : "";
    });
    EXPECT_EQ(modes, "0 0 16 0 MAX_SAMPLES 4 0 0 0 4 0 MAX_SAMPLES ");  // samples, bpp
}

// What the game object and the states heard, and their deletion, frame by frame.
std::string messages(const ShellRun& run) {
    return pickLines(
        run,
        [](std::string_view line) {
            return line.starts_with("game") || line.starts_with("state") ? std::string(line) + ", "
                                                                         : "";
        },
        "| ");
}

// 35 ms frames: three ticks are due in the first, four in the next.
TEST_F(Shell, StateChangesStopTheTicksAndEscapeReturnsToTheRoot) {
    std::tie(sdlScript.swapMs, sdlScript.frames, pushOn, pushAt) =
        std::tuple(35, std::vector{std::vector<SDL_Event>{}, {}, {key(SDLK_ESCAPE)}}, MSG_TICK, 2);
    EXPECT_EQ(messages(runShell()),
              "game CONFIGURE_GL, game createFirstState, game prefsName, game STARTUP, game "
              "VIDEO_RESET 60, state0 VIDEO_RESET, state0 ENTER, | game DRAW 0 0 0, state0 DRAW, "
              "game TICK 1, state0 TICK 1, game TICK 2, state0 TICK 2, state0 LEAVE, state1 ENTER, "
              "state1 VIDEO_RESET, | game DRAW 0 0 0, state1 DRAW, game TICK 1, state1 TICK 1, "
              "game TICK 2, state1 TICK 2, game TICK 3, state1 TICK 3, game TICK 4, state1 TICK 4, "
              "| state1 LEAVE, state1 deleted, state0 ENTER, state0 VIDEO_RESET, state0 SDL_EVENT "
              "2, game DRAW 0 0 0, state0 DRAW, game TICK 1, state0 TICK 1, game TICK 2, state0 "
              "TICK 2, game TICK 3, state0 TICK 3, | state0 SDL_EVENT 12, game DRAW 0 0 0, state0 "
              "DRAW, game TICK 4, state0 TICK 4, game TICK 5, state0 TICK 5, game TICK 6, state0 "
              "TICK 6, game TICK 7, state0 TICK 7, state0 LEAVE, game SAVE_PREFS  13, game "
              "SHUTDOWN, game deleted, | ");
    std::tie(sdlScript.frames, gameIsRoot) =
        std::tuple(std::vector<std::vector<SDL_Event>>{}, true);
    pushOn = -1;
    EXPECT_EQ(messages(runShell()),
              "game CONFIGURE_GL, game createFirstState, game prefsName, game LOAD_PREFS lap 3 13, "
              "game STARTUP, game VIDEO_RESET 60, game ENTER, | game SDL_EVENT 12, game DRAW 0 0 "
              "0, game TICK 1, game TICK 2, game TICK 3, game LEAVE, game SAVE_PREFS  13, game "
              "SHUTDOWN, game deleted, | ");
    gameIsRoot = false;
}

// Start-ups and display changes that SDL refuses in part: the depths and modes tried, the exit
// status, the message, and the flags and width saved. Saved settings that cannot be opened give
// way to the defaults before another depth is tried; a lost mode leaves the last one that worked.
TEST_F(Shell, RefusedModesFallBackAndWithNoModeLeftTheRunEnds) {
    const std::string w = "window, ", ms = "ms window, ", d32 = "depth 32, ";
    const std::string win640("\0\x80\2\0\0", 5), win1000("\0\xE8\3\0\0", 5),
        fullScreen4000("\4\xA0\x0F\0\0\xB8\x0B\0\0\0\x80\1\0", 13),
        window1000("\0\xE8\3\0\0\xBC\2\0\0\0\0\1\0", 13);
    const struct {
        const char* refused;
        std::vector<SDL_Event> events;
        std::string tried;
        int status;
        std::string saved;  // the flags and the width
        std::string file;   // the saved settings at the start
    } rows[] = {
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
    for (const auto& row : rows) {
        std::ofstream(dir + "/Shell.cfg") << row.file;
        sdlScript.refused = row.refused;
        sdlScript.frames = {row.events};
        const auto run = runShell();
        const std::string tried = pickLines(run, [](std::string_view line) {
            return line.starts_with("SDL_GL_SetAttribute DEPTH")
                       ? "depth " + std::string(line.substr(31)) + ", "
                   : line.ends_with("MULTISAMPLEBUFFERS 1") ? "ms "
                   : !line.starts_with("SDL_SetVideoMode")  ? ""
                   : line.find("FULL") != std::string::npos ? "full, "
                                                            : "window, ";
        });
        EXPECT_EQ(tried, row.tried) << row.refused;
        EXPECT_EQ(
            std::tuple(run.status, run.output, prefs().substr(0, 5)),
            std::tuple(row.status, row.status ? "Unable to open graphics mode!\n" : "", row.saved));
        EXPECT_TRUE(run.frames.back().ends_with(
            lines("game deleted; resource deleted; Mix_CloseAudio; SDL_Quit")));
    }
}

// A stream of events is handled at most 64 a frame, and a quit (a signal, or Escape on the
// root) ends the run at the end of the frame it comes in, saving the settings.
TEST_F(Shell, AStreamOfEventsCannotHoldUpAQuit) {
    const struct {
        int signal, at;
        SDLKey first;
        std::vector<size_t> handled;  // events a frame
    } rows[] = {{SIGHUP, 70, SDLK_k, {0, 64, 6}},
                {SIGTERM, 1, SDLK_k, {0, 1}},
                {SIGINT, 64, SDLK_k, {0, 64}},
                {0, 0, SDLK_ESCAPE, {0, 1}}};
    for (const auto& row : rows) {
        std::filesystem::remove(dir + "/Shell.cfg");
        std::tie(raiseSignal, raiseAt) = std::tuple(row.signal, row.at);
        sdlScript.frames = {std::vector(100, SDL_Event{SDL_MOUSEMOTION})};
        sdlScript.frames[0][0] = key(row.first);
        const auto run = runShell();
        std::string handled;  // "|" ends a frame, "e" an event handled
        for (size_t count : row.handled) {
            handled += std::string(count, 'e') + "|";
        }
        const auto events = [](std::string_view line) {
            return line.starts_with("state0 SDL_EVENT") ? "e" : "";
        };
        EXPECT_EQ(std::tuple(pickLines(run, events, "|"), run.status, prefs().size()),
                  std::tuple(handled, 0, 18u))
            << row.signal;
    }
    raiseSignal = 0;
}

}  // namespace

Game* createGame() {
    resourceRegistry.add(new Resource, 7);
    return new Recorder("game");
}
