#pragma once

#include <SDL.h>

#include <cstdint>

// Written by setVideoMode for game code to read.
extern SDL_Surface* screen;  // the last mode's surface; null after a refused mode
extern int32_t viewWidth;    // size asked for (before the wide-screen correction)
extern int32_t viewHeight;
extern float fieldOfView;            // vertical, degrees: always 45
extern float horizontalFieldOfView;  // degrees

struct ModeSize {
    int32_t width;
    int32_t height;
};

// The full-screen size from SDL's list of modes (largest first, null-terminated): the first mode
// with highResolution, else the first mode of exactly 480 lines, else the last one taller than
// 480. When SDL gives no list, any size, or no such entry, the given window size is used.
ModeSize chooseFullScreenSize(SDL_Rect** modes, int32_t width, int32_t height, bool highResolution);

// The frame a perspective of 45 degrees vertically is drawn in. Wider than four times its height
// the horizontal angle would pass 180 degrees, so the height is raised to a quarter of the width.
struct ViewShape {
    int32_t width;
    int32_t height;
    float aspect;
    float horizontalFieldOfView;
};
// Sizes that are not positive come back unchanged with aspect and angle 0.
ViewShape shapeView(int32_t width, int32_t height);

// Opens (or re-opens) the window or full screen with an OpenGL context and sets the fixed GL
// state: a viewport over the whole screen, 45-degree perspective with eye z flipped to grow into
// the screen, identity model-view, depth test, back-face culling and alpha blending. False when SDL
// refuses the mode; then no GL call is made; a size that is not positive is refused the same way.
// A multisampled mode asks for 16 samples, or for the most the OpenGL implementation supports
// once a context has reported fewer (the mode is then set again with those). The gamma is not
// applied here.
bool setVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                  bool highResolution, float gamma);
