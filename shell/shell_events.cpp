#include "shell_events.h"

#include "display_change.h"
#include "event_reaction.h"
#include "messaging.h"
#include "mouse_capture.h"
#include "platform.h"

namespace scrapvolt {
namespace {

void toggle(bool& flag) {
    flag = !flag;
}

// Carries out the reaction on the loop; true when a display setting changed.
bool carryOut(LoopState& loop, const EventReaction& reaction) {
    DisplaySettings& settings = loop.settings;
    switch (reaction.kind) {
        case ShellReaction::none:
            break;
        case ShellReaction::quit:
            loop.quitRequested = true;
            break;
        case ShellReaction::resize:
            settings.width = reaction.width;
            settings.height = reaction.height;
            break;
        case ShellReaction::captureMouse:
            loop.mouseCaptured = true;
            break;
        case ShellReaction::releaseMouse:
            loop.mouseCaptured = false;
            break;
        case ShellReaction::toggleFullScreen:
            toggle(settings.fullScreen);
            break;
        case ShellReaction::toggleHighResolution:
            toggle(settings.highResolution);
            break;
        case ShellReaction::toggleMultisample:
            toggle(settings.multisample);
            break;
        case ShellReaction::stepGamma:
            settings.gamma = nextGamma(settings.gamma);
            platform::setGamma(settings.gamma);
            break;
        case ShellReaction::unwindToRoot:
            loop.stack.unwindToRoot(loop.message);
            break;
    }
    return changesDisplay(reaction.kind);
}

}  // namespace

void handleShellEvent(LoopState& loop, const InputEvent& event) {
    if (loop.exitStatus != 0) {
        return;
    }
    const bool capturedBefore = loop.mouseCaptured;
    const EventReaction reaction = shellReactionTo(event, loop.settings.fullScreen,
                                                   loop.stack.current == 0, platform::shownSize());
    const bool changed = carryOut(loop, reaction);
    keepCaptureOnlyIfEnabled(loop);
    if (changed) {
        applyDisplayChange(loop);
    }
    // Without a screen the cursor has nothing to be shown on.
    if (loop.exitStatus == 0) {
        showCursorAfterEvent(loop, capturedBefore);
    }
    sendToCurrent(loop, MSG_SDL_EVENT, event.record);
}

}  // namespace scrapvolt
