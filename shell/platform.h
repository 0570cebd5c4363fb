#pragma once
// The shell's platform edge: every SDL, SDL_mixer and OpenGL call the shell makes is one of these
// operations, all in sdl_platform.cpp (SDL 1.2, SDL_mixer, OpenGL 1.x and GLU). The rest of the
// shell decides on plain records and is built without those libraries.
#include <cstdint>
#include <span>

#include "event_reaction.h"
#include "mode_choice.h"

namespace scrapvolt::platform {

// Process: SDL with every subsystem (false when it cannot start), the OpenGL attributes asked
// for before the first mode, the audio device (opened, never played), and the end of both.
bool start();
void setDefaultGlAttributes();  // double buffer, depth 32, stencil 8, swap control, accelerated
void setDepthSize(int bits);
void openAudio();  // 44100 Hz, signed 16-bit little-endian, mono, 4096-sample chunks
void stop();       // closes the audio device, then SDL

// Takes the next pending event into the platform's one event record; false when none is pending.
bool pollEvent(InputEvent& event);

// The pointer and the cursor. screenCentre is false while there is no screen.
bool screenCentre(int32_t& x, int32_t& y);
ModeSize shownSize();                          // the window on the screen now; 0 x 0 without one
uint32_t readPointer(int32_t& x, int32_t& y);  // position and button mask
void warpPointer(int32_t x, int32_t y);
void showCursor(bool shown);

// Time in milliseconds (wrapping), sleeping, the finished frame, the display gamma.
uint32_t ticks();
void delay(uint32_t ms);
void swapBuffers();
void setGamma(float gamma);

// The full-screen modes, largest first; empty when any size will do or none is known.
std::span<const ModeSize> fullScreenModes();
// Opens the window (resizable) or full screen of view's size with an OpenGL context, stores its
// surface in `screen` and sets the fixed GL state. False, with `screen` null and no GL call, when
// SDL refuses the mode.
bool openVideoMode(const ViewShape& view, bool fullScreen, bool multisample);

}  // namespace scrapvolt::platform
