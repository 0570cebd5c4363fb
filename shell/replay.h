#pragma once

namespace scrapvolt {

// Exit statuses of a replay.
enum ReplayStatus : int {
    replayMatched = 0,    // every hash of the journal came out the same
    replayDiffered = 1,   // a hash came out different, or where the run had none
    replayUnreadable = 2  // not a journal, damaged, cut short, another version, or no window
};

// Runs the game from its createGame on a journal's input: without a window as fast as it can,
// or in one at the recorded pace. Prints "tick <n> hash <16 hex digits>" on standard output at
// each of the journal's checkpoints and "end tick <n> hash <16 hex digits>" where the run
// ended, and the reason for any status but replayMatched on standard
// error. The preferences file is neither read nor written.
int replayJournal(const char* path, bool window);

}  // namespace scrapvolt
