#include "tests/shell/driven_game.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr auto patience = std::chrono::seconds(8);

// Runs a shell command and returns what it printed.
std::string capture(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

// "<receiver> <code> <tick> <ms>" becomes "<receiver> <code>"; notes stay whole.
std::string withoutTiming(const std::string& line) {
    std::istringstream fields(line);
    std::string receiver;
    int code = 0;
    unsigned tick = 0;
    unsigned ms = 0;
    if (fields >> receiver >> code >> tick >> ms && fields.eof()) {
        return receiver + " " + std::to_string(code);
    }
    return line;
}

}  // namespace

std::string makeRunDirectory() {
    std::string pattern = ::testing::TempDir() + "shell_hotkeys_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a directory for the runs";
        return "/nonexistent";
    }
    return pattern;
}

bool DrivenGame::start(const std::string& directory, const Environment& env) {
    directory_ = directory;
    std::remove((directory + "/log").c_str());
    child_ = fork();
    if (child_ == 0) {
        freopen((directory + "/stdout").c_str(), "w", stdout);
        unsetenv("SDL_VIDEODRIVER");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("SHELL_TEST_LOG", (directory + "/log").c_str(), 1);
        setenv("APPDATA", directory.c_str(), 1);
        for (const auto& [name, value] : env) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        alarm(20);  // survives exec: ends a game that hangs
        execl(RECORDING_GAME_PATH, RECORDING_GAME_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    std::istringstream found(capture("timeout 10 xdotool search --sync --class recording_game"));
    found >> window_;
    if (window_.empty()) {
        ADD_FAILURE() << "the game's window did not appear";
        return false;
    }
    capture("xdotool windowfocus --sync " + window_ + " mousemove --window " + window_ + " 20 20");
    return true;
}

void DrivenGame::press(const std::string& keys) const {
    capture("xdotool windowfocus --sync " + window_ + " key --clearmodifiers " + keys);
}

void DrivenGame::resize(int width, int height) const {
    capture("xdotool windowsize --sync " + window_ + " " + std::to_string(width) + " " +
            std::to_string(height));
}

bool DrivenGame::waitForLines(const std::string& prefix, size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        size_t found = 0;
        for (const std::string& logged : log()) {
            found += logged.starts_with(prefix) ? 1 : 0;
        }
        if (found >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int DrivenGame::finish() {
    if (child_ <= 0) {
        return -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (waitpid(child_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child_, SIGKILL);
            waitpid(child_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

DrivenGame::~DrivenGame() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
}

std::vector<std::string> DrivenGame::log() const {
    std::vector<std::string> lines;
    std::ifstream in(directory_ + "/log");
    for (std::string line; std::getline(in, line);) {
        lines.push_back(withoutTiming(line));
    }
    return lines;
}
