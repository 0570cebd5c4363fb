#include "first_video_mode.h"

#include <initializer_list>

namespace scrapvolt {

namespace {

// The saved settings with their fallbacks, then, when the saved window size is not the default
// one (which the fallbacks do not change), the default settings with the saved gamma.
bool openSavedOrDefault(DisplaySettings& settings, const DisplaySettings& wanted,
                        SetVideoModeFn setMode) {
    settings = wanted;
    if (setVideoModeWithFallbacks(settings, setMode)) {
        return true;
    }
    DisplaySettings defaults;
    if (wanted.width == defaults.width && wanted.height == defaults.height) {
        return false;
    }
    defaults.gamma = wanted.gamma;
    settings = defaults;
    return setVideoModeWithFallbacks(settings, setMode);
}

}  // namespace

bool openFirstVideoMode(DisplaySettings& settings, SetVideoModeFn setMode,
                        SetDepthSizeFn setDepthSize) {
    const DisplaySettings wanted = settings;
    if (openSavedOrDefault(settings, wanted, setMode)) {
        return true;
    }
    for (int bits : {24, 16}) {
        setDepthSize(bits);
        if (openSavedOrDefault(settings, wanted, setMode)) {
            return true;
        }
    }
    return false;
}

}  // namespace scrapvolt
