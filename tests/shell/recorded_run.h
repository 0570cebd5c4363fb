#pragma once

#include <string>
#include <utility>
#include <vector>

// One line of the recording game's log: a message "<receiver> <code> <tick> <ms>", or a note
// such as "<receiver> deleted" or "gl state ...", kept whole in `text`.
struct LogLine {
    std::string receiver;
    int code = -1;  // -1 for a note
    unsigned tick = 0;
    unsigned ms = 0;
    std::string text;
};

struct RecordedRun {
    int exitStatus = -1;  // -1 when the game did not exit normally (killed, timed out)
    std::string standardOutput;
    std::string standardError;
    std::vector<LogLine> log;
};

// Runs the recording game with SDL_AUDIODRIVER=dummy, its log in a fresh directory (also its
// APPDATA, so no earlier preferences file is read) and the given extra environment. A run that
// lasts more than 20 seconds is killed.
RecordedRun runRecordingGame(const std::vector<std::pair<std::string, std::string>>& env);

// The messages only (notes and SDL events left out), as "<receiver> <code> <tick>".
std::vector<std::string> messageSequence(const std::vector<LogLine>& log);
