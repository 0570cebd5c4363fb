// The arena game run headless against the recording stand-ins, call by call; empty Polygon::draw.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

#include <scrapvolt/physics/polygon.h>
#include "game/arena_game.h"
#include "tests/support/sdl_recorder.h"

using namespace scrapvolt;

namespace {

std::string numbers(std::initializer_list<float> values) {
    std::string text;
    for (char digits[32]; float value : values) {
        text.append(" ").append(digits, std::to_chars(digits, digits + 32, value).ptr);
    }
    return text;
}

// The grid's 24 segments around the camera at (cx, cy), from the rule: lines 5 apart on
// multiples of 5 around the camera snapped towards zero, vertical ones 60 long, horizontal 80.
std::string gridCalls(float cx, float cy) {
    const float gx = cx - std::fmod(cx, 5.0f), gy = cy - std::fmod(cy, 5.0f);
    std::string vertical, horizontal;
    for (float i = -30; i <= 25; i += 5) {
        vertical += numbers({gx + i, gy - 30, gx + i, gy + 30});
        horizontal += numbers({gx - 40, gy + i, gx + 40, gy + i});
    }
    return "glColor3f 0.5 0.5 0.5\nglBegin LINES\nglVertex2f" + vertical + horizontal + "\nglEnd\n";
}

// A white polygon at (x, y) turned by `degrees`, its vertices given in OpenGL's order.
std::string whitePolygon(float x, float y, float degrees, std::initializer_list<float> vertices) {
    return "glPushMatrix\nglTranslatef" + numbers({x, y, 0}) + "\nglRotatef" +
           numbers({degrees, 0, 0, 1}) + "\nglColor3f 1 1 1\nglBegin POLYGON\nglVertex2fv" +
           numbers(vertices) + "\nglEnd\nglPopMatrix\n";
}

// A frame's drawing up to the car: the camera lifted 40 above the car at (x, y) and following it,
// the grid around the car, and the car turned by `degrees`.
std::string drawingUpToTheCar(float x, float y, float degrees) {
    return "glClear COLOR|DEPTH\nglDisable TEXTURE_2D\nglColor3f 1 1 1\nglPushMatrix\n"
           "glTranslatef 0 0 40\nglPushMatrix\nglTranslatef" +
           numbers({-x, -y, 0}) + "\n" + gridCalls(x, y) +
           whitePolygon(x, y, degrees, {-1, 2, -1.4f, -2, 1.4f, -2, 1, 2});
}

using ArenaRun = RecorderTest;

// Each arrow key in turn held through the first tick. Start-up and first frame, before the tick:
// the arena drawn from above the car. Second frame: the camera has followed the car, which keeps
// its turn, and the grid has snapped to the new centre. Ticks and frames allocate nothing. A
// polygon without vertices draws nothing.
TEST_F(ArenaRun, TheArenaIsDrawnFromAboveTheCarWhichTheArrowKeysMoveAndTurn) {
    const float pi = 3.14159265f;
    const std::tuple<SDLKey, float, float> rows[] = {{SDLK_UP, 15.0f - 0.003f, pi},
                                                     {SDLK_DOWN, 15.0f + 0.003f, pi},
                                                     {SDLK_LEFT, 15.0f, pi + 0.0005f},
                                                     {SDLK_RIGHT, 15.0f, pi - 0.0005f}};
    sdlScript.frames = {{}, {}, {}};
    for (const auto& [key, y, angle] : rows) {  // the car's y and angle after the tick
        SCOPED_TRACE(testing::Message() << "key " << key);
        std::filesystem::remove(dir + "/Scrapvolt.cfg");  // a first start each time
        sdlScript.keys[key] = 1;
        const auto run = runShell();
        sdlScript.keys[key] = 0;
        ASSERT_EQ(run.frames.size(), 5u);
        // The arena's own set-up around the shell's: no stencil, the caption, no culling or depth.
        EXPECT_NE(run.frames[0].find(lines("Mix_OpenAudio 44100 32784 1 4096; SDL_GL_SetAttribute "
                                           "STENCIL_SIZE 0; SDL_WM_SetCaption Scrapvolt Scrapvolt; "
                                           "SDL_GL_SetAttribute MULTISAMPLEBUFFERS 0")),
                  std::string::npos)
            << run.frames[0];
        EXPECT_TRUE(
            run.frames[0].ends_with(lines("glEnable BLEND; glDisable CULL_FACE; glDisable "
                                          "DEPTH_TEST; SDL_GetTicks 1000; SDL_GetTicks 1000")))
            << run.frames[0];
        // The car at (1.9, 15) facing -y, the bars and the square where the arena puts them.
        EXPECT_EQ(run.frames[1],
                  "SDL_PollEvent\n" + drawingUpToTheCar(1.9f, 15, 180) +
                      whitePolygon(5, 0, 0, {10, 0.5f, 0, 4.5f, -10, 0.5f, -10, -0.5f, 10, -0.5f}) +
                      whitePolygon(20, 0, 0, {10, 0.5f, 0, 0.5f, 0, -0.5f, 10, -0.5f}) +
                      whitePolygon(0, 5, 0, {0.5f, 0.5f, -0.5f, 0.5f, -0.5f, -0.5f, 0.5f, -0.5f}) +
                      "glPopMatrix\nglPopMatrix\nSDL_GL_SwapBuffers\nSDL_GetTicks 1003\n"
                      "SDL_GetTicks 1003\nSDL_Delay 7\nSDL_GetTicks 1010\nSDL_GetKeyState\n");
        EXPECT_EQ(run.allocations, 0) << "ticks and frames allocate";
        EXPECT_NE(run.frames[2].find(drawingUpToTheCar(1.9f, y, angle * 180.0f * 0.31830987f)),
                  std::string::npos)
            << run.frames[2];
        EXPECT_EQ(std::tuple(run.status, readFile(dir + "/Scrapvolt.cfg")),
                  std::tuple(0, std::string("\0\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13)));
    }
    takeLog();
    Polygon().draw();
    EXPECT_EQ(takeLog(), "") << "a polygon without vertices draws";
}

}  // namespace

scrapvolt::Game* createGame() {
    return new ArenaGame;
}
