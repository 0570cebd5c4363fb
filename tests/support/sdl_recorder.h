#pragma once
// Link-time stand-ins for the SDL 1.2, SDL_mixer, OpenGL and GLU functions that the shell and the
// game call. Each call becomes one line of a log ("glTranslatef 0 0 40"); what SDL answers comes
// from sdlScript. runShell runs the shell's own main against them in a child process.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct SdlScript {
    std::vector<std::vector<SDL_Event>> frames;  // events polled per frame; later ones: SDL_QUIT
    std::string refused;  // SDL_SetVideoMode call i fails when refused[i] is 'x'
    int maxSamples = 16;  // glGetIntegerv's GL_MAX_SAMPLES
    uint32_t swapMs = 3;  // SDL_GetTicks starts at 1000 and moves by SDL_Delay and each swap
    int mouseX = 0, mouseY = 0;
    Uint8 mouseButtons = 0;
    Uint8 keys[SDLK_LAST] = {};
};
extern SdlScript sdlScript;

// Appends the line "<words> <numbers>" to the log, each number as the shortest text that reads
// back as the same float (or double). A glVertex call continues the glVertex line before it.
void record(std::initializer_list<std::string_view> words,
            std::initializer_list<double> numbers = {});
std::string takeLog();  // the lines since the last take, each ended by '\n'

struct ShellRun {
    std::vector<std::string> frames;  // the log: [0] start-up, then a frame each (shutdown last)
    std::string output;               // standard output
    std::string errors;               // standard error
    int status = -1;                  // of main
    long allocations = -1;            // from the second buffer swap to the last
};
ShellRun runShell();
// The same for the shell's replay of a journal without a window.
ShellRun runReplay(const std::string& journal);

// What `pick` makes of each line of the run's log, joined, with `frameEnd` after each frame.
std::string pickLines(const ShellRun& run, const std::function<std::string(std::string_view)>& pick,
                      std::string_view frameEnd = "");
std::string lines(std::string calls);  // "a; b" gives "a\nb\n"

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string makeRunDirectory() {  // a new one under the system's temporary directory
    std::string pattern = std::filesystem::temp_directory_path() / "scrapvolt_test_XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
}

// A fresh script, and a fresh preferences directory `dir`, for each test.
struct RecorderTest : testing::Test {
    void SetUp() override { setenv("APPDATA", dir.c_str(), 1), sdlScript = SdlScript{}; }
    void TearDown() override { std::filesystem::remove_all(dir); }
    const std::string dir = makeRunDirectory();
};
