#pragma once
// Files and child programs for the tests: a fresh directory, a file's bytes, and a program run
// under the tests' X display (Xvfb), driven with xdotool.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string makeRunDirectory() {
    std::string pattern = std::filesystem::temp_directory_path() / "scrapvolt_test_XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
}

// What a shell command prints on its standard output.
inline std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;) {
            output += static_cast<char>(c);
        }
        pclose(pipe);
    }
    return output;
}

// The program runs with APPDATA set to `directory` and SDL's dummy audio driver; it is killed
// after 20 s at the latest.
class XProgram {
  public:
    XProgram(const char* path, const std::string& directory) : pid_(fork()) {
        if (pid_ == 0) {
            unsetenv("SDL_VIDEODRIVER");
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("APPDATA", directory.c_str(), 1);
            alarm(20);
            execl(path, path, static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string name = std::filesystem::path(path).filename();
        window = commandOutput("timeout 10 xdotool search --sync --onlyvisible --class " + name);
        window = window.substr(0, window.find('\n'));
        commandOutput("xdotool mousemove --window " + window + " 10 10");  // no window manager
    }
    ~XProgram() { finish(0); }

    // Runs "xdotool <arguments>" with the window focused, e.g. "key Escape".
    void xdotool(const std::string& arguments) const {
        commandOutput("xdotool windowfocus --sync " + window + " " + arguments);
    }

    // The exit status; -1 when the program did not end normally within the time (it is killed).
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

    std::string window;  // xdotool's id for the window; empty when none appeared

  private:
    pid_t pid_;
};
