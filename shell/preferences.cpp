#include "preferences.h"

#include <cstdio>

#include "messaging.h"
#include "mouse_capture.h"
#include "preferences_directory.h"
#include "preferences_header.h"
#include "replacement_file.h"

namespace scrapvolt {

namespace {

// Up to one header's worth of bytes from the start of the file.
size_t readHeader(FILE* file, PrefsHeader& header) {
    size_t count = 0;
    int byte;
    while (count < header.size() && (byte = std::fgetc(file)) != EOF) {
        header[count++] = static_cast<uint8_t>(byte);
    }
    return count;
}

}  // namespace

void buildPreferencesPath(LoopState& loop, const char* name) {
    const char* directory = prefsDirectory();
    const int length = std::snprintf(loop.prefsPath, sizeof loop.prefsPath, "%s%s.cfg", directory,
                                     name != nullptr ? name : "zantprefs");
    // Without a directory, or when the whole path does not fit, there is no file: a cut path
    // would name some other file.
    if (directory[0] == '\0' || length < 0 ||
        static_cast<size_t>(length) >= sizeof loop.prefsPath) {
        loop.prefsPath[0] = '\0';
    }
}

void loadPreferences(LoopState& loop) {
    if (loop.prefsPath[0] == '\0') {
        return;
    }
    FILE* file = std::fopen(loop.prefsPath, "rb");
    if (file == nullptr) {
        return;
    }
    PrefsHeader header{};
    // A file without a whole header has no game data either: nothing is taken from it. A whole
    // header with an impossible window size keeps the default settings, but the game's data
    // behind it is still offered.
    if (readHeader(file, header) == header.size()) {
        DisplaySettings loaded;
        if (decodePrefsHeader(header, loaded)) {
            loop.settings = loaded;
            captureWithFullScreen(loop);
        }
        sendToGame(loop, MSG_LOAD_PREFS, file);
    }
    std::fclose(file);
}

void savePreferences(LoopState& loop) {
    if (loop.prefsPath[0] == '\0') {
        return;
    }
    ReplacementFile out;
    if (!out.open(loop.prefsPath)) {
        return;
    }
    const PrefsHeader header = encodePrefsHeader(loop.settings);
    if (std::fwrite(header.data(), 1, header.size(), out.stream()) != header.size()) {
        return;
    }
    sendToGame(loop, MSG_SAVE_PREFS, out.stream());
    out.commit();
}

}  // namespace scrapvolt
