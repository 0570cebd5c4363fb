// The real program in a real window (Xvfb) under a window manager: where the car, the grid lines
// and the bodies appear, measured against the projection of a camera 40 units above the car with a
// 45-degree view; and what the program keeps for the player: the window size through full screen
// and back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "tests/support/sdl_recorder.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds, std::this_thread::sleep_for;

// What a shell command prints on its standard output.
std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;) {
            output += static_cast<char>(c);
        }
        pclose(pipe);
    }
    return output;
}

// A program under the tests' X display, driven with xdotool, with APPDATA set to `directory` and
// SDL's dummy audio driver; it is killed after 20 s at the latest.
class XProgram {
  public:
    XProgram(const char* path, const std::string& directory)
        : name_(std::filesystem::path(path).filename()), pid_(fork()) {
        if (pid_ == 0) {
            unsetenv("SDL_VIDEODRIVER");
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("APPDATA", directory.c_str(), 1);
            alarm(20);
            execl(path, path, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~XProgram() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Finds the program's window (made anew for each mode) and puts the pointer in it.
    bool findWindow() {
        window = commandOutput("timeout 10 xdotool search --sync --onlyvisible --class " + name_);
        window = window.substr(0, window.find('\n'));
        xdotool("mousemove --window " + window + " 10 10");
        return !window.empty();
    }

    // Runs "xdotool <arguments>" with the window focused, e.g. "key Escape".
    void xdotool(const std::string& arguments) const {
        commandOutput("xdotool windowfocus --sync " + window + " " + arguments);
    }

    void signal(int number) const { kill(pid_, number); }

    // The exit status; -1 when the program did not end normally (it is killed after 20 s).
    int finish() {
        int status = -1;
        waitpid(std::exchange(pid_, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string window;  // xdotool's id for the window; empty when none appeared

  private:
    std::string name_;
    pid_t pid_;
};

constexpr int width = 640, height = 480;
const double scale = 240 / (40 * std::tan(M_PI / 8));  // pixels per world unit
enum Shade { black, grey, white, other };

// The 640 x 480 window's pixels; empty when it could not be taken.
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

// The centres of the grey runs along a row (or a column), and the white pixels' count and centre.
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

// Where a world coordinate lands on the screen with the camera over `centre`: lines on pixel
// boundaries are drawn on the pixel before.
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

void expectNear(const std::vector<double>& seen, const std::vector<double>& expected,
                const char* what) {
    ASSERT_EQ(seen.size(), expected.size()) << what << ": " << testing::PrintToString(seen);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_NEAR(seen[i], expected[i], 1.0) << what << " " << i;
    }
}

// The car: white, 9.6 square units, centred in the window (no other body comes within 40 pixels
// of its centre). Facing -y, its wide end (2.8 units) up and its narrow end (2) down put its
// centroid 1/9 unit above its centre.
void expectCarAtCentre(const std::vector<Shade>& p) {
    double count = 0, x = 0, y = 0;
    for (int i = 0; i < width * height; ++i) {
        if (p[i] == white && unsigned(i % width - 280) < 80 && unsigned(i / width - 200) < 80) {
            std::tie(count, x, y) = std::tuple(count + 1, x + i % width + 0.5, y + i / width + 0.5);
        }
    }
    EXPECT_NEAR(count, 9.6 * scale * scale, 60);
    EXPECT_NEAR(x / count, 320, 2);
    EXPECT_NEAR(y / count, 240 - scale / 9, 2) << "the car is not centred";
}

TEST(ArenaWindow, TheCameraLooksDownOnTheCarAndFullScreenAndBackKeepTheWindowSize) {
    const std::string directory = makeRunDirectory();
    XProgram windowManager("/usr/bin/openbox", directory);  // as players have one
    sleep_for(milliseconds(1500));                          // it takes about a second to start
    XProgram game(SCRAPVOLT_PROGRAM, directory);
    ASSERT_TRUE(game.findWindow());
    std::vector<Shade> start;
    for (int attempt = 0; attempt < 20 && start.empty(); ++attempt) {
        sleep_for(milliseconds(250));  // mapped, maybe not drawn
        start = screenshot(game);
        start = std::count(start.begin(), start.end(), white) > 1500 ? start : std::vector<Shade>{};
    }
    ASSERT_FALSE(start.empty());
    // The car at (1.9, 15): vertical lines on x = -20 ... 20 across the whole height, horizontal
    // ones on y = 0 ... 30 (the grid is drawn around the car, not the origin).
    const std::vector<double> columns = gridPositions(1.9, false), rows = gridPositions(15, true);
    for (int row : {2, 30, 150}) {
        expectNear(greyRuns(start, row, true), columns, "columns of the vertical lines");
    }
    expectNear(greyRuns(start, 5, false), rows, "rows of the horizontal lines");
    expectCarAtCentre(start);

    // Multisampling on, full screen (720 x 480 on the 1024 x 768 screen) and back twice, then
    // Escape: the program ends at once and keeps the window size. In full screen the picture is
    // scaled to the screen: grid lines reach its top rows, not only a 720 x 480 corner.
    const std::string keys[] = {"m",          "alt+Return", "",      "alt+Return",
                                "alt+Return", "alt+Return", "Escape"};
    for (const std::string& key : keys) {
        sleep_for(milliseconds(800));
        ASSERT_TRUE(game.findWindow());  // the window may be made anew for each mode
        if (key.empty()) {
            const std::string top =
                commandOutput("import -window root -crop 1024x200+0+0 -depth 8 gray:-");
            EXPECT_GT(std::count_if(top.begin(), top.end(), [](char c) { return c != 0; }), 1000)
                << "the full-screen picture does not reach the top of the screen";
        } else {
            game.xdotool("key --clearmodifiers " + key);
        }
    }
    const auto escaped = std::chrono::steady_clock::now();
    EXPECT_EQ(game.finish(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - escaped, milliseconds(3000));
    EXPECT_EQ(readFile(directory + "/Scrapvolt.cfg"),
              std::string("\2\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13))
        << "not saved as a 640 x 480 window with multisampling and gamma 1.0";
    fs::remove_all(directory);
}

// Closing the terminal, Ctrl+C and a polite kill each save. A 0600 or 0640 file keeps its mode;
// a link to a device (here a null device of the test's own, or a named pipe where the test may
// not make one) is left as it is.
TEST(ArenaWindow, EachQuitSignalSavesKeepingTheFilesModeAndADeviceLink) {
    const std::string saved("\0\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13);
    for (const auto& [signal, mode] : {std::pair(SIGHUP, 0600), {SIGINT, 0640}, {SIGTERM, 0}}) {
        SCOPED_TRACE(testing::Message() << "signal " << signal << ", mode " << mode);
        const std::string directory = makeRunDirectory(), prefs = directory + "/Scrapvolt.cfg",
                          device = directory + "/null";
        if (mode == 0) {
            ASSERT_TRUE(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ||
                        mkfifo(device.c_str(), 0666) == 0);
            fs::create_symlink(device, prefs);
        } else {
            std::ofstream(prefs, std::ios::binary) << "old";
            chmod(prefs.c_str(), mode);
        }
        XProgram game(SCRAPVOLT_PROGRAM, directory);
        ASSERT_TRUE(game.findWindow());
        sleep_for(milliseconds(300));
        game.signal(signal);
        EXPECT_EQ(game.finish(), 0);
        if (mode == 0) {
            EXPECT_EQ(fs::read_symlink(prefs), device);
            EXPECT_FALSE(fs::is_regular_file(device)) << "the device was replaced";
        } else {
            EXPECT_EQ(fs::status(prefs).permissions(), fs::perms(mode));
            EXPECT_EQ(readFile(prefs), saved) << "not saved";
        }
        fs::remove_all(directory);
    }
}

}  // namespace
