#pragma once

#include <cstdint>

// SDL 1.2's screen surface; a program that reads its fields includes <SDL.h> itself.
struct SDL_Surface;

namespace scrapvolt {

// Written by setVideoMode for game code to read.
extern SDL_Surface* screen;  // the last mode's surface; null after a refused mode
extern int32_t viewWidth;    // size asked for (before the wide-screen correction)
extern int32_t viewHeight;
extern float fieldOfView;            // vertical, degrees: always 45
extern float horizontalFieldOfView;  // degrees

// Opens (or re-opens) the window or full screen with an OpenGL context and sets the fixed GL
// state: a viewport over the whole screen, 45-degree perspective with eye z flipped to grow into
// the screen, identity model-view, depth test, back-face culling and alpha blending. False when SDL
// refuses the mode; then no GL call is made; a size that is not positive is refused the same way.
// A multisampled mode asks for 16 samples, or for the most the OpenGL implementation supports
// once a context has reported fewer (the mode is then set again with those). The gamma is not
// applied here.
bool setVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                  bool highResolution, float gamma);

}  // namespace scrapvolt
