// The real program in a real window (under Xvfb), with the OpenGL probe preloaded: what it
// shows, how it drives, how it ends, what it saves and reads back, and its OpenGL set-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/x_program.h"

namespace {

using testing::ContainsRegex, testing::HasSubstr, testing::Not, testing::StartsWith;

// The 640 x 480 window's pixels, a letter each: b black, g grey, w white, ? anything else.
std::string screenshot(const XProgram& program) {
    const std::string ppm = commandOutput("import -window " + program.window + " -depth 8 ppm:-");
    const std::string header = "P6\n640 480\n255\n";
    std::string pixels;
    for (size_t i = header.size(); ppm.starts_with(header) && i + 2 < ppm.size(); i += 3) {
        const auto* c = reinterpret_cast<const unsigned char*>(ppm.data() + i);
        const bool grey = c[0] >= 112 && c[0] <= 144 && c[1] == c[0] && c[2] == c[0];
        pixels += std::max({c[0], c[1], c[2]}) < 16    ? 'b'
                  : std::min({c[0], c[1], c[2]}) > 240 ? 'w'
                  : grey                               ? 'g'
                                                       : '?';
    }
    return pixels.size() == 640 * 480 ? pixels : "";
}

// The car is drawn at the centre wherever it is in the world.
bool carAtCentre(const std::string& pixels) {
    bool white = !pixels.empty();
    for (int i = 0; i < 49; ++i) {
        white = white && pixels[(237 + i / 7) * 640 + 317 + i % 7] == 'w';
    }
    return white;
}

// Column 5, which only the grid's horizontal lines cross.
std::string leftColumn(const std::string& pixels) {
    std::string column;
    for (size_t at = 5; at < pixels.size(); at += 640) {
        column += pixels[at];
    }
    return column;
}

// The first run saves the defaults (640 x 480, windowed, gamma 1.0); the second reads 800 x 600.
TEST(ArenaWindow, ShowsDrivesSavesAndReadsTheSettingsBack) {
    const std::string directory = makeRunDirectory(), prefs = directory + "/Scrapvolt.cfg";
    const std::string defaults("\0\x80\2\0\0\xE0\1\0\0\0\0\1\0", 13),
        saved("\0\x20\3\0\0\x58\2\0\0\0\0\1\0", 13);
    for (const std::string& settings : {defaults, saved}) {
        if (settings == saved) {
            std::ofstream(prefs, std::ios::binary) << saved;
        }
        XProgram game(SCRAPVOLT_PROGRAM, directory, {{"LD_PRELOAD", GL_PROBE_PATH}});
        ASSERT_TRUE(game.findWindow());
        if (settings == defaults) {
            std::string first;  // a freshly mapped window may not be drawn yet
            for (int attempt = 0; attempt < 20 && !carAtCentre(first); ++attempt) {
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
                first = screenshot(game);
            }
            ASSERT_TRUE(carAtCentre(first)) << "no white car at the centre of the first frame";
            const auto black = std::ranges::count(first, 'b'),
                       grey = std::ranges::count(first, 'g');
            EXPECT_EQ(black + grey + std::ranges::count(first, 'w'), 640 * 480);
            EXPECT_GT(black, 640 * 480 * 3 / 4);
            EXPECT_GT(grey, 2000);
            EXPECT_GE(std::ranges::count(leftColumn(first), 'g'), 5);
            // Three looks while Up is held, released at the last: the grid must have moved in one
            // (a drive of a whole multiple of 5 units would put it back in place once).
            game.xdotool("keydown Up");
            bool moved = false;
            for (int look = 0; look < 3; ++look) {
                std::this_thread::sleep_for(std::chrono::milliseconds(350));
                if (look == 2) {
                    game.xdotool("keyup Up");
                }
                const std::string driven = screenshot(game);
                EXPECT_TRUE(carAtCentre(driven)) << "look " << look;
                moved = moved || leftColumn(driven) != leftColumn(first);
            }
            EXPECT_TRUE(moved) << "holding Up did not move the scene";
        }
        game.xdotool("key Escape");
        EXPECT_EQ(game.finish(), 0);
        EXPECT_EQ(readFile(prefs), settings);
        // What the probe printed: the size asked for first, no stencil buffer for any mode (SDL
        // may retry one), and a first frame with culling and depth testing off, blending on.
        const std::string printed = readFile(directory + "/stdout");
        EXPECT_THAT(printed, StartsWith(settings == defaults ? "mode 640 480 " : "mode 800 600 "));
        EXPECT_THAT(printed, Not(ContainsRegex("stencil [^0]")));
        EXPECT_THAT(printed,
                    HasSubstr("\nframe depth 0 cull 0 blend 1 770 771 caption Scrapvolt\n"));
    }
    std::filesystem::remove_all(directory);
}

}  // namespace
