#include "shell/preferences.h"

// Stand-in until the preferences file is implemented: no file, the defaults stay.
void buildPreferencesPath(LoopState& loop, const char*) { loop.prefsPath[0] = '\0'; }
void loadPreferences(LoopState&) {}
void savePreferences(LoopState&) {}
