#pragma once

#include "display_settings.h"

namespace scrapvolt {

// Opens a mode for the settings, switching features off until one works: full screen falls back
// to a window, then multisampling is dropped. A setting that a fallback switched off stays off
// in the record. Returns false when even the plain window could not be set.
bool setVideoModeWithFallbacks(DisplaySettings& settings);

// Opens the first video mode of the run. It falls back like a change made while running, so
// saved settings that this display cannot show do not lock the user out. GLX takes the depth
// size as a minimum and many drivers have no 32-bit depth buffer, so when nothing opens, the
// depth asked for is lowered to 24 and then 16 bits and the saved settings are tried again.
// False when no mode could be opened at all.
bool openFirstVideoMode(DisplaySettings& settings);

}  // namespace scrapvolt
