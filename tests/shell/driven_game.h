#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

// The recording game running in the background under an X display, driven with xdotool while
// it runs. Its log and its preferences file live in `directory` (its APPDATA).
class DrivenGame {
  public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts the game and waits for its window; false (with a test failure) when none appears.
    bool start(const std::string& directory, const Environment& env = {});
    // Focuses the window and types the keys, in xdotool's notation ("alt+Return").
    void press(const std::string& keys) const;
    // Resizes the window as a user would by dragging its border.
    void resize(int width, int height) const;
    // Waits until `count` log lines start with `prefix`; false after a few seconds without.
    bool waitForLines(const std::string& prefix, size_t count = 1) const;
    // Waits for the game to exit; its exit status, or -1 when it did not exit normally in time.
    int finish();
    ~DrivenGame();

    // The log: whole lines, with the tick and time fields of message lines removed, so that a
    // message reads "<receiver> <code>".
    std::vector<std::string> log() const;

  private:
    std::string directory_;
    std::string window_;
    pid_t child_ = -1;
};

// A fresh directory for one test's runs.
std::string makeRunDirectory();
