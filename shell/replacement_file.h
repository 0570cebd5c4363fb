#pragma once

#include <cstdio>

#include "loop_state.h"

namespace scrapvolt {

// Writes a file so that a failure never leaves it damaged: the data goes to a temporary file in
// the same directory, which replaces the old file (by rename) only after the whole write has
// succeeded. Until then, and whenever anything fails, the old file stays as it was. A symbolic
// link is followed; the new file takes the old one's owner, group and permission bits. What is
// not a regular file the player can write (a device, a read-only file) is never replaced: open
// refuses it, so that nothing is written at all.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();  // abandons a write that was not committed

    // Creates the missing directories on the path, removes the temporary files that saves cut
    // short left beside the file, and opens a new temporary file for writing. False, with
    // nothing written, when the file may not be replaced.
    bool open(const char* path);
    FILE* stream() const { return stream_; }
    // Flushes, syncs and closes the temporary file, then moves it over the target. On failure
    // the temporary file is removed and the target left alone.
    bool commit();

    static constexpr int tempSuffixLength = 7;  // ".XXXXXX"

  private:
    void abandon();

    FILE* stream_ = nullptr;
    char target_[LoopState::pathCapacity] = {};
    char temp_[LoopState::pathCapacity + tempSuffixLength] = {};
};

// Creates every missing directory on the way to the file named by path (like mkdir -p on its
// parent). False when one cannot be created.
bool makeParentDirectories(const char* path);

}  // namespace scrapvolt
