// The shell's main run headless against the recording SDL and OpenGL stand-ins, with a game and
// states that record the messages they receive into the same log: whole start-ups, frames and
// shutdowns, hot keys and fallbacks, compared line by line.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>

#include "shell/resource_registry.h"
#include "shell/shell_globals.h"
#include "shell/state_stack.h"
#include "shell/video_mode.h"
#include "tests/support/sdl_recorder.h"
#include "tests/support/x_program.h"

namespace {

const char* const names[] = {"STARTUP",     "SHUTDOWN",  "LOAD_PREFS",  "SAVE_PREFS",
                             "VIDEO_RESET", "TICK",      "DRAW",        "ENTER",
                             "LEAVE",       "SDL_EVENT", "CONFIGURE_GL"};

struct {
    bool gameIsRoot = false;
    int32_t pushOn = -1;  // the game pushes a state and asks for NEXT at its pushAt-th such message
    int pushAt = 0;
} options;

struct Resource : GlResource {
    ~Resource() override { record({"resource", "deleted"}); }
    void release() override { record({"resource", "release"}); }
    void restore() override { record({"resource", "restore"}); }
};

// Records a message; the key C switches the game's mouse capture setting.
void note(const char* name, const Message* m) {
    const auto* event = static_cast<const SDL_Event*>(m->data);
    if (m->code == MSG_TICK || m->code == MSG_SDL_EVENT) {
        record({name, names[m->code]}, {double(m->code == MSG_TICK ? m->tick : event->type)});
    } else {
        record({name, names[m->code]});
    }
    if (m->code == MSG_SDL_EVENT && event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_c) {
        mouseCaptureEnabled = !mouseCaptureEnabled;
    }
}

struct State : GameState {
    explicit State(const char* name) : name(name) {}
    ~State() override { record({name, "deleted"}); }
    void handleMessage(const Message* m) override { note(name, m); }
    const char* name;
};

// The game object also records the view angle at each video reset, the mouse at each draw and
// the offset at which it gets the preferences file; it keeps "lap 3" there.
struct RecordingGame : Game {
    ~RecordingGame() override { record({"game", "deleted"}); }
    void handleMessage(const Message* m) override {
        auto* file = static_cast<FILE*>(m->data);
        char data[16] = {};
        if (m->code == MSG_VIDEO_RESET) {
            record({"game VIDEO_RESET"}, {horizontalFieldOfView});
        } else if (m->code == MSG_DRAW) {
            record({"game DRAW"}, {double(mouseDeltaX), double(mouseDeltaY), double(mouseButtons)});
        } else if (m->code == MSG_LOAD_PREFS || m->code == MSG_SAVE_PREFS) {
            const long offset = std::ftell(file);
            if (m->code == MSG_SAVE_PREFS || std::fgets(data, sizeof data, file) == nullptr) {
                std::fputs("lap 3", file);
            }
            record({"game", names[m->code], data}, {double(offset)});
        } else {
            note("game", m);
        }
        if (m->code == options.pushOn && --options.pushAt == 0) {
            pushState(new State("state1"));
            requestStateOp(STATE_OP_NEXT);
        }
    }
    GameState* createFirstState() override {
        record({"game createFirstState"});
        return options.gameIsRoot ? static_cast<GameState*>(this) : new State("state0");
    }
    const char* prefsName() override {
        record({"game prefsName"});
        return "Shell";
    }
};

SDL_Event key(SDLKey sym, int mod = KMOD_NONE) {
    SDL_Event e{SDL_KEYDOWN};
    e.key.keysym.sym = sym;
    e.key.keysym.mod = static_cast<SDLMod>(mod);
    return e;
}
SDL_Event resize(int w, int h) {
    SDL_Event e{SDL_VIDEORESIZE};
    e.resize.w = w;
    e.resize.h = h;
    return e;
}
const SDL_Event quit{SDL_QUIT}, click{SDL_MOUSEBUTTONDOWN}, motion{SDL_MOUSEMOTION};

std::string number(float value) {
    char text[32];
    return {text, std::to_chars(text, text + 32, value).ptr};
}

// Each test runs in a fresh preferences directory, with 1024x768, 720x480 and 640x400 listed.
class Shell : public testing::Test {
  protected:
    void SetUp() override {
        dir = makeRunDirectory();
        setenv("APPDATA", dir.c_str(), 1);
        sdlScript = SdlScript{};
        sdlScript.modes = {{0, 0, 1024, 768}, {0, 0, 720, 480}, {0, 0, 640, 400}};
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string prefs() const { return readFile(dir + "/Shell.cfg"); }
    void savePrefs(const std::string& bytes) const { std::ofstream(dir + "/Shell.cfg") << bytes; }
    std::string dir;
};

// A full-screen start from a preferences file, two frames with the mouse captured, and a quit.
TEST_F(Shell, StartUpFrameAndShutdownMakeTheirCallsAndSendTheirMessagesInOrder) {
    savePrefs(std::string("\4\0\4\0\0\0\3\0\0\0\x80\1\0lap 3", 18));  // 1024x768, gamma 1.5
    sdlScript.frames = {{}, {}};
    std::tie(sdlScript.mouseX, sdlScript.mouseY, sdlScript.mouseButtons) = std::tuple(400, 250, 1);
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), 4u);
    EXPECT_EQ(run.frames[0], lines({"SDL_Init 65535",
                                    "SDL_GL_SetAttribute DOUBLEBUFFER 1",
                                    "SDL_GL_SetAttribute DEPTH_SIZE 32",
                                    "SDL_GL_SetAttribute STENCIL_SIZE 8",
                                    "SDL_GL_SetAttribute SWAP_CONTROL 1",
                                    "SDL_GL_SetAttribute ACCELERATED_VISUAL 1",
                                    "Mix_OpenAudio 44100 32784 1 4096",
                                    "game CONFIGURE_GL",
                                    "game createFirstState",
                                    "game prefsName",
                                    "SDL_ShowCursor 0",
                                    "game LOAD_PREFS lap 3 13",
                                    "SDL_ListModes NULL OPENGL|FULLSCREEN",
                                    "SDL_GL_SetAttribute MULTISAMPLEBUFFERS 0",
                                    "SDL_GL_SetAttribute MULTISAMPLESAMPLES 0",
                                    "SDL_SetVideoMode OPENGL|FULLSCREEN 720 480 0",
                                    "glMatrixMode PROJECTION",
                                    "glLoadIdentity",
                                    "gluPerspective 45 1.5 0.1 400",
                                    "glScalef 1 1 -1",
                                    "glMatrixMode MODELVIEW",
                                    "glLoadIdentity",
                                    "glEnable DEPTH_TEST",
                                    "glEnable CULL_FACE",
                                    "glBlendFunc SRC_ALPHA ONE_MINUS_SRC_ALPHA",
                                    "glEnable BLEND",
                                    "game STARTUP",
                                    "game VIDEO_RESET 67.5",
                                    "state0 VIDEO_RESET",
                                    "state0 ENTER",
                                    "SDL_GetTicks 1000",
                                    "SDL_GetTicks 1000"}));
    // 3 ms of drawing, then a wait of 7 ms for the next tick.
    EXPECT_EQ(run.frames[2], lines({"SDL_PollEvent", "SDL_GetMouseState", "SDL_WarpMouse 360 240",
                                    "game DRAW 80 20 1", "state0 DRAW", "SDL_GL_SwapBuffers",
                                    "SDL_GetTicks 1013", "SDL_GetTicks 1013", "SDL_Delay 7",
                                    "SDL_GetTicks 1020", "game TICK 2", "state0 TICK 2"}));
    EXPECT_EQ(
        run.frames[3],
        lines({"SDL_PollEvent",     "SDL_ShowCursor 0", "state0 SDL_EVENT 12", "SDL_PollEvent",
               "game DRAW 80 20 1", "state0 DRAW",      "SDL_GL_SwapBuffers",  "SDL_GetTicks 1023",
               "SDL_GetTicks 1023", "SDL_Delay 7",      "SDL_GetTicks 1030",   "game TICK 3",
               "state0 TICK 3",     "state0 LEAVE",     "game SAVE_PREFS  13", "game SHUTDOWN",
               "game deleted",      "resource deleted", "Mix_CloseAudio",      "SDL_Quit"}));
    EXPECT_EQ(std::tuple(run.status, run.output, run.allocations), std::tuple(0, "", 0L));
    EXPECT_EQ(prefs(), std::string("\4\0\4\0\0\0\3\0\0\0\x80\1\0lap 3", 18));
}

