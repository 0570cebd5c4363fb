// The arena game: the whole program run headless against the recording SDL and OpenGL stand-ins
// (its start-up and its frames, call by call), and the arena's bodies over many ticks.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

#include "game/arena.h"
#include "game/arena_game.h"
#include "game/arena_state.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/sdl_recorder.h"

namespace {

using std::tuple;

std::string numbers(std::initializer_list<float> values) {
    std::string text;
    for (float value : values) {
        char digits[32];
        text.append(" ").append(digits, std::to_chars(digits, digits + 32, value).ptr);
    }
    return text;
}

// The grid's 24 segments around the camera at (cx, cy), from the rule: lines 5 apart on
// multiples of 5 around the camera snapped towards zero, vertical ones 60 long, horizontal 80.
std::string gridCalls(float cx, float cy) {
    const float gx = cx - std::fmod(cx, 5.0f), gy = cy - std::fmod(cy, 5.0f);
    std::string text = "glColor3f 0.5 0.5 0.5\nglBegin LINES\nglVertex2f";
    for (float i = -30; i <= 25; i += 5) {
        text += numbers({gx + i, gy - 30, gx + i, gy + 30});
    }
    for (float i = -30; i <= 25; i += 5) {
        text += numbers({gx - 40, gy + i, gx + 40, gy + i});
    }
    return text + "\nglEnd\n";
}

// A white polygon at (x, y) turned by `degrees`, its vertices given in OpenGL's order.
std::string polygon(float x, float y, float degrees, std::initializer_list<float> vertices) {
    return "glPushMatrix\nglTranslatef" + numbers({x, y, 0}) + "\nglRotatef" +
           numbers({degrees, 0, 0, 1}) + "\nglColor3f 1 1 1\nglBegin POLYGON\nglVertex2fv" +
           numbers(vertices) + "\nglEnd\nglPopMatrix\n";
}

// The frame's drawing seen from 40 above the car at (x, y), the car turned by carDegrees.
std::string arenaFrame(float x, float y, float carDegrees) {
    return "glClear COLOR|DEPTH\nglDisable TEXTURE_2D\nglColor3f 1 1 1\nglPushMatrix\n"
           "glTranslatef 0 0 40\nglPushMatrix\nglTranslatef" +
           numbers({-x, -y, 0}) + "\n" + gridCalls(x, y) +
           polygon(x, y, carDegrees, {-1, 2, -1.4f, -2, 1.4f, -2, 1, 2}) +
           polygon(5, 0, 0, {10, 0.5f, 0, 4.5f, -10, 0.5f, -10, -0.5f, 10, -0.5f}) +
           polygon(20, 0, 0, {10, 0.5f, 0, 0.5f, 0, -0.5f, 10, -0.5f}) +
           polygon(0, 5, 0, {0.5f, 0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, -0.5f}) +
           "glPopMatrix\nglPopMatrix\n";
}

class ArenaRun : public testing::Test {
  protected:
    void SetUp() override {
        dir = makeRunDirectory();
        setenv("APPDATA", dir.c_str(), 1);
        sdlScript = SdlScript{};
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(ArenaRun, StartUpAndFirstFrameDrawTheArenaFromAboveTheCar) {
    sdlScript.frames = {{}};
    const auto run = runShell();
    ASSERT_EQ(run.frames.size(), 3u);
    EXPECT_EQ(run.frames[0],
              lines("SDL_Init 65535; SDL_GL_SetAttribute DOUBLEBUFFER 1; SDL_GL_SetAttribute "
                    "DEPTH_SIZE 32; SDL_GL_SetAttribute STENCIL_SIZE 8; SDL_GL_SetAttribute "
                    "SWAP_CONTROL 1; SDL_GL_SetAttribute ACCELERATED_VISUAL 1; Mix_OpenAudio 44100 "
                    "32784 1 4096; SDL_GL_SetAttribute STENCIL_SIZE 0; SDL_WM_SetCaption Scrapvolt "
                    "Scrapvolt; SDL_GL_SetAttribute MULTISAMPLEBUFFERS 0; SDL_GL_SetAttribute "
                    "MULTISAMPLESAMPLES 0; SDL_SetVideoMode OPENGL|RESIZABLE 640 480 0; "
                    "glViewport 0 0 640 480; glMatrixMode PROJECTION; glLoadIdentity; "
                    "gluPerspective 45 1.3333334 0.1 400; "
                    "glScalef 1 1 -1; glMatrixMode MODELVIEW; glLoadIdentity; glEnable DEPTH_TEST; "
                    "glEnable CULL_FACE; glBlendFunc SRC_ALPHA ONE_MINUS_SRC_ALPHA; glEnable "
                    "BLEND; glDisable CULL_FACE; glDisable DEPTH_TEST; SDL_GetTicks 1000; "
                    "SDL_GetTicks 1000"));
    EXPECT_EQ(run.frames[1], "SDL_PollEvent\n" + arenaFrame(1.9f, 15, 180) +
                                 "SDL_GL_SwapBuffers\nSDL_GetTicks 1003\nSDL_GetTicks 1003\n"
                                 "SDL_Delay 7\nSDL_GetTicks 1010\nSDL_GetKeyState\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(dir + "/Scrapvolt.cfg"), std::string("\0\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13));
}

// One tick with an arrow key held, then the second frame: the camera has followed the car,
// which keeps its turn; the grid has snapped to the new centre.
TEST_F(ArenaRun, ArrowKeysMoveAndTurnTheCarUnderTheCamera) {
    const float pi = 3.14159265f;
    const struct {
        SDLKey key;
        float x, y, angle;
    } rows[] = {{SDLK_UP, 1.9f, 15.0f - 0.003f, pi},
                {SDLK_DOWN, 1.9f, 15.0f + 0.003f, pi},
                {SDLK_LEFT, 1.9f, 15.0f, pi + 0.0005f},
                {SDLK_RIGHT, 1.9f, 15.0f, pi - 0.0005f}};
    for (const auto& row : rows) {
        sdlScript.keys[row.key] = 1;
        sdlScript.frames = {{}, {}};
        const auto run = runShell();
        ASSERT_EQ(run.frames.size(), 4u);
        const std::string& frame = run.frames[2];
        sdlScript.keys[row.key] = 0;
        const std::string camera = "glTranslatef" + numbers({-row.x, -row.y, 0}) + "\n";
        EXPECT_NE(
            frame.find("glTranslatef 0 0 40\nglPushMatrix\n" + camera + gridCalls(row.x, row.y) +
                       "glPushMatrix\nglTranslatef" + numbers({row.x, row.y, 0}) + "\nglRotatef" +
                       numbers({row.angle * 180.0f * 0.31830987f, 0, 0, 1})),
            std::string::npos)
            << row.key << "\n"
            << frame;
    }
}

// The bars meet each other and the square on the way, so contacts are run too.
TEST(ArenaTicks, BarsSpinTowardsTheirSteadyTurnNeverMoveAndTicksAllocateNothing) {
    ArenaState state;
    const Message enter{MSG_ENTER, 0, nullptr}, tick{MSG_TICK, 1, nullptr};
    state.handleMessage(&enter);
    state.handleMessage(&tick);  // the first step may allocate the shapes' bounds
    float longAngle = 0, shortAngle = 0, fastestLong = 0, fastestShort = 0;
    const AllocationScope scope;
    for (int i = 0; i < 3000; ++i) {
        state.handleMessage(&tick);
        const Pose l = longBar.getPose(), s = shortBar.getPose();
        ASSERT_EQ(tuple(l.x, l.y, s.x, s.y), tuple(5.0f, 0.0f, 20.0f, 0.0f)) << "tick " << i;
        fastestLong = std::max(fastestLong, l.angle - longAngle);
        fastestShort = std::min(fastestShort, s.angle - shortAngle);
        std::tie(longAngle, shortAngle) = tuple(l.angle, s.angle);
    }
    EXPECT_EQ(scope.count(), 0u);
    // The turn per tick settles at t / (1 - 0.995); meetings slow it for a while.
    EXPECT_NEAR(fastestLong, 0.02f, 2e-4f);
    EXPECT_NEAR(fastestShort, -0.03f, 2e-4f);
    takeLog();
}

}  // namespace

Game* createGame() {
    return new ArenaGame;
}
