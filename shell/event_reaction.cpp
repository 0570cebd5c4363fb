#include "event_reaction.h"

namespace scrapvolt {

namespace {

EventReaction react(ShellReaction kind) {
    return EventReaction{kind, 0, 0};
}

EventReaction reactToKey(const SDL_keysym& key, bool fullScreen, bool rootIsCurrent) {
    const bool alt = (key.mod & KMOD_ALT) != 0;
    const bool ctrl = (key.mod & KMOD_CTRL) != 0;
    const bool meta = (key.mod & KMOD_META) != 0;
    switch (key.sym) {
        case SDLK_RETURN:
            return react(alt ? ShellReaction::toggleFullScreen : ShellReaction::none);
        case SDLK_f:
            return react(meta ? ShellReaction::toggleFullScreen : ShellReaction::none);
        case SDLK_h:
            return react(fullScreen ? ShellReaction::toggleHighResolution : ShellReaction::none);
        case SDLK_m:
            return react(ShellReaction::toggleMultisample);
        case SDLK_b:
            return react(ShellReaction::stepGamma);
        case SDLK_ESCAPE:
            return react(rootIsCurrent ? ShellReaction::quit : ShellReaction::unwindToRoot);
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return react(alt && !fullScreen ? ShellReaction::releaseMouse : ShellReaction::none);
        case SDLK_LALT:
        case SDLK_RALT:
            return react(ctrl && !fullScreen ? ShellReaction::releaseMouse : ShellReaction::none);
        default:
            return react(ShellReaction::none);
    }
}

}  // namespace

EventReaction shellReactionTo(const SDL_Event& event, bool fullScreen, bool rootIsCurrent,
                              ModeSize shown) {
    switch (event.type) {
        case SDL_ACTIVEEVENT: {
            const bool focusLost = event.active.gain == 0 && event.active.state != 0;
            return react(focusLost && !fullScreen ? ShellReaction::releaseMouse
                                                  : ShellReaction::none);
        }
        case SDL_MOUSEBUTTONDOWN:
            return react(ShellReaction::captureMouse);
        case SDL_QUIT:
            return react(ShellReaction::quit);
        case SDL_VIDEORESIZE: {
            const bool asShown = event.resize.w == shown.width && event.resize.h == shown.height;
            if (fullScreen || asShown) {
                return react(ShellReaction::none);
            }
            return EventReaction{ShellReaction::resize, event.resize.w, event.resize.h};
        }
        case SDL_KEYDOWN:
            return reactToKey(event.key.keysym, fullScreen, rootIsCurrent);
        default:
            return react(ShellReaction::none);
    }
}

bool changesDisplay(ShellReaction kind) {
    switch (kind) {
        case ShellReaction::resize:
        case ShellReaction::toggleFullScreen:
        case ShellReaction::toggleHighResolution:
        case ShellReaction::toggleMultisample:
            return true;
        default:
            return false;
    }
}

int cursorShown(bool capturedBefore, bool captured, bool fullScreen) {
    if (captured != capturedBefore && !fullScreen) {
        return captured ? 0 : 1;
    }
    return fullScreen ? 0 : 1;
}

float nextGamma(float gamma) {
    // Two floats add exactly in double, so the comparison sees the sum before it is rounded. A
    // sum just below 2.5 can round up to 2.5 (from 2.35f, say, which a file can hold): that
    // wraps too, so the key never leaves 2.5 or more.
    const double sum = static_cast<double>(gamma) + static_cast<double>(0.15f);
    const float rounded = static_cast<float>(sum);
    return sum >= 2.5 || rounded >= 2.5f ? 1.0f : rounded;
}

}  // namespace scrapvolt
