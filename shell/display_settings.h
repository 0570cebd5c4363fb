#pragma once

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

}  // namespace scrapvolt
