// The real program under Xvfb keeps what the player has: full screen and back under a window
// manager leaves the window size as it was, a quit signal saves, and a settings file keeps its
// permissions and a link to a device stays that link.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/x_program.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds, std::this_thread::sleep_for;

// 800 x 600 window, multisampling on, gamma 1.0.
const std::string multisampled800("\2\x20\3\0\0\x58\2\0\0\0\0\1\0", 13);

TEST(SettingsKept, FullScreenAndBackWithMultisamplingEndsAtOnceWithTheWindowSize) {
    const std::string directory = makeRunDirectory(), prefs = directory + "/Scrapvolt.cfg";
    std::ofstream(prefs, std::ios::binary) << multisampled800;
    XProgram windowManager("/usr/bin/openbox", directory);  // as players have one
    sleep_for(milliseconds(1500));                          // it takes about a second to start
    XProgram game(SCRAPVOLT_PROGRAM, directory);
    for (const char* key : {"alt+Return", "alt+Return", "alt+Return", "alt+Return", "Escape"}) {
        sleep_for(milliseconds(800));
        ASSERT_TRUE(game.findWindow());  // the window may be made anew for each mode
        game.xdotool(std::string("key --clearmodifiers ") + key);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(game.finish(5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(3000));
    EXPECT_EQ(readFile(prefs), multisampled800);
    fs::remove_all(directory);
}

// The device is a null device of the test's own, so that a program that replaced it would not
// damage the system's /dev/null. Making one needs root (as in CI); without it that row is left out.
TEST(SettingsKept, EachQuitSignalSavesKeepingTheFilesModeAndADeviceLink) {
    const struct {
        int signal;
        int mode;  // of a file with a byte behind the header; 0: a link to a device
    } rows[] = {{SIGHUP, 0600}, {SIGTERM, 0640}, {SIGINT, 0600}, {SIGTERM, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.signal) + " " + std::to_string(row.mode));
        const std::string directory = makeRunDirectory(), prefs = directory + "/Scrapvolt.cfg",
                          device = directory + "/null";
        if (row.mode == 0 && mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            continue;
        }
        if (row.mode == 0) {
            fs::create_symlink(device, prefs);
        } else {
            std::ofstream(prefs, std::ios::binary) << multisampled800 << 'x';
            chmod(prefs.c_str(), row.mode);
        }
        XProgram game(SCRAPVOLT_PROGRAM, directory);
        ASSERT_TRUE(game.findWindow());
        sleep_for(milliseconds(300));
        kill(std::stoi(commandOutput("xdotool getwindowpid " + game.window)), row.signal);
        EXPECT_EQ(game.finish(5000), 0);
        struct stat kept {};
        ASSERT_EQ(lstat(prefs.c_str(), &kept), 0);
        if (row.mode == 0) {
            EXPECT_EQ(fs::read_symlink(prefs), device);
            EXPECT_TRUE(fs::is_character_file(device));
        } else {
            EXPECT_EQ(kept.st_mode & 07777, row.mode);
            EXPECT_EQ(readFile(prefs), multisampled800) << "not saved";
        }
        fs::remove_all(directory);
    }
}

}  // namespace
