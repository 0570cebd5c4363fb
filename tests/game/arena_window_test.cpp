// The real program in a real window (Xvfb) under a window manager: where the car and the grid
// lines appear under a camera 40 units above the car with a 45-degree view; full screen and back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "tests/support/sdl_recorder.h"

namespace {

using std::chrono::milliseconds, std::this_thread::sleep_for;

std::string commandOutput(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    std::string output;
    for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) {
        output += static_cast<char>(c);
    }
    return pipe != nullptr ? pclose(pipe), output : output;
}

// A program under the tests' X display with APPDATA set to `directory`, killed after 20 s.
struct XProgram {
    XProgram(const char* path, const std::string& directory)
        : name(std::filesystem::path(path).filename()), pid(fork()) {
        if (pid == 0) {
            unsetenv("SDL_VIDEODRIVER");
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("APPDATA", directory.c_str(), 1);
            alarm(20);
            execl(path, path, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~XProgram() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // The window is made anew for each mode: finds it and puts the pointer in it.
    bool findWindow() {
        window = commandOutput("timeout 10 xdotool search --sync --onlyvisible --class " + name);
        window = window.substr(0, window.find('\n'));
        xdotool("mousemove --window " + window + " 10 10");
        return !window.empty();
    }
    void xdotool(const std::string& arguments) const {
        commandOutput("xdotool windowfocus --sync " + window + " " + arguments);
    }
    int finish() {  // the exit status, -1 when killed
        int status = -1;
        waitpid(std::exchange(pid, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string name, window;
    pid_t pid;
};

constexpr int width = 640, height = 480;
const double scale = 240 / (40 * std::tan(M_PI / 8));  // pixels per world unit
enum Shade { black, grey, white, other };

std::vector<Shade> screenshot(const XProgram& program) {
    const std::string ppm = commandOutput("import -window " + program.window + " -depth 8 ppm:-");
    const std::string header = "P6\n640 480\n255\n";
    std::vector<Shade> pixels;
    for (size_t i = header.size(); ppm.starts_with(header) && i + 2 < ppm.size(); i += 3) {
        const auto* c = reinterpret_cast<const unsigned char*>(ppm.data() + i);
        const int low = std::min({c[0], c[1], c[2]}), high = std::max({c[0], c[1], c[2]});
        pixels.push_back(high < 16                                   ? black
                         : low > 240                                 ? white
                         : high - low < 8 && low > 100 && high < 156 ? grey
                                                                     : other);
    }
    return pixels.size() == width * height ? pixels : std::vector<Shade>{};
}

// The centres of the grey runs along a row (or a column).
std::vector<double> greyRuns(const std::vector<Shade>& p, int at, bool row) {
    std::vector<double> centres;
    const int length = row ? width : height;
    for (int i = 0, start = -1; i <= length; ++i) {
        const bool isGrey = i < length && p[row ? at * width + i : i * width + at] == grey;
        if (isGrey && start < 0) {
            start = i;
        } else if (!isGrey && start >= 0) {
            centres.push_back((start + i) / 2.0);
            start = -1;
        }
    }
    return centres;
}

// Where the grid lines land with the camera over `centre` (y up: rows flipped); a line on a pixel
// boundary is drawn on the pixel before.
std::vector<double> gridPositions(double centre, bool flipped) {
    std::vector<double> positions;
    for (double line = std::floor(centre / 5 - 10) * 5; line < centre + 50; line += 5) {
        const double at = flipped ? 240 - (line - centre) * scale : 320 + (line - centre) * scale;
        if (at >= 0.5 && at < (flipped ? height : width) - 0.5) {
            positions.push_back(std::floor(at - 0.5) + 0.5);
        }
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

void expectNear(const std::vector<double>& seen, const std::vector<double>& expected) {
    ASSERT_EQ(seen.size(), expected.size()) << testing::PrintToString(seen);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_NEAR(seen[i], expected[i], 1.0) << i;
    }
}

TEST(ArenaWindow, TheCameraLooksDownOnTheCarAndFullScreenAndBackKeepTheWindowSize) {
    const std::string directory = makeRunDirectory();
    XProgram windowManager("/usr/bin/openbox", directory);  // as players have one
    sleep_for(milliseconds(1500));                          // it takes about a second to start
    XProgram game(SCRAPVOLT_PROGRAM, directory);
    ASSERT_TRUE(game.findWindow());
    std::vector<Shade> p;
    for (int attempt = 0; attempt < 20 && p.empty(); ++attempt) {
        sleep_for(milliseconds(250));  // mapped, maybe not drawn
        p = screenshot(game);
        p = std::count(p.begin(), p.end(), white) > 1500 ? p : std::vector<Shade>{};
    }
    ASSERT_FALSE(p.empty());
    // The grid around the car at (1.9, 15), not the origin: lines across the whole picture.
    for (int row : {2, 30, 150}) {
        expectNear(greyRuns(p, row, true), gridPositions(1.9, false));
    }
    expectNear(greyRuns(p, 5, false), gridPositions(15, true));
    // The car, 9.6 square units, in the middle (no other body within 40 pixels), facing -y: its
    // wide end (2.8) up and its narrow end (2) down put its centroid 1/9 unit above its centre.
    double count = 0, x = 0, y = 0;
    for (int i = 0; i < width * height; ++i) {
        if (p[i] == white && unsigned(i % width - 280) < 80 && unsigned(i / width - 200) < 80) {
            std::tie(count, x, y) = std::tuple(count + 1, x + i % width + 0.5, y + i / width + 0.5);
        }
    }
    EXPECT_NEAR(count, 9.6 * scale * scale, 60);
    EXPECT_NEAR(x / count, 320, 2);
    EXPECT_NEAR(y / count, 240 - scale / 9, 2);
    // Multisampling on, full screen (720 x 480 scaled to the 1024 x 768 screen: grid lines in its
    // top rows) and back twice, then Escape: the program ends at once keeping the window size.
    for (const std::string key :
         {"m", "alt+Return", "", "alt+Return", "alt+Return", "alt+Return", "Escape"}) {
        sleep_for(milliseconds(800));
        ASSERT_TRUE(game.findWindow());
        if (key.empty()) {
            const std::string top =
                commandOutput("import -window root -crop 1024x200+0+0 -depth 8 gray:-");
            EXPECT_GT(std::count_if(top.begin(), top.end(), [](char c) { return c != 0; }), 1000);
        } else {
            game.xdotool("key --clearmodifiers " + key);
        }
    }
    const auto escaped = std::chrono::steady_clock::now();
    EXPECT_EQ(game.finish(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - escaped, milliseconds(3000));
    EXPECT_EQ(readFile(directory + "/Scrapvolt.cfg"),
              std::string("\2\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13));
    std::filesystem::remove_all(directory);
}

}  // namespace
