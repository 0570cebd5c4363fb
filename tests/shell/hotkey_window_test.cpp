// The shell's hot keys and window events in a real window: the recording game runs in the
// background and is driven with xdotool; its log and its preferences file are checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/message.h"
#include "tests/shell/driven_game.h"

namespace {

using Lines = std::vector<std::string>;

// SDL 1.2's numbers for the events and keys the log shows.
constexpr int sdlKeyDown = 2;
constexpr int sdlVideoResize = 16;
constexpr int keyReturn = 13;
constexpr int keyEscape = 27;

std::string msg(const char* receiver, int code) {
    return std::string(receiver) + " " + std::to_string(code);
}

std::string keyDownNote(const char* receiver, int sym) {
    return std::string(receiver) + " event " + std::to_string(sdlKeyDown) + " " +
           std::to_string(sym) + " ";
}

// Index of the first line at or after `from` that starts with prefix, or the log's size.
size_t find(const Lines& log, const std::string& prefix, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].starts_with(prefix)) {
            return i;
        }
    }
    return log.size();
}

// The `count` lines just before index `end`.
Lines before(const Lines& log, size_t end, size_t count) {
    if (end < count || end > log.size()) {
        return {};
    }
    return Lines(log.begin() + static_cast<long>(end - count),
                 log.begin() + static_cast<long>(end));
}

std::string describe(const Lines& log) {
    std::string text = "log:\n";
    for (const std::string& line : log) {
        text += "  " + line + "\n";
    }
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The 13-byte header for a window of the given size, no flags, gamma 1.0.
std::string windowHeader(int width, int height) {
    std::string header(13, '\0');
    for (int i = 0; i < 4; ++i) {
        header[1 + i] = static_cast<char>(width >> (8 * i));
        header[5 + i] = static_cast<char>(height >> (8 * i));
    }
    header[11] = 1;
    return header;
}

const std::string resizeNote = "state0 event " + std::to_string(sdlVideoResize) + " 800 600";

class ShellHotKeys : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_FAIL() << "DISPLAY is not set: run the window tests under Xvfb";
        }
        directory = makeRunDirectory();
    }

    std::string directory;
};

TEST_F(ShellHotKeys, EscapeUnwindsResizeResetsTwiceEscapeQuitsAndTheNextRunReadsTheSettings) {
    DrivenGame game;
    ASSERT_TRUE(game.start(directory,
                           {{"SHELL_TEST_PUSH_ON_DRAW", "1"}, {"SHELL_TEST_PREFS_DATA", "lap 3"}}));
    ASSERT_TRUE(game.waitForLines(msg("state1", MSG_ENTER))) << describe(game.log());
    game.press("Escape");
    ASSERT_TRUE(game.waitForLines(keyDownNote("state0", keyEscape))) << describe(game.log());
    game.resize(800, 600);
    ASSERT_TRUE(game.waitForLines(resizeNote)) << describe(game.log());
    game.press("Escape");
    ASSERT_EQ(game.finish(), 0) << describe(game.log());

    const Lines log = game.log();
    const size_t unwound = find(log, keyDownNote("state0", keyEscape));
    EXPECT_EQ(before(log, unwound, 5),
              (Lines{msg("state1", MSG_LEAVE), "state1 deleted", msg("state0", MSG_ENTER),
                     msg("state0", MSG_VIDEO_RESET), msg("state0", MSG_SDL_EVENT)}))
        << describe(log);

    const size_t resized = find(log, resizeNote);
    EXPECT_EQ(before(log, resized, 7),
              (Lines{msg("game", MSG_VIDEO_RESET), "game screen 800 600 0",
                     msg("state0", MSG_VIDEO_RESET), msg("game", MSG_VIDEO_RESET),
                     "game screen 800 600 0", msg("state0", MSG_VIDEO_RESET),
                     msg("state0", MSG_SDL_EVENT)}))
        << describe(log);

    // Escape on the root: that frame still draws once, then shutdown begins.
    const size_t quit = find(log, keyDownNote("state0", keyEscape), resized);
    const size_t left = find(log, msg("state0", MSG_LEAVE), quit);
    ASSERT_LT(quit, left) << describe(log);
    long draws = 0;
    for (size_t i = quit; i < left; ++i) {
        draws += log[i] == msg("game", MSG_DRAW) ? 1 : 0;
    }
    EXPECT_EQ(draws, 1) << "frames after the quit: " << describe(log);
    EXPECT_EQ(before(log, log.size(), 3),
              (Lines{msg("game", MSG_SAVE_PREFS), msg("game", MSG_SHUTDOWN), "game deleted"}));

    EXPECT_EQ(readFile(directory + "/RecordingGame.cfg"), windowHeader(800, 600) + "lap 3");

    DrivenGame next;
    ASSERT_TRUE(next.start(directory));
    ASSERT_TRUE(next.waitForLines("game screen")) << describe(next.log());
    next.press("Escape");
    ASSERT_EQ(next.finish(), 0) << describe(next.log());
    const Lines nextLog = next.log();
    EXPECT_LT(find(nextLog, "game prefs lap 3"), find(nextLog, msg("game", MSG_STARTUP)))
        << describe(nextLog);
    const size_t firstMode = find(nextLog, "game screen");
    ASSERT_LT(firstMode, nextLog.size()) << describe(nextLog);
    EXPECT_EQ(nextLog[firstMode], "game screen 800 600 0");
}

TEST_F(ShellHotKeys, AltReturnSwitchesToFullScreenAndBack) {
    DrivenGame game;
    ASSERT_TRUE(game.start(directory));
    game.press("alt+Return");
    ASSERT_TRUE(game.waitForLines(keyDownNote("state0", keyReturn))) << describe(game.log());
    game.press("alt+Return");
    ASSERT_TRUE(game.waitForLines(keyDownNote("state0", keyReturn), 2)) << describe(game.log());
    game.press("Escape");
    ASSERT_EQ(game.finish(), 0) << describe(game.log());

    const Lines log = game.log();
    const size_t toFull = find(log, keyDownNote("state0", keyReturn));
    const size_t toWindow = find(log, keyDownNote("state0", keyReturn), toFull + 1);
    const Lines fullResets = before(log, toFull, 7);
    ASSERT_EQ(fullResets.size(), 7u) << describe(log);
    EXPECT_TRUE(fullResets[1].starts_with("game screen ") && fullResets[1].ends_with(" 1"))
        << "not in full screen after the first Alt+Return: " << describe(log);
    const Lines windowResets = before(log, toWindow, 7);
    ASSERT_EQ(windowResets.size(), 7u) << describe(log);
    EXPECT_EQ(windowResets[1], "game screen 640 480 0") << describe(log);
    EXPECT_EQ(readFile(directory + "/RecordingGame.cfg"), windowHeader(640, 480));
}

}  // namespace
