// Fuzz target: the preferences file's header, as read at start-up. Any bytes are either refused,
// leaving the settings alone, or give settings within the window and gamma ranges that are
// written back as a header that reads as the same settings, and is written back unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "preferences_header.h"

using namespace scrapvolt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DisplaySettings untouched{1, 2, true, true, true, 3.0f};
    DisplaySettings read = untouched;
    if (!decodePrefsHeader(std::span(data, size), read)) {
        if (read.width != 1 || read.height != 2 || read.gamma != 3.0f) {
            std::abort();  // a refused header changed the settings
        }
        return 0;
    }
    const bool inRange = read.width >= minWindowWidth && read.width <= maxStoredSize &&
                         read.height >= minWindowHeight && read.height <= maxStoredSize &&
                         read.gamma >= 1.0f && read.gamma < 2.5f;
    const PrefsHeader written = encodePrefsHeader(read);
    DisplaySettings again;
    if (!inRange || !decodePrefsHeader(written, again) || encodePrefsHeader(again) != written ||
        again.width != read.width || again.height != read.height || again.gamma != read.gamma ||
        again.fullScreen != read.fullScreen || again.multisample != read.multisample ||
        again.highResolution != read.highResolution) {
        std::abort();
    }
    return 0;
}
