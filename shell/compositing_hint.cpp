#include "compositing_hint.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace scrapvolt {

void keepWindowComposited() {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    // SDL 1.2 puts the window that the manager frames in wmwindow; sdl12-compat leaves that 0
    // and has one window.
    const Window window =
        info.info.x11.wmwindow != 0 ? info.info.x11.wmwindow : info.info.x11.window;
    if (info.info.x11.display == nullptr || window == 0) {
        return;
    }
    if (info.info.x11.lock_func != nullptr) {
        info.info.x11.lock_func();
    }
    const Atom bypassCompositor =
        XInternAtom(info.info.x11.display, "_NET_WM_BYPASS_COMPOSITOR", False);
    const long keepCompositing = 2;
    XChangeProperty(info.info.x11.display, window, bypassCompositor, XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&keepCompositing), 1);
    XFlush(info.info.x11.display);
    if (info.info.x11.unlock_func != nullptr) {
        info.info.x11.unlock_func();
    }
#endif
}

}  // namespace scrapvolt
