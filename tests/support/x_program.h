#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// Runs a shell command and returns what it printed.
inline std::string commandOutput(const std::string& shellCommand) {
    std::string output;
    if (FILE* pipe = popen((shellCommand + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        pclose(pipe);
    }
    return output;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh directory under the system's temporary one.
inline std::string makeRunDirectory() {
    std::string pattern = std::filesystem::temp_directory_path() / "x_program_XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
}

// A program run as a child process under the tests' X display (Xvfb), driven with xdotool. Its
// APPDATA is `directory`, its standard output goes to <directory>/stdout, SDL's audio driver is
// the dummy one and SDL_VIDEODRIVER is unset unless `env` sets it; a hung run dies after 20 s.
class XProgram {
  public:
    XProgram(const std::string& path, const std::string& directory,
             const std::vector<std::pair<std::string, std::string>>& env = {})
        : name_(path.substr(path.rfind('/') + 1)), pid_(fork()) {
        if (pid_ == 0) {
            std::freopen((directory + "/stdout").c_str(), "w", stdout);
            unsetenv("SDL_VIDEODRIVER");
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("APPDATA", directory.c_str(), 1);
            for (const auto& [name, value] : env) {
                setenv(name.c_str(), value.c_str(), 1);
            }
            alarm(20);  // survives exec
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~XProgram() { finish(0); }

    // Waits for its window (class: the program's name) and puts the pointer on it (no WM).
    bool findWindow() {
        window = commandOutput("timeout 10 xdotool search --sync --onlyvisible --class " + name_);
        window = window.substr(0, window.find('\n'));
        xdotool("mousemove --window " + window + " 10 10");
        return !window.empty();
    }

    // Focuses the window and runs "xdotool <arguments>", e.g. "key --clearmodifiers Escape".
    void xdotool(const std::string& arguments) const {
        commandOutput("xdotool windowfocus --sync " + window + " " + arguments);
    }

    // The exit status, or -1 when the program did not exit normally in time (it is then killed).
    int finish(int timeoutMs = 10000) {
        int status = -1;
        for (int waited = 0; pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0; waited += 10) {
            if (waited >= timeoutMs) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
            usleep(10000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string window;  // xdotool's id for the window, empty until found

  private:
    std::string name_;
    pid_t pid_ = -1;
};
