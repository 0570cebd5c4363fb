#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Helpers for tests that run the real program in an X session: start it, find its window, send
// it keys through XTEST (xdotool) and take screenshots (ImageMagick).

// Runs a shell command and returns its standard output.
std::string commandOutput(const std::string& command);

// Starts program with APPDATA = appData, SDL_AUDIODRIVER = dummy and, when probeLog is not
// empty, SCRAPVOLT_PROBE_LOG = probeLog.
pid_t launch(const std::string& program, const std::string& appData,
             const std::string& probeLog = "");

// The child's exit status, or -1 when it had to be killed after timeoutMs or died by a signal.
int waitForExit(pid_t pid, int timeoutMs);

struct Window {
    std::string id;  // empty when no window appeared
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Waits up to a few seconds for a visible window with this exact title; gives it the input focus
// and puts the pointer over it (there is no window manager to do either).
Window findAndFocusWindow(const std::string& title);

// Sends an xdotool command, e.g. "keydown Up".
void xdotool(const std::string& arguments);

struct Rgb {
    uint8_t r, g, b;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    Rgb at(int x, int y) const {
        const size_t i = 3 * (static_cast<size_t>(y) * width + x);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// The window's area of the root window (import -window root, cropped); empty on failure.
Image screenshot(const Window& window);

// A fresh empty directory, removed by the destructor.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
