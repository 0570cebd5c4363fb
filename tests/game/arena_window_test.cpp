// The real program in a real window (run under Xvfb): what it shows, how it drives, how it ends
// and what it saves. SCRAPVOLT_PROGRAM and SCRAPVOLT_PROBE are set by the build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/game/x_session.h"

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes defaultSettings = {0x00, 0x80, 0x02, 0x00, 0x00, 0xE0, 0x01,
                               0x00, 0x00, 0x00, 0x00, 0x01, 0x00};

constexpr int exitTimeoutMs = 10000;

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool isBlack(Rgb c) {
    return c.r < 16 && c.g < 16 && c.b < 16;
}
bool isWhite(Rgb c) {
    return c.r > 240 && c.g > 240 && c.b > 240;
}
bool isGrey(Rgb c) {
    return c.r >= 112 && c.r <= 144 && c.g == c.r && c.b == c.r;
}

// Start rows of the grey runs down column x: the grid's horizontal lines crossing it.
std::vector<int> greyRunsDownColumn(const Image& image, int x) {
    std::vector<int> runs;
    for (int y = 0; y < image.height; ++y) {
        if (isGrey(image.at(x, y)) && (y == 0 || !isGrey(image.at(x, y - 1)))) {
            runs.push_back(y);
        }
    }
    return runs;
}

// The car is drawn at the window's centre whatever its position in the world.
void expectWhiteCentre(const Image& image) {
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            const Rgb c = image.at(image.width / 2 + dx, image.height / 2 + dy);
            ASSERT_TRUE(isWhite(c))
                << "the car is not at the centre: pixel (" << dx << ", " << dy << ") from it is "
                << int(c.r) << "," << int(c.g) << "," << int(c.b);
        }
    }
}

// The window's content once something has been drawn: a freshly mapped window may still be
// empty on a busy machine.
Image firstFrame(const Window& window) {
    Image image;
    for (int attempt = 0; attempt < 20; ++attempt) {
        pause(250);
        image = screenshot(window);
        if (image.width > 0 && isWhite(image.at(image.width / 2, image.height / 2))) {
            break;
        }
    }
    return image;
}

class ArenaWindow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "window tests need an X display (Xvfb)";
        ASSERT_FALSE(appData_.path().empty()) << "no temporary directory";
        for (const char* program : {SCRAPVOLT_PROGRAM, SCRAPVOLT_PROBE}) {
            ASSERT_EQ(access(program, X_OK), 0) << program << " has not been built";
        }
        for (const char* tool : {"xdotool", "import"}) {
            ASSERT_EQ(std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()), 0)
                << tool << " is missing: install xdotool and imagemagick";
        }
    }

    std::string prefsPath() const { return appData_.path() + "/Scrapvolt.cfg"; }

    // Starts the program and waits for its window.
    Window start(const std::string& program, const std::string& probeLog = "") {
        pid_ = launch(program, appData_.path(), probeLog);
        return findAndFocusWindow("Scrapvolt");
    }

    int finish() { return waitForExit(pid_, exitTimeoutMs); }

    void TearDown() override {
        if (pid_ > 0) {
            waitForExit(pid_, 0);
        }
    }

    TemporaryDirectory appData_;
    pid_t pid_ = 0;
};

TEST_F(ArenaWindow, FirstFrameThenUpMovesTheSceneAndEscapeSavesTheDefaults) {
    const Window window = start(SCRAPVOLT_PROGRAM);
    ASSERT_FALSE(window.id.empty()) << "no window titled Scrapvolt appeared";
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.height, 480);
    const Image first = firstFrame(window);
    ASSERT_EQ(first.width, window.width) << "screenshot failed";
    size_t black = 0, grey = 0, white = 0;
    for (int y = 0; y < first.height; ++y) {
        for (int x = 0; x < first.width; ++x) {
            const Rgb c = first.at(x, y);
            black += isBlack(c);
            grey += isGrey(c);
            white += isWhite(c);
        }
    }
    const size_t pixels = static_cast<size_t>(first.width) * first.height;
    EXPECT_EQ(black + grey + white, pixels) << "only black, grey and white are drawn";
    EXPECT_GT(black, pixels * 3 / 4) << "the background is not black";
    EXPECT_GT(grey, 2000u) << "no grey grid";
    expectWhiteCentre(first);
    const std::vector<int> rowsBefore = greyRunsDownColumn(first, 5);
    EXPECT_GE(rowsBefore.size(), 5u) << "the grid's horizontal lines should cross the left edge";

    // Three looks while and after Up is held: the horizontal grid lines must have moved in at
    // least one (a drive of a whole multiple of 5 units would put them back in place once).
    xdotool("keydown Up");
    bool sceneMoved = false;
    for (int look = 0; look < 3; ++look) {
        pause(350);
        if (look == 2) {
            xdotool("keyup Up");
        }
        const Image driven = screenshot(window);
        ASSERT_EQ(driven.width, window.width) << "screenshot failed";
        expectWhiteCentre(driven);
        sceneMoved = sceneMoved || greyRunsDownColumn(driven, 5) != rowsBefore;
    }
    EXPECT_TRUE(sceneMoved) << "holding Up did not move the scene";

    xdotool("key Escape");
    EXPECT_EQ(finish(), 0) << "Escape should end the program with status 0";
    EXPECT_EQ(readFile(prefsPath()), defaultSettings) << "the saved settings are not the defaults";
}

TEST_F(ArenaWindow, SecondRunReadsTheSavedSettingsBack) {
    // 800 x 600, windowed, gamma 1.0.
    const Bytes saved = {0x00, 0x20, 0x03, 0x00, 0x00, 0x58, 0x02,
                         0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
    writeFile(prefsPath(), saved);
    const Window window = start(SCRAPVOLT_PROGRAM);
    ASSERT_FALSE(window.id.empty()) << "no window titled Scrapvolt appeared";
    EXPECT_EQ(window.width, 800) << "the saved width was not used";
    EXPECT_EQ(window.height, 600) << "the saved height was not used";
    xdotool("key Escape");
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(readFile(prefsPath()), saved) << "the settings did not survive a run unchanged";
}

// The probe build runs the real game object and state and logs each mode set and the OpenGL
// state of the first frame after each one; it resizes the window once and then quits.
TEST_F(ArenaWindow, EveryModeAsksForNoStencilAndDrawsFlatWithBlending) {
    const std::string log = appData_.path() + "/probe.log";
    pid_ = launch(SCRAPVOLT_PROBE, appData_.path(), log);
    ASSERT_EQ(finish(), 0) << "the probe did not quit by itself";

    std::ifstream file(log);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    SCOPED_TRACE("probe log:\n" + text);
    std::istringstream lines(text);
    const std::string expectedFrame = "frame cull 0 depth 0 blend 1 tickRate 100 caption Scrapvolt";
    std::vector<std::string> modes, frames;
    for (std::string line; std::getline(lines, line);) {
        (line.rfind("mode ", 0) == 0 ? modes : frames).push_back(line);
    }
    // SDL may retry a mode internally, so count only what was asked for, not how often.
    ASSERT_GE(modes.size(), 2u) << "expected the first mode and the resize";
    EXPECT_EQ(modes.front(), "mode 640 480 stencil 0");
    EXPECT_EQ(modes.back(), "mode 720 540 stencil 0");
    for (const std::string& mode : modes) {
        EXPECT_NE(mode.find(" stencil 0"), std::string::npos) << mode;
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], expectedFrame) << "after start-up";
    EXPECT_EQ(frames[1], expectedFrame) << "after a change of video mode";
}

}  // namespace
