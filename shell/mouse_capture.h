#pragma once

#include "loop_state.h"

namespace scrapvolt {

// The mouse capture and the cursor, one policy for every place that changes them. While the
// capture is held the frame loop keeps the pointer at the screen centre and adds up its motion.
// It is taken by a click, by entering full screen and by a start in full screen; dropped in a
// window by a focus loss or Ctrl with Alt, and after every event unless the game enables it
// (mouseCaptureEnabled). The cursor is hidden in full screen and shown in a window, except that
// an event which has just taken or dropped the capture in a window hides or shows it by that.

// The capture follows the full-screen setting and the cursor shows exactly when it is off: at
// start-up with the saved settings, and when the first mode had to give up full screen.
void captureWithFullScreen(LoopState& loop);

// A display change to full screen takes the capture, before the mode is set; it holds until the
// next event has been handled whatever mouseCaptureEnabled says.
void captureForFullScreen(LoopState& loop);

// The end of an event's own handling: the capture lasts only where the game enables it.
void keepCaptureOnlyIfEnabled(LoopState& loop);

// The cursor after an event's handling, display change included; `capturedBefore` is the capture
// when the event's handling began.
void showCursorAfterEvent(LoopState& loop, bool capturedBefore);

// While captured: the pointer put back to the screen centre (after a mode change, and every
// frame); followCapturedMouse first reads the buttons and adds the pointer's offset from the
// centre to the mouse deltas.
void centreCapturedPointer(const LoopState& loop);
void followCapturedMouse(const LoopState& loop);

}  // namespace scrapvolt
