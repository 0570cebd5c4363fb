#include "mouse_capture.h"

#include <scrapvolt/shell/shell_globals.h>

#include "platform.h"

namespace scrapvolt {

void captureWithFullScreen(LoopState& loop) {
    loop.mouseCaptured = loop.settings.fullScreen;
    platform::showCursor(!loop.settings.fullScreen);
}

void captureForFullScreen(LoopState& loop) {
    if (loop.settings.fullScreen) {
        loop.mouseCaptured = true;
    }
}

void keepCaptureOnlyIfEnabled(LoopState& loop) {
    loop.mouseCaptured = loop.mouseCaptured && mouseCaptureEnabled;
}

void showCursorAfterEvent(LoopState& loop, bool capturedBefore) {
    const bool fullScreen = loop.settings.fullScreen;
    if (loop.mouseCaptured != capturedBefore && !fullScreen) {
        platform::showCursor(!loop.mouseCaptured);
    } else {
        platform::showCursor(!fullScreen);
    }
}

void centreCapturedPointer(const LoopState& loop) {
    int32_t x = 0;
    int32_t y = 0;
    if (loop.mouseCaptured && platform::screenCentre(x, y)) {
        platform::warpPointer(x, y);
    }
}

void followCapturedMouse(const LoopState& loop) {
    int32_t centreX = 0;
    int32_t centreY = 0;
    if (!loop.mouseCaptured || !platform::screenCentre(centreX, centreY)) {
        return;
    }
    int32_t x = 0;
    int32_t y = 0;
    mouseButtons = platform::readPointer(x, y) & 0xFF;
    platform::warpPointer(centreX, centreY);
    mouseDeltaX += x - centreX;
    mouseDeltaY += y - centreY;
}

}  // namespace scrapvolt
