#include <unistd.h>

#include <cstdlib>

#include "loop_state.h"
#include "preferences_directory.h"

namespace scrapvolt {

// The platform's part of the preferences location: the environment, and the running
// executable's path from /proc/self/exe for when no per-user directory is named.
const char* prefsDirectory() {
    static char directory[LoopState::pathCapacity];
    char executable[LoopState::pathCapacity];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable);
    // A path that fills the buffer may have been cut short: treat it as unknown.
    const bool known = length > 0 && length < static_cast<ssize_t>(sizeof executable);
    if (known) {
        executable[length] = '\0';
    }
    PrefsLocations where;
    where.appData = std::getenv("APPDATA");
    where.xdgConfigHome = std::getenv("XDG_CONFIG_HOME");
    where.home = std::getenv("HOME");
    where.executablePath = known ? executable : nullptr;
    composePrefsDirectory(where, directory);
    return directory;
}

}  // namespace scrapvolt
