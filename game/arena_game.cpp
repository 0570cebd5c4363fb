#include "game/arena_game.h"

#include <GL/gl.h>
#include <SDL.h>

#include <scrapvolt/shell/shell_globals.h>
#include "game/arena.h"
#include "game/arena_state.h"

using namespace scrapvolt;

namespace {

constexpr const char* title = "Scrapvolt";

}  // namespace

void ArenaGame::handleMessage(const Message* message) {
    switch (message->code) {
        case MSG_CONFIGURE_GL:
            // Before any video mode: no stencil buffer for any mode of the run, and a window
            // named after the game.
            SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
            SDL_WM_SetCaption(title, title);
            break;
        case MSG_STARTUP:
            setTickRate(100);
            break;
        case MSG_VIDEO_RESET:
            // The arena draws flat, back to front: undo the mode set-up's culling and depth test.
            glDisable(GL_CULL_FACE);
            glDisable(GL_DEPTH_TEST);
            break;
        default:
            break;
    }
}

GameState* ArenaGame::createFirstState() {
    return new ArenaState;
}

const char* ArenaGame::prefsName() {
    return title;
}

uint64_t ArenaGame::stateHash() {
    return arenaHash();
}
