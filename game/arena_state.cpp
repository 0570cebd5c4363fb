#include "game/arena_state.h"

#include <GL/gl.h>
#include <SDL.h>

#include <scrapvolt/shell/shell_globals.h>
#include "game/arena.h"
#include "game/grid.h"

using namespace scrapvolt;

using namespace scrapvolt;

namespace {

HeldKeys readHeldKeys() {
    const Uint8* keys = SDL_GetKeyState(nullptr);
    HeldKeys held;
    held.left = keys[SDLK_LEFT] != 0;
    held.right = keys[SDLK_RIGHT] != 0;
    held.down = keys[SDLK_DOWN] != 0;
    held.up = keys[SDLK_UP] != 0;
    return held;
}

// Black background, grey grid, white bodies, seen from 40 units above the car; the camera
// follows the car's position but not its turning.
void drawArena() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, 40.0f);
    const Pose& pose = car.getPose();  // shared record: copy out at once
    const float px = pose.x;
    const float py = pose.y;
    glPushMatrix();
    glTranslatef(-px, -py, 0.0f);
    drawGrid(px, py);
    carPolygon.draw();
    longBarPolygon.draw();
    shortBarPolygon.draw();
    squarePolygon.draw();
    glPopMatrix();
    glPopMatrix();
}

}  // namespace

void ArenaState::handleMessage(const Message* message) {
    switch (message->code) {
        case MSG_ENTER:
            buildArena();
            break;
        case MSG_TICK:
            tickArena(readHeldKeys(), getTickRate());
            break;
        case MSG_DRAW:
            drawArena();
            break;
        default:
            break;
    }
}
