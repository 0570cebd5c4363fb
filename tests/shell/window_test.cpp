// The shell in a real window: the recording game runs as a child process, driven with xdotool
// where keys or a resize are needed, and its log of what it received is checked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/x_program.h"

namespace {

using testing::ContainsRegex, testing::EndsWith, testing::HasSubstr, testing::Not,
    testing::StartsWith;

long count(const std::string& text, const std::string& what) {
    long found = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++found;
    }
    return found;
}

// Runs the recording game to its end: its exit status, standard output and log.
std::tuple<int, std::string, std::string> runGame(
    const std::vector<std::pair<std::string, std::string>>& env) {
    const std::string directory = makeRunDirectory();
    std::tuple<int, std::string, std::string> run{
        XProgram(RECORDING_GAME_PATH, directory, env).finish(20000),
        readFile(directory + "/stdout"), readFile(directory + "/log")};
    std::filesystem::remove_all(directory);
    return run;
}

// 0 STARTUP 1 SHUTDOWN 3 SAVE_PREFS 4 VIDEO_RESET 5 TICK 6 DRAW 7 ENTER 8 LEAVE 10 CONFIGURE_GL
TEST(ShellWindow, StartUpStateChangeWhileDrawingTickRateAndShutdown) {
    const auto [status, output, log] = runGame({{"SHELL_TEST_PUSH_ON_DRAW", "2"},
                                                {"SHELL_TEST_QUIT_AFTER_MS", "2000"},
                                                {"LD_PRELOAD", GL_PROBE_PATH}});
    SCOPED_TRACE(log);
    ASSERT_EQ(status, 0);
    // Before the first frame no event is handled; SDL's events may come before any draw.
    EXPECT_THAT(log, StartsWith("game 10\ngame 0\ngame 4\ngame screen 640 480 0\nstate0 4\n"
                                "state0 7\n"));
    EXPECT_THAT(log, ContainsRegex("state0 7\n(state0 event [^\n]*\n)*game 6\nstate0 6\n"
                                   "game 5 1\t[0-9]+\nstate0 5 1\t"));
    // The second frame's draw asks for the change, which takes effect before any tick.
    EXPECT_THAT(log, ContainsRegex("game 6\nstate0 6\nstate0 8\nstate1 7\nstate1 4\n(state1 event "
                                   "[^\n]*\n)*game 6\nstate1 6\ngame 5 1\t[0-9]+\nstate1 5 1\t"));
    // The pushed state leaves and is deleted; the root state never is.
    EXPECT_THAT(log, EndsWith("\nstate1 8\nstate1 deleted\ngame 3\ngame 1\ngame deleted\n"));
    EXPECT_THAT(log, Not(HasSubstr("state0 deleted")));

    // The first frame's OpenGL state: depth test, culling, blending with SRC_ALPHA and
    // ONE_MINUS_SRC_ALPHA, and gluPerspective(45, 4:3, 0.1, 400) with the z axis flipped.
    EXPECT_THAT(output, HasSubstr("\nframe depth 1 cull 1 blend 1 770 771 caption "));
    EXPECT_THAT(output, HasSubstr("\nprojection 1.81066 0 0 0 0 2.414214 0 0 0 0 1.0005 1 0 0 "
                                  "-0.20005 0\n"));

    // Ticks count on by one from the change, about 100 a second (the first batch starts the clock).
    std::istringstream lines(log.substr(log.find("state1 7\n")));
    unsigned first = 0, last = 0, ticks = 0, number = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("game 5 ")) {
            EXPECT_EQ(line.substr(0, line.find('\t')), "game 5 " + std::to_string(++number));
            last = std::stoul(line.substr(line.find('\t') + 1));
            first = first == 0 ? last : first;
            ticks += last > first;
        }
    }
    ASSERT_GE(last - first, 800u);
    EXPECT_NEAR(ticks, (last - first) / 10.0, 3.0)
        << ticks << " ticks in " << last - first << " ms";
}

