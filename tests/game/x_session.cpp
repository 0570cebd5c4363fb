#include "tests/game/x_session.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

std::string commandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

pid_t launch(const std::string& program, const std::string& appData, const std::string& probeLog) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("APPDATA", appData.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!probeLog.empty()) {
            setenv("SCRAPVOLT_PROBE_LOG", probeLog.c_str(), 1);
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int waitForExit(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

int shellValue(const std::string& text, const std::string& key) {
    const size_t at = text.find(key + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + key.size() + 1);
}

}  // namespace

Window findAndFocusWindow(const std::string& title) {
    Window window;
    std::istringstream ids(commandOutput(
        "timeout 10 xdotool search --sync --onlyvisible --name '^" + title + "$' 2>/dev/null"));
    if (!(ids >> window.id)) {
        return window;
    }
    const std::string geometry =
        commandOutput("xdotool getwindowgeometry --shell " + window.id + " 2>/dev/null");
    window.x = shellValue(geometry, "X");
    window.y = shellValue(geometry, "Y");
    window.width = shellValue(geometry, "WIDTH");
    window.height = shellValue(geometry, "HEIGHT");
    xdotool("mousemove --window " + window.id + " 10 10");
    xdotool("windowfocus " + window.id);
    return window;
}

void xdotool(const std::string& arguments) {
    std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str());
}

Image screenshot(const Window& window) {
    Image image;
    std::ostringstream command;
    command << "import -window root -crop " << window.width << "x" << window.height << "+"
            << window.x << "+" << window.y << " +repage -depth 8 ppm:- 2>/dev/null";
    const std::string ppm = commandOutput(command.str());
    std::istringstream in(ppm);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> image.width >> image.height >> maxValue) || magic != "P6" ||
        maxValue != 255) {
        return {};
    }
    in.get();  // the one whitespace byte before the pixels
    const size_t size = 3 * static_cast<size_t>(image.width) * image.height;
    const size_t start = static_cast<size_t>(in.tellg());
    if (ppm.size() < start + size) {
        return {};
    }
    image.rgb.assign(ppm.begin() + start, ppm.begin() + start + size);
    return image;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scrapvolt-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TemporaryDirectory::~TemporaryDirectory() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}
