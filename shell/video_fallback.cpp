#include "video_fallback.h"

#include <scrapvolt/shell/video_mode.h>

#include <initializer_list>

#include "platform.h"

namespace scrapvolt {
namespace {

bool setMode(const DisplaySettings& s, bool fullScreen, bool multisample) {
    return setVideoMode(s.width, s.height, fullScreen, multisample, s.highResolution, s.gamma);
}

// The saved settings with their fallbacks, then, when the saved window size is not the default
// one (which the fallbacks do not change), the default settings with the saved gamma.
bool openSavedOrDefault(DisplaySettings& settings, const DisplaySettings& wanted) {
    settings = wanted;
    if (setVideoModeWithFallbacks(settings)) {
        return true;
    }
    DisplaySettings defaults;
    if (wanted.width == defaults.width && wanted.height == defaults.height) {
        return false;
    }
    defaults.gamma = wanted.gamma;
    settings = defaults;
    return setVideoModeWithFallbacks(settings);
}

}  // namespace

bool setVideoModeWithFallbacks(DisplaySettings& s) {
    if (s.fullScreen) {
        if (setMode(s, true, s.multisample)) {
            return true;
        }
        s.fullScreen = false;
    }
    if (setMode(s, false, s.multisample)) {
        return true;
    }
    // Last resort: a plain window. Attempted even when multisampling was already off, so a
    // mode that failed for a passing reason gets a second chance.
    s.multisample = false;
    return setMode(s, false, false);
}

bool openFirstVideoMode(DisplaySettings& settings) {
    const DisplaySettings wanted = settings;
    if (openSavedOrDefault(settings, wanted)) {
        return true;
    }
    for (int bits : {24, 16}) {
        platform::setDepthSize(bits);
        if (openSavedOrDefault(settings, wanted)) {
            return true;
        }
    }
    return false;
}

}  // namespace scrapvolt
