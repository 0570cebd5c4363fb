#include "mode_choice.h"

namespace scrapvolt {
namespace {

constexpr int lowResolutionLines = 480;

}  // namespace

ModeSize chooseFullScreenSize(std::span<const ModeSize> modes, int32_t width, int32_t height,
                              bool highResolution) {
    if (modes.empty()) {
        return {width, height};
    }
    if (highResolution) {
        return modes[0];
    }
    size_t i = 0;
    while (i < modes.size() && modes[i].height > lowResolutionLines) {
        ++i;
    }
    if (i < modes.size() && modes[i].height == lowResolutionLines) {
        return modes[i];
    }
    if (i > 0) {
        return modes[i - 1];
    }
    return {width, height};
}

ViewShape shapeView(int32_t width, int32_t height) {
    ViewShape view{width, height, 0.0f, 0.0f};
    if (width <= 0 || height <= 0) {
        return view;
    }
    view.aspect = static_cast<float>(width) / static_cast<float>(height);
    view.horizontalFieldOfView = view.aspect * verticalAngle;
    if (view.horizontalFieldOfView > 180.0f) {
        view.height = static_cast<int32_t>(static_cast<float>(width) * 0.25f);
        view.aspect = static_cast<float>(width) / static_cast<float>(view.height);
        view.horizontalFieldOfView = view.aspect * verticalAngle;
    }
    return view;
}

}  // namespace scrapvolt
