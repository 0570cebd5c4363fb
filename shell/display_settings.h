#pragma once

#include <algorithm>
#include <cstdint>

namespace scrapvolt {

// The display settings held by the main loop, changed by hot keys and resizes and kept in the
// preferences file between runs.
struct DisplaySettings {
    int32_t width = 640;  // window size; a full-screen mode's size is never stored here
    int32_t height = 480;
    bool fullScreen = false;
    bool multisample = false;
    bool highResolution = false;  // in full screen, the largest listed mode
    float gamma = 1.0f;
};

// The smallest window. A smaller size from a resize or from the preferences file is raised to it,
// each axis on its own (rather than the default size taken: the player's other axis is kept), so
// a window dragged down to a dot is never opened again at that size, nor saved.
inline constexpr int32_t minWindowWidth = 160;
inline constexpr int32_t minWindowHeight = 120;
inline int32_t atLeastMinWidth(int32_t width) {
    return std::max(width, minWindowWidth);
}
inline int32_t atLeastMinHeight(int32_t height) {
    return std::max(height, minWindowHeight);
}

}  // namespace scrapvolt
