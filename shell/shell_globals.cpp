#include <scrapvolt/shell/shell_globals.h>

namespace scrapvolt {

int32_t tickRate = 100;
float framesPerSecond = 0.0f;
uint32_t mouseButtons = 0;
int32_t mouseDeltaX = 0;
int32_t mouseDeltaY = 0;
bool mouseCaptureEnabled = false;

// The scheduler divides by the rate, so a rate below 1 is refused and the old one kept.
void setTickRate(int32_t rate) {
    if (rate > 0) {
        tickRate = rate;
    }
}

int32_t getTickRate() {
    return tickRate;
}

}  // namespace scrapvolt
