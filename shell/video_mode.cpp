#include <scrapvolt/shell/video_mode.h>

#include "mode_choice.h"
#include "platform.h"

namespace scrapvolt {

SDL_Surface* screen = nullptr;
int32_t viewWidth = 0;
int32_t viewHeight = 0;
float fieldOfView = 0.0f;
float horizontalFieldOfView = 0.0f;

bool setVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                  bool highResolution, float /*gamma*/) {
    ModeSize size{width, height};
    if (fullScreen) {
        size = chooseFullScreenSize(platform::fullScreenModes(), width, height, highResolution);
    }
    viewWidth = size.width;
    viewHeight = size.height;
    fieldOfView = verticalAngle;
    const ViewShape view = shapeView(size.width, size.height);
    horizontalFieldOfView = view.horizontalFieldOfView;
    if (size.width <= 0 || size.height <= 0) {
        screen = nullptr;  // a window of no pixels has no aspect to draw in
        return false;
    }
    return platform::openVideoMode(view, fullScreen, multisample);
}

}  // namespace scrapvolt
