#pragma once

#include <span>

namespace scrapvolt {

// Where the preferences file may live, as the platform reports it; each entry is null when not
// known.
struct PrefsLocations {
    const char* appData = nullptr;        // "APPDATA"
    const char* xdgConfigHome = nullptr;  // "XDG_CONFIG_HOME"
    const char* home = nullptr;           // "HOME"
    const char* executablePath = nullptr;
};

// The directory for the preferences file, ending in a separator: the first of "APPDATA",
// $XDG_CONFIG_HOME, $HOME/.config that is set and not empty ($XDG_CONFIG_HOME only when
// absolute), else the directory of the executable. Both '/' and '\' end a directory; a missing
// separator is added as '/'. Writes it to out, or an empty string and false when there is no
// location or the directory does not fit.
bool composePrefsDirectory(const PrefsLocations& where, std::span<char> out);

// The directory for this user and program, composed by composePrefsDirectory from the
// environment and the running executable; empty when none is usable. A static buffer,
// overwritten by each call.
const char* prefsDirectory();

}  // namespace scrapvolt
