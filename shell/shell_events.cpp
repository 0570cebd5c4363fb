#include "shell_events.h"

#include <scrapvolt/shell/shell_globals.h>
#include <scrapvolt/shell/video_mode.h>
#include "event_reaction.h"

#include <SDL.h>
#include "mode_choice.h"

namespace scrapvolt {

namespace {

// Leaves the current state for the root: the states above the root are deleted unannounced.
void unwindToRoot(LoopState& loop) {
    sendToCurrent(loop, MSG_LEAVE);
    loop.stack.current = 0;
    loop.message.tick = 0;
    loop.stack.deleteStatesAboveCurrent();
    sendToCurrent(loop, MSG_ENTER);
    sendToCurrent(loop, MSG_VIDEO_RESET);
}

void stepGamma(DisplaySettings& settings) {
    settings.gamma = nextGamma(settings.gamma);
    SDL_SetGamma(settings.gamma, settings.gamma, settings.gamma);
}

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
            stepGamma(settings);
            break;
        case ShellReaction::unwindToRoot:
            unwindToRoot(loop);
            break;
    }
    return changesDisplay(reaction.kind);
}

}  // namespace

void handleShellEvent(LoopState& loop, SDL_Event* event) {
    handleShellEvent(loop, event, setVideoMode);
}

void handleShellEvent(LoopState& loop, SDL_Event* event, SetVideoModeFn setMode) {
    if (loop.exitStatus != 0) {
        return;
    }
    const bool capturedBefore = loop.mouseCaptured;
    const SDL_Surface* shown = SDL_GetVideoSurface();
    const EventReaction reaction =
        shellReactionTo(*event, loop.settings.fullScreen, loop.stack.current == 0,
                        shown != nullptr ? ModeSize{shown->w, shown->h} : ModeSize{0, 0});
    const bool changed = carryOut(loop, reaction);
    loop.mouseCaptured = loop.mouseCaptured && mouseCaptureEnabled;
    if (changed) {
        applyDisplayChange(loop, setMode);
    }
    // Without a screen the cursor has nothing to be shown on.
    if (loop.exitStatus == 0) {
        SDL_ShowCursor(cursorShown(capturedBefore, loop.mouseCaptured, loop.settings.fullScreen));
    }
    sendToCurrent(loop, MSG_SDL_EVENT, event);
}

}  // namespace scrapvolt
