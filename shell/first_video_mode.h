#pragma once

#include "display_settings.h"
#include "video_fallback.h"

namespace scrapvolt {

// Asks SDL for a depth buffer of the given number of bits in the modes set from now on.
using SetDepthSizeFn = void (*)(int bits);

// Opens the first video mode of the run. It falls back like a change made while running, so
// saved settings that this display cannot show do not lock the user out. GLX takes the depth
// size as a minimum and many drivers have no 32-bit depth buffer, so when nothing opens, the
// depth asked for is lowered to 24 and then 16 bits and the saved settings are tried again.
// False when no mode could be opened at all.
bool openFirstVideoMode(DisplaySettings& settings, SetVideoModeFn setMode,
                        SetDepthSizeFn setDepthSize);

}  // namespace scrapvolt
