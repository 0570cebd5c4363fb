#pragma once

#include <cstdio>

#include "shell/loop_state.h"

// Writes a file so that a failure never leaves it damaged: the data goes to a temporary file in
// the same directory, which replaces the old file (by rename) only after the whole write has
// succeeded. Until then, and whenever anything fails, the old file stays as it was.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();  // abandons a write that was not committed

    // Creates the missing directories on the path and opens the temporary file for writing.
    bool open(const char* path);
    FILE* stream() const { return stream_; }
    // Flushes, syncs and closes the temporary file, then moves it over the target. On failure
    // the temporary file is removed and the target left alone.
    bool commit();

  private:
    void abandon();

    static constexpr int tempSuffixLength = 7;  // ".XXXXXX"
    FILE* stream_ = nullptr;
    char target_[LoopState::pathCapacity] = {};
    char temp_[LoopState::pathCapacity + tempSuffixLength] = {};
};

// Creates every missing directory on the way to the file named by path (like mkdir -p on its
// parent). False when one cannot be created.
bool makeParentDirectories(const char* path);
