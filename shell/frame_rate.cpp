#include "frame_rate.h"

namespace scrapvolt {

bool countFrame(FrameRateWindow& window, uint32_t now, float& framesPerSecond) {
    ++window.frameCount;
    const uint32_t elapsed = now - window.fpsBase;
    if (elapsed <= 500) {
        return false;
    }
    const int32_t frameMillis = window.frameCount * 1000;
    framesPerSecond = static_cast<float>(static_cast<double>(frameMillis) / elapsed);
    window.frameCount = 0;
    window.fpsBase += elapsed;
    return true;
}

}  // namespace scrapvolt
