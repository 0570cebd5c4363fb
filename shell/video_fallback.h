#pragma once

#include <cstdint>

#include "display_settings.h"

namespace scrapvolt {

// Sets a video mode; the shell's is setVideoMode, tests pass a fake.
using SetVideoModeFn = bool (*)(int32_t width, int32_t height, bool fullScreen, bool multisample,
                                bool highResolution, float gamma);

// Opens a mode for the settings, switching features off until one works: full screen falls back
// to a window, then multisampling is dropped. A setting that a fallback switched off stays off
// in the record. Returns false when even the plain window could not be set.
bool setVideoModeWithFallbacks(DisplaySettings& settings, SetVideoModeFn setMode);

}  // namespace scrapvolt