// A display change: release, mode, reset, (pointer), restore, reset.
std::string change(const std::string& mode, const char* samples, const std::string& aspect,
                   const std::string& angle, const char* warp = nullptr) {
    const std::string reset = "game VIDEO_RESET " + angle + "\nstate0 VIDEO_RESET\n";
    return "resource release\n" +
           std::string(mode.find("FULL") != std::string::npos
                           ? "SDL_ListModes NULL OPENGL|FULLSCREEN\n"
                           : "") +
           "SDL_GL_SetAttribute MULTISAMPLEBUFFERS " + (samples[0] == '0' ? "0" : "1") +
           "\nSDL_GL_SetAttribute MULTISAMPLESAMPLES " + samples + "\nSDL_SetVideoMode " + mode +
           " 0\nglMatrixMode PROJECTION\nglLoadIdentity\ngluPerspective 45 " + aspect +
           " 0.1 400\nglScalef 1 1 -1\nglMatrixMode MODELVIEW\nglLoadIdentity\nglEnable "
           "DEPTH_TEST\nglEnable CULL_FACE\nglBlendFunc SRC_ALPHA ONE_MINUS_SRC_ALPHA\nglEnable "
           "BLEND\n" +
           reset + (warp ? std::string("SDL_WarpMouse ") + warp + "\n" : "") +
           "resource restore\n" + reset;
}

