#pragma once

#include <cstdint>

namespace scrapvolt {

// Counts frames over windows of a little more than half a second.
struct FrameRateWindow {
    int32_t frameCount = 0;
    uint32_t fpsBase = 0;  // milliseconds at which the window began
};

// Counts one frame at `now` (milliseconds, wrapping). When the window has lasted more than
// 500 ms, stores its frames per second in `framesPerSecond`, starts a new window and returns
// true.
bool countFrame(FrameRateWindow& window, uint32_t now, float& framesPerSecond);

}  // namespace scrapvolt
