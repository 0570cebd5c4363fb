#pragma once

namespace scrapvolt {

// The whole run: start-up, the frame loop and shutdown, in their fixed order. Returns main's exit
// status: 0 after an orderly shutdown, 1 when SDL or a video mode could not be set.
int runShell();

}  // namespace scrapvolt