// One frame per row, from a 640x480 window; each row's calls up to the frame's MSG_DRAW.
TEST_F(Shell, HotKeysResizesAndTheMouseCapture) {
    const std::string poll = "SDL_PollEvent\n", shown = "SDL_ShowCursor 1\n",
                      hidden = "SDL_ShowCursor 0\n", held = "SDL_GetMouseState\n",
                      keyDown = "state0 SDL_EVENT 2\n", centre = "SDL_WarpMouse 400 300\n";
    std::string gammaPresses;
    for (float gamma : {0x1.4cccccp+0f, 0x1.733332p+0f, 0x1.999998p+0f, 0x1.bffffep+0f,
                        0x1.e66664p+0f, 0x1.066666p+1f, 0x1.19999ap+1f, 0x1.2ccccep+1f, 1.0f}) {
        const std::string g = number(gamma);
        gammaPresses += poll + "SDL_SetGamma " + g + " " + g + " " + g + "\n" + shown + keyDown;
    }
    const std::string window = "OPENGL|RESIZABLE ", full = "OPENGL|FULLSCREEN ";
    const struct {
        std::vector<SDL_Event> events;
        std::string calls;
    } rows[] = {
        {{key(SDLK_m, KMOD_LSHIFT)},
         poll + change(window + "640 480", "16", "1.3333334", "60") + shown + keyDown + poll},
        {{key(SDLK_RETURN, KMOD_LALT)},
         poll + change(full + "720 480", "16", "1.5", "67.5", "360 240") + hidden + keyDown + poll +
             held + "SDL_WarpMouse 360 240\n"},
        {{key(SDLK_h)},
         poll + change(full + "1024 768", "16", "1.3333334", "60", "512 384") + hidden + keyDown +
             poll + held + "SDL_WarpMouse 512 384\n"},
        {{key(SDLK_f, KMOD_RMETA)},
         poll + change(window + "640 480", "16", "1.3333334", "60") + shown + keyDown + poll},
        {{key(SDLK_m)},
         poll + change(window + "640 480", "0", "1.3333334", "60") + shown + keyDown + poll},
        {{resize(2000, 400)},
         poll + change(window + "2000 500", "0", "4", "180") + shown + "state0 SDL_EVENT 16\n" +
             poll},
        {{resize(1601, 400)},
         poll + change(window + "1601 400", "0", "4.0025", "180.1125") + shown +
             "state0 SDL_EVENT 16\n" + poll},
        {{resize(800, 600)},
         poll + change(window + "800 600", "0", "1.3333334", "60") + shown +
             "state0 SDL_EVENT 16\n" + poll},
        {{key(SDLK_b)}, poll + "SDL_SetGamma 1.15 1.15 1.15\n" + shown + keyDown + poll},
        {std::vector(9, key(SDLK_b)), gammaPresses + poll},
        {{key(SDLK_RETURN), key(SDLK_f), key(SDLK_h)},
         poll + shown + keyDown + poll + shown + keyDown + poll + shown + keyDown + poll},
        {{click}, poll + shown + "state0 SDL_EVENT 5\n" + poll},
        {{key(SDLK_c)}, poll + shown + keyDown + poll},
        {{click}, poll + hidden + "state0 SDL_EVENT 5\n" + poll + held + centre},
        {{motion}, poll + shown + "state0 SDL_EVENT 4\n" + poll + held + centre},
        {{key(SDLK_LCTRL, KMOD_LALT)}, poll + shown + keyDown + poll},
        {{click}, poll + hidden + "state0 SDL_EVENT 5\n" + poll + held + centre},
        {{SDL_Event{.active = {SDL_ACTIVEEVENT, 0, SDL_APPINPUTFOCUS}}},
         poll + shown + "state0 SDL_EVENT 1\n" + poll},
        {{key(SDLK_ESCAPE)}, poll + shown + keyDown + poll},
    };
    for (const auto& row : rows) {
        sdlScript.frames.push_back(row.events);
    }
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), std::size(rows) + 1) << lines(run.frames);
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::string& frame = run.frames[i + 1];
        EXPECT_EQ(frame.substr(0, frame.find("game DRAW")), rows[i].calls) << "row " << i;
    }
    EXPECT_EQ(run.frames.back().substr(run.frames.back().find("state0 LEAVE")),
              lines({"state0 LEAVE", "game SAVE_PREFS  13", "game SHUTDOWN", "game deleted",
                     "resource deleted", "Mix_CloseAudio", "SDL_Quit"}))
        << "Escape on the root did not end the run after its frame";
    // 800 x 600, windowed, the high full-screen resolution, gamma 1.0, then the game's data.
    EXPECT_EQ(prefs(), std::string("\1\x20\3\0\0\x58\2\0\0\0\0\1\0lap 3", 18));
}

