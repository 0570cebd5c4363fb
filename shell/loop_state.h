#pragma once

#include <cstdint>

#include <scrapvolt/shell/game.h>
#include <scrapvolt/shell/message.h>
#include <scrapvolt/shell/state_stack.h>
#include "display_settings.h"
#include "event_reaction.h"
#include "frame_rate.h"
#include "preferences_directory.h"
#include "tick_scheduler.h"

namespace scrapvolt {

struct LoopState;
class JournalRecorder;

// Told of every tick right after its MSG_TICK: the journal's recorder and the replay's check.
class TickWatcher {
  public:
    virtual void afterTick(LoopState& loop) = 0;

  protected:
    ~TickWatcher() = default;
};

// Everything the main loop keeps between frames. One instance, owned by runShell; the event
// handling, the preferences file and the start-up and shutdown steps work on it.
struct LoopState {
    DisplaySettings settings;
    // The settings of the last video mode that was set; what is saved when a change loses the
    // mode, so that the next start opens a mode that worked.
    DisplaySettings workingMode;
    bool quitRequested = false;
    bool mouseCaptured = false;  // relative-mouse mode: pointer re-centred every frame
    // Status runShell (and so main) returns after its orderly shutdown. A running video change that
    // could not set even a plain window makes it 1 and requests the quit: no screen exists then, so
    // the loop must leave at once, before drawing or swapping, and shut down in order.
    int exitStatus = 0;
    Message message{0, 0, nullptr};
    InputEvent event;  // the event being handled
    Game* game = nullptr;
    StateStack stack;
    TickClock tickClock;
    FrameRateWindow frameRate;
    // The preferences file, composed once at start-up; empty when no usable path exists, in
    // which case nothing is read or written.
    char prefsPath[prefsPathCapacity] = {};
    uint32_t randomSeed = 0;  // what the standard random generator was seeded with
    // Both null unless the run is journalled (SCRAPVOLT_JOURNAL) or replayed.
    JournalRecorder* recorder = nullptr;
    TickWatcher* tickWatcher = nullptr;
};

}  // namespace scrapvolt
