#pragma once

namespace scrapvolt {

// The whole run: start-up, the frame loop and shutdown, in their fixed order. Returns main's exit
// status: 0 after an orderly shutdown, 1 when SDL or a video mode could not be set.
int runShell();

struct LoopState;

// Steps of start-up and shutdown that a replay of a journal shares with the live run.
// The game object, MSG_CONFIGURE_GL, and its first state as the root of the stack.
void createGameAndRootState(LoopState& loop);
// The first video mode from loop.settings; false when none can be set.
bool openFirstMode(LoopState& loop);
// MSG_STARTUP, the first MSG_VIDEO_RESET and MSG_ENTER.
void announceStart(LoopState& loop);
// The game object, the registered GL resources, the audio device and SDL, once the states are
// gone.
void takeDown(LoopState& loop);

}  // namespace scrapvolt