// The messages of a run: what the game object and the states heard, and their deletion.
std::string messages(const ShellRun& run) {
    std::string heard;
    for (size_t at = 0, end; at < run.frames.size(); ++at) {
        for (size_t line = 0; line < run.frames[at].size(); line = end + 1) {
            end = run.frames[at].find('\n', line);
            const std::string text = run.frames[at].substr(line, end - line);
            heard += text.starts_with("game") || text.starts_with("state") ? text + ", " : "";
        }
        heard += "| ";
    }
    return heard;
}

// 35 ms frames: three ticks due in the first, four in the next.
TEST_F(Shell, StateChangesStopTheTicksAndEscapeReturnsToTheRoot) {
    sdlScript.swapMs = 35;
    sdlScript.frames = {{}, {}, {key(SDLK_ESCAPE)}};
    options = {false, MSG_TICK, 2};
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
    options = {true, MSG_DRAW, 5};  // the game object is its own root state
    sdlScript.frames = {};
    EXPECT_EQ(messages(runShell()),
              "game CONFIGURE_GL, game createFirstState, game prefsName, game LOAD_PREFS lap 3 13, "
              "game STARTUP, game VIDEO_RESET 60, game ENTER, | game SDL_EVENT 12, game DRAW 0 0 "
              "0, game TICK 1, game TICK 2, game TICK 3, game LEAVE, game SAVE_PREFS  13, game "
              "SHUTDOWN, game deleted, | ");
}

// Start-ups and display changes that SDL refuses in part: the modes tried, the exit status and
// output, and the settings saved.
TEST_F(Shell, RefusedModesFallBackAndWithNoModeLeftTheRunEnds) {
    const std::string window = "SDL_SetVideoMode OPENGL|RESIZABLE 640 480 0, ",
                      full = "SDL_SetVideoMode OPENGL|FULLSCREEN 720 480 0, ", ms = "ms 1, ",
                      plain = "ms 0, ", lost = "Unable to open graphics mode!\n";
    const struct {
        const char* refused;
        std::vector<SDL_Event> events;
        std::string tried;
        int status;
        int flags;  // the flags saved; -1: nothing saved
    } rows[] = {
        {"x", {}, "depth 32, " + plain + window + plain + window, 0, 0},
        {"xx",
         {},
         "depth 32, " + plain + window + plain + window + "depth 24, " + plain + window,
         0,
         0},
        {"xxxxxx",
         {},
         "depth 32, " + plain + window + plain + window + "depth 24, " + plain + window + plain +
             window + "depth 16, " + plain + window + plain + window,
         1,
         -1},
        {".x",
         {key(SDLK_RETURN, KMOD_RALT)},
         "depth 32, " + plain + window + plain + full + plain + window,
         0,
         0},
        {".x", {key(SDLK_m)}, "depth 32, " + plain + window + ms + window + plain + window, 0, 0},
        {".xx", {key(SDLK_m)}, "depth 32, " + plain + window + ms + window + plain + window, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refused);
        std::filesystem::remove(dir + "/Shell.cfg");
        sdlScript.refused = row.refused;
        sdlScript.frames = {row.events};
        const auto run = runShell();
        std::string tried, all;
        for (const std::string& frame : run.frames) {
            for (size_t at = frame.find("SDL_"); at != std::string::npos;
                 at = frame.find("SDL_", at + 1)) {
                const std::string line = frame.substr(at, frame.find('\n', at) - at);
                tried += line.starts_with("SDL_SetVideoMode") ? line + ", " : "";
                tried += line.starts_with("SDL_GL_SetAttribute DEPTH")
                             ? "depth " + line.substr(31) + ", "
                             : "";
                tried += line.starts_with("SDL_GL_SetAttribute MULTISAMPLEB")
                             ? "ms " + line.substr(39) + ", "
                             : "";
            }
            all += frame;
        }
        EXPECT_EQ(tried, row.tried);
        EXPECT_EQ(std::tuple(run.status, run.output),
                  std::tuple(row.status, row.status ? lost : ""));
        EXPECT_EQ(prefs().substr(0, 1), row.flags < 0 ? "" : std::string(1, char(row.flags)));
        EXPECT_TRUE(all.ends_with("game deleted\nresource deleted\nMix_CloseAudio\nSDL_Quit\n"))
            << all;
    }
}

}  // namespace

Game* createGame() {
    resourceRegistry.add(new Resource, 7);
    return new RecordingGame;
}
