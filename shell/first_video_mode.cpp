#include "shell/first_video_mode.h"

#include <initializer_list>

bool openFirstVideoMode(DisplaySettings& settings, SetVideoModeFn setMode,
                        SetDepthSizeFn setDepthSize) {
    const DisplaySettings wanted = settings;
    if (setVideoModeWithFallbacks(settings, setMode)) {
        return true;
    }
    for (int bits : {24, 16}) {
        setDepthSize(bits);
        settings = wanted;
        if (setVideoModeWithFallbacks(settings, setMode)) {
            return true;
        }
    }
    return false;
}
