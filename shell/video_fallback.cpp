#include "video_fallback.h"

namespace scrapvolt {

bool setVideoModeWithFallbacks(DisplaySettings& s, SetVideoModeFn setMode) {
    if (s.fullScreen) {
        if (setMode(s.width, s.height, true, s.multisample, s.highResolution, s.gamma)) {
            return true;
        }
        s.fullScreen = false;
    }
    if (setMode(s.width, s.height, false, s.multisample, s.highResolution, s.gamma)) {
        return true;
    }
    // Last resort: a plain window. Attempted even when multisampling was already off, so a
    // mode that failed for a passing reason gets a second chance.
    s.multisample = false;
    return setMode(s.width, s.height, false, false, s.highResolution, s.gamma);
}

}  // namespace scrapvolt
