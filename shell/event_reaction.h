#pragma once

#include <cstdint>

#include "input_event.h"
#include "mode_choice.h"

namespace scrapvolt {

// What the shell itself does about one polled event, before the event goes on to the current
// state. At most one reaction per event.
enum class ShellReaction : uint8_t {
    none,
    quit,
    resize,  // store EventReaction::width and height as the window size
    captureMouse,
    releaseMouse,
    toggleFullScreen,
    toggleHighResolution,
    toggleMultisample,
    stepGamma,
    unwindToRoot,
};

struct EventReaction {
    ShellReaction kind = ShellReaction::none;
    int32_t width = 0;  // for resize
    int32_t height = 0;
};

// The event and key table of the shell: quit on closing the window or Escape on the root state,
// resize, mouse capture by a click and release by focus loss or Ctrl+Alt in a window, Alt+Return
// and Meta+F for full screen, H (full screen only), M, B, and Escape on a deeper state.
// A resize is taken only in a window and only for a size other than `shown`, the size of the
// window on the screen: SDL also reports the size of each mode the program sets itself, and in
// full screen the size is the mode's, not the player's window size. A size below the smallest
// window is raised to it.
EventReaction shellReactionTo(const InputEvent& event, bool fullScreen, bool rootIsCurrent,
                              ModeSize shown);

// True when the reaction changed a display setting, so the video mode must be set again.
bool changesDisplay(ShellReaction kind);

// One press of the gamma key: +0.15, back to 1.0 when the exact sum reaches 2.5.
float nextGamma(float gamma);

}  // namespace scrapvolt
