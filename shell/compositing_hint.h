#pragma once

namespace scrapvolt {

// Asks an X11 compositing window manager to keep compositing the program's window in full screen
// (_NET_WM_BYPASS_COMPOSITOR = 2). SDL asks for the opposite (1), and GNOME's mutter then stops
// compositing the full-screen window; when the window leaves full screen, mutter keeps showing it
// at the full-screen mode's size with a stale picture, although the window itself is right.
// Window managers that do not composite ignore the property. Does nothing where SDL does not run
// on X11. Called after each video mode is set, since SDL may make a new window for it.
void keepWindowComposited();

}  // namespace scrapvolt
