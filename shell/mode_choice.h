#pragma once

#include <cstdint>
#include <span>

namespace scrapvolt {

struct ModeSize {
    int32_t width;
    int32_t height;
};

// The full-screen size from the platform's list of modes (largest first): the first mode with
// highResolution, else the first mode of exactly 480 lines, else the last one taller than 480.
// When the list is empty (the platform gives none, or any size) or holds no such entry, the given
// window size is used.
ModeSize chooseFullScreenSize(std::span<const ModeSize> modes, int32_t width, int32_t height,
                              bool highResolution);

// The perspective's vertical angle, in degrees.
inline constexpr float verticalAngle = 45.0f;

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
