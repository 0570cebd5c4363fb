#pragma once

#include <SDL.h>

#include <cstdint>

namespace scrapvolt {

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

}  // namespace scrapvolt
