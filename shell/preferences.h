#pragma once

#include "loop_state.h"

namespace scrapvolt {

// Composes loop.prefsPath as "<directory><name>.cfg" (name "zantprefs" when null). Leaves it
// empty when the path does not fit, so nothing is read or written.
void buildPreferencesPath(LoopState& loop, const char* name);

// Reads the display settings from the preferences file, if it opens, and hands the rest of the
// file to the game object with MSG_LOAD_PREFS.
void loadPreferences(LoopState& loop);

// Writes the display settings, then lets the game object append its own data with
// MSG_SAVE_PREFS.
void savePreferences(LoopState& loop);

}  // namespace scrapvolt