TEST(ShellWindow, GameThatIsItsOwnRootHearsEachMessageOnce) {
    const auto [status, output, log] =
        runGame({{"SHELL_TEST_GAME_IS_ROOT", "1"}, {"SHELL_TEST_QUIT_AFTER_MS", "300"}});
    SCOPED_TRACE(log);
    ASSERT_EQ(status, 0);
    EXPECT_THAT(log, StartsWith("game 10\ngame 0\ngame 4\ngame screen 640 480 0\ngame 7\n"));
    EXPECT_THAT(log, ContainsRegex("game 7\n(game event [^\n]*\n)*game 6\ngame 5 1\t"));
    EXPECT_THAT(log, Not(ContainsRegex("(^|\n)(game [0-9]+)\n\\2\n"))) << "heard twice";
    EXPECT_THAT(log, EndsWith("\ngame 8\ngame 3\ngame 1\ngame deleted\n"));
    EXPECT_EQ(count(log, "game deleted"), 1);
}

TEST(ShellWindow, NoOpenGLWindowPrintsTheErrorAndExitsWithStatus1) {
    const auto [status, output, log] = runGame({{"SDL_VIDEODRIVER", "dummy"}});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(output, "Unable to open graphics mode!\n");
    EXPECT_THAT(log, Not(HasSubstr("game 0\n"))) << "started without a video mode";
    EXPECT_THAT(log, EndsWith("\ngame deleted\n"));
}

bool waitFor(const std::string& directory, const std::string& text, long times = 1) {
    for (int attempt = 0; attempt < 400 && count(readFile(directory + "/log"), text) < times;
         ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return count(readFile(directory + "/log"), text) >= times;
}

// Key-down events are type 2 (Escape 27, Return 13), resize events 16.
TEST(ShellWindow, HotKeysAndResizeThenTheNextRunReadsTheSettings) {
    const std::string directory = makeRunDirectory();
    const std::string escape = "state0 event 2 27 ", altReturn = "state0 event 2 13 ";
    XProgram game(RECORDING_GAME_PATH, directory, {{"SHELL_TEST_PUSH_ON_DRAW", "1"}});
    ASSERT_TRUE(game.findWindow());
    ASSERT_TRUE(waitFor(directory, "state1 7"));
    const std::tuple<std::string, std::string, long> steps[] = {
        {"key --clearmodifiers Escape", escape, 1},
        {"windowsize --sync " + game.window + " 800 600", "state0 event 16 800 600", 1},
        {"key --clearmodifiers alt+Return", altReturn, 1},
        {"key --clearmodifiers alt+Return", altReturn, 2},
        {"key --clearmodifiers Escape", escape, 2}};
    for (const auto& [command, awaited, times] : steps) {
        game.xdotool(command);
        ASSERT_TRUE(waitFor(directory, awaited, times)) << command;
    }
    ASSERT_EQ(game.finish(), 0);

    const std::string log = readFile(directory + "/log");
    SCOPED_TRACE(log);
    // Escape on the pushed state unwinds to the root, which then gets the key.
    EXPECT_THAT(log, HasSubstr("state1 8\nstate1 deleted\nstate0 7\nstate0 4\n" + escape));
    EXPECT_THAT(log, HasSubstr("game 4\ngame screen 800 600 0\nstate0 4\ngame 4\n"
                               "game screen 800 600 0\nstate0 4\nstate0 event 16 800 600\n"));
    EXPECT_THAT(log, ContainsRegex("game screen [0-9]+ [0-9]+ 1\nstate0 4\n" + altReturn));
    EXPECT_THAT(log, HasSubstr("game screen 800 600 0\nstate0 4\n" + altReturn));
    // Escape on the root: that frame still draws once, then shutdown begins.
    const std::string ending = log.substr(log.rfind(escape));
    EXPECT_EQ(count(ending, "\ngame 6\n"), 1);
    EXPECT_THAT(ending, EndsWith("\nstate0 8\ngame 3\ngame 1\ngame deleted\n"));
    // 800 x 600, windowed, gamma 1.0, then the game's own data.
    EXPECT_EQ(readFile(directory + "/RecordingGame.cfg"),
              std::string("\0\x20\3\0\0\x58\2\0\0\0\0\1\0lap 3", 18));

    XProgram next(RECORDING_GAME_PATH, directory);
    ASSERT_TRUE(next.findWindow());
    ASSERT_TRUE(waitFor(directory, "game screen"));
    next.xdotool("key --clearmodifiers Escape");
    ASSERT_EQ(next.finish(), 0);
    EXPECT_THAT(readFile(directory + "/log"),
                StartsWith("game 10\ngame 2\ngame prefs lap 3\ngame 0\ngame 4\n"
                           "game screen 800 600 0\nstate0 4\nstate0 7\n"));
    std::filesystem::remove_all(directory);
}

}  // namespace
