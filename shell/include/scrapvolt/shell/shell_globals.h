#pragma once

#include <cstdint>

namespace scrapvolt {

/// Ticks per second: 100 at start-up. setTickRate takes effect at the next frame's tick count
/// and ignores a rate below 1. Velocities and timers in ticks are the game's own affair.
extern int32_t tickRate;
void setTickRate(int32_t rate);
int32_t getTickRate();

/// Frames drawn per second, measured over windows of a little more than half a second.
extern float framesPerSecond;

/// While the mouse is captured (after a click when mouseCaptureEnabled is set, and in full
/// screen) the shell keeps the pointer at the screen centre every frame and adds its motion to
/// mouseDeltaX/Y; it never resets them, so reset them yourself for per-frame deltas.
extern uint32_t mouseButtons;  ///< while captured: the low 8 bits of SDL's button mask
extern int32_t mouseDeltaX;
extern int32_t mouseDeltaY;
/// Game setting, false at start: keep the capture after the event that took it. Ctrl with Alt
/// and a focus loss release it in a window.
extern bool mouseCaptureEnabled;

/// Ends the run at the end of the current frame, as closing the window does: the states leave,
/// the settings are saved, MSG_SHUTDOWN is sent and runShell returns 0.
void requestQuit();

}  // namespace scrapvolt
