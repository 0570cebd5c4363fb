#pragma once

#include <cstdint>

namespace scrapvolt {

// Message codes the shell sends to the game object and to the current state.
enum : int32_t {
    MSG_STARTUP = 0,
    MSG_SHUTDOWN = 1,
    MSG_LOAD_PREFS = 2,
    MSG_SAVE_PREFS = 3,
    MSG_VIDEO_RESET = 4,
    MSG_TICK = 5,
    MSG_DRAW = 6,
    MSG_ENTER = 7,
    MSG_LEAVE = 8,
    MSG_SDL_EVENT = 9,
    MSG_CONFIGURE_GL = 10,
};

// The one record through which the shell sends every message; valid only during the call.
struct Message {
    int32_t code;
    uint32_t tick;  // for MSG_TICK: ticks since the current state became current, from 1
    void* data;     // FILE* for the preference messages, SDL_Event* for MSG_SDL_EVENT
};

}  // namespace scrapvolt
