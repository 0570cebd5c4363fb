#pragma once

#include <cstdint>

namespace scrapvolt {

/// Message codes the shell sends. A broadcast goes to the game object first, then to the current
/// state when that is another object; so the game object receives every MSG_TICK and MSG_DRAW
/// before the state. Messages "to the state" go to the current state only, even when it is the
/// game object; the game object never receives them otherwise.
enum : int32_t {
    /// Game object, once, after the first video mode has been set.
    MSG_STARTUP = 0,
    /// Game object, once, last: after MSG_LEAVE to the state and the preferences saved.
    MSG_SHUTDOWN = 1,
    /// Game object, at start-up when the preferences file opened: `data` is its FILE*, positioned
    /// behind the shell's 13 bytes; read your own data there; the shell closes it.
    MSG_LOAD_PREFS = 2,
    /// Game object, at shutdown when the file could be created: `data` is the FILE* behind the
    /// shell's 13 bytes; write your own data there; the shell closes it.
    MSG_SAVE_PREFS = 3,
    /// Set your OpenGL state afresh (see setVideoMode for what the shell leaves). Broadcast after
    /// the first mode and twice after every later mode change (before and after the GL resources
    /// are restored); to the new current state alone after MSG_ENTER.
    MSG_VIDEO_RESET = 4,
    /// Broadcast once per tick, tickRate a second, after the frame's MSG_DRAW.
    MSG_TICK = 5,
    /// Broadcast once per frame, before the buffers are swapped. The shell clears nothing.
    MSG_DRAW = 6,
    /// To the state that has just become current.
    MSG_ENTER = 7,
    /// To the current state before it stops being current, and at shutdown.
    MSG_LEAVE = 8,
    /// To the state, for every SDL event, after the shell's own reaction: `data` is the
    /// SDL_Event*. The shell keeps for itself Alt+Return and Meta+F (full screen), H (largest
    /// full-screen mode, in full screen), M (multisampling), B (gamma), Escape (quits on the root
    /// state; on a deeper state unwinds to the root, which then receives the key), closing and
    /// resizing the window; the state still receives each of these events.
    MSG_SDL_EVENT = 9,
    /// Game object, the very first message, before any state or video mode: change the OpenGL
    /// attributes (SDL_GL_SetAttribute) here.
    MSG_CONFIGURE_GL = 10,
};

/// The one record through which the shell sends every message; valid only during the call, and
/// read-only for the receiver.
struct Message {
    int32_t code;
    uint32_t tick;  ///< for MSG_TICK: ticks since the current state became current, from 1
    void* data;     ///< FILE* for the preference messages, SDL_Event* for MSG_SDL_EVENT
};

}  // namespace scrapvolt
