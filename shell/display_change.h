#pragma once

#include "loop_state.h"

namespace scrapvolt {

// Re-creates the video mode after a display setting changed, with fallbacks, around a release
// and restore of the registered GL resources. When even the plain window of the last fallback
// cannot be set, prints "Unable to open graphics mode!\n", requests the quit with exitStatus 1
// and leaves the resources released and the game unaware of any new mode.
void applyDisplayChange(LoopState& loop);

}  // namespace scrapvolt
