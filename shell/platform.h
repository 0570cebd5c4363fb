#pragma once
// The shell's platform edge: every SDL, SDL_mixer and OpenGL call the shell makes is one of these
// operations, all in sdl_platform.cpp (SDL 1.2, SDL_mixer, OpenGL 1.x and GLU). The rest of the
// shell decides on plain records and is built without those libraries.
#include <cstdint>
#include <span>

#include "input_event.h"
#include "journal_format.h"
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

// The journal's view of the edge: an event in at most maxEventBytes bytes (a resize with the size
// shown at the time), the same event decoded back into the one event record, and SDL's own
// array of held keys, which the game reads and a replay writes.
size_t encodeEvent(const InputEvent& event, std::span<uint8_t, maxEventBytes> out);
bool decodeEvent(std::span<const uint8_t> bytes, InputEvent& event);
std::span<uint8_t> keyState();
void holdKey(uint16_t key, bool held);  // a replay's change of a held key

// A replay without a window touches no SDL video and no OpenGL context: every mode "opens" with
// no screen, nothing is swapped or shown. In both kinds of replay shownSize answers the size
// journalled with the last resize, so the shell decides as it did in the recorded run.
void startReplay(bool window);
// A window replay's own input: true once the viewer closed the window or pressed Escape. The
// held keys stay as the journal set them.
bool viewerAskedToStop();

}  // namespace scrapvolt::platform
