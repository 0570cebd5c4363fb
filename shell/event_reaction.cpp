#include "event_reaction.h"

#include "display_settings.h"

namespace scrapvolt {
namespace {

using Key = InputEvent::Key;

EventReaction react(ShellReaction kind) {
    return EventReaction{kind, 0, 0};
}

EventReaction reactToKey(const InputEvent& key, bool fullScreen, bool rootIsCurrent) {
    switch (key.key) {
        case Key::returnKey:
            return react(key.alt ? ShellReaction::toggleFullScreen : ShellReaction::none);
        case Key::f:
            return react(key.meta ? ShellReaction::toggleFullScreen : ShellReaction::none);
        case Key::h:
            return react(fullScreen ? ShellReaction::toggleHighResolution : ShellReaction::none);
        case Key::m:
            return react(ShellReaction::toggleMultisample);
        case Key::b:
            return react(ShellReaction::stepGamma);
        case Key::escape:
            return react(rootIsCurrent ? ShellReaction::quit : ShellReaction::unwindToRoot);
        case Key::ctrl:
            return react(key.alt && !fullScreen ? ShellReaction::releaseMouse
                                                : ShellReaction::none);
        case Key::alt:
            return react(key.ctrl && !fullScreen ? ShellReaction::releaseMouse
                                                 : ShellReaction::none);
        case Key::other:
            break;
    }
    return react(ShellReaction::none);
}

}  // namespace

EventReaction shellReactionTo(const InputEvent& event, bool fullScreen, bool rootIsCurrent,
                              ModeSize shown) {
    using Type = InputEvent::Type;
    switch (event.type) {
        case Type::focusLost:
            return react(fullScreen ? ShellReaction::none : ShellReaction::releaseMouse);
        case Type::mouseButton:
            return react(ShellReaction::captureMouse);
        case Type::quit:
            return react(ShellReaction::quit);
        case Type::resize: {
            const bool asShown = event.width == shown.width && event.height == shown.height;
            if (fullScreen || asShown) {
                return react(ShellReaction::none);
            }
            return EventReaction{ShellReaction::resize, atLeastMinWidth(event.width),
                                 atLeastMinHeight(event.height)};
        }
        case Type::key:
            return reactToKey(event, fullScreen, rootIsCurrent);
        case Type::other:
            break;
    }
    return react(ShellReaction::none);
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

float nextGamma(float gamma) {
    // Two floats add exactly in double, so the comparison sees the sum before it is rounded. A
    // sum just below 2.5 can round up to 2.5 (from 2.35f, say, which a file can hold): that
    // wraps too, so the key never leaves 2.5 or more.
    const double sum = static_cast<double>(gamma) + static_cast<double>(0.15f);
    const float rounded = static_cast<float>(sum);
    return sum >= 2.5 || rounded >= 2.5f ? 1.0f : rounded;
}

}  // namespace scrapvolt
