// The shell in a real window: the recording game runs as a child process and its log of the
// messages it received is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "shell/message.h"
#include "tests/shell/recorded_run.h"

namespace {

std::string msg(const char* receiver, int code, unsigned tick = 0) {
    return std::string(receiver) + " " + std::to_string(code) + " " + std::to_string(tick);
}

std::string describe(const RecordedRun& run) {
    std::ostringstream text;
    text << "exit status " << run.exitStatus << "\nstdout: " << run.standardOutput
         << "\nstderr: " << run.standardError << "\nlog:\n";
    for (const LogLine& line : run.log) {
        text << "  " << line.text << "\n";
    }
    return text.str();
}

std::vector<std::string> firstOf(const std::vector<std::string>& sequence, size_t n) {
    return {sequence.begin(), sequence.begin() + static_cast<long>(std::min(n, sequence.size()))};
}

// Every MSG_TICK the game object received must be followed by the same tick for `state`
// (unless the game is the state), and the game's ticks must count on by one from `first`.
void expectTicksCountOn(const std::vector<std::string>& sequence, const char* state) {
    unsigned expected = 1;
    for (size_t i = 0; i < sequence.size(); ++i) {
        std::istringstream fields(sequence[i]);
        std::string receiver;
        int code = 0;
        unsigned tick = 0;
        fields >> receiver >> code >> tick;
        if (receiver != "game" || code != MSG_TICK) {
            continue;
        }
        EXPECT_EQ(tick, expected) << "at message " << i;
        expected = tick + 1;
        if (std::string(state) != "game") {
            ASSERT_LT(i + 1, sequence.size());
            EXPECT_EQ(sequence[i + 1], msg(state, MSG_TICK, tick)) << "at message " << i;
        }
    }
    EXPECT_GT(expected, 1u) << "no tick was run";
}

class ShellWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            FAIL() << "DISPLAY is not set: run the window tests under Xvfb";
        }
    }
};

TEST_F(ShellWindow, StartUpFrameAndShutdownMessagesComeInOrder) {
    const RecordedRun run = runRecordingGame({{"SHELL_TEST_QUIT_AFTER_TICKS", "3"}});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    const auto sequence = messageSequence(run.log);
    const std::vector<std::string> startUp = {
        msg("game", MSG_CONFIGURE_GL),  msg("game", MSG_STARTUP), msg("game", MSG_VIDEO_RESET),
        msg("state0", MSG_VIDEO_RESET), msg("state0", MSG_ENTER), msg("game", MSG_DRAW),
        msg("state0", MSG_DRAW),        msg("game", MSG_TICK, 1), msg("state0", MSG_TICK, 1)};
    EXPECT_EQ(firstOf(sequence, startUp.size()), startUp) << describe(run);
    expectTicksCountOn(sequence, "state0");

    // Shutdown: the state leaves, the game may save its preferences, then shuts down and is
    // deleted. The root state is never deleted.
    std::vector<std::string> ending = sequence;
    std::erase_if(ending, [](const std::string& m) { return m.starts_with("game 3 "); });
    ASSERT_GE(ending.size(), 2u);
    EXPECT_TRUE(ending[ending.size() - 2].starts_with("state0 8 ")) << describe(run);
    EXPECT_TRUE(ending.back().starts_with("game 1 ")) << describe(run);
    EXPECT_EQ(run.log.back().text, "game deleted") << describe(run);
    for (const LogLine& line : run.log) {
        EXPECT_NE(line.text, "state0 deleted") << "the root state was deleted";
    }
}

// Projection of gluPerspective(45, 640/480, 0.1, 400) followed by glScalef(1, 1, -1).
std::vector<double> expectedProjection() {
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double aspect = static_cast<double>(640.0f / 480.0f);
    const double near = 0.1;
    const double far = 400.0;
    std::vector<double> m(16, 0.0);
    m[0] = f / aspect;
    m[5] = f;
    m[10] = -(far + near) / (near - far);  // z column negated by the flip
    m[11] = 1.0;
    m[14] = 2.0 * far * near / (near - far);
    return m;
}

TEST_F(ShellWindow, VideoModeLeavesFlippedPerspectiveDepthCullingAndBlending) {
    const RecordedRun run =
        runRecordingGame({{"SHELL_TEST_QUIT_AFTER_TICKS", "1"}, {"SHELL_TEST_LOG_GL", "1"}});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    auto projection = std::find_if(run.log.begin(), run.log.end(), [](const LogLine& l) {
        return l.text.starts_with("gl projection");
    });
    auto state = std::find_if(run.log.begin(), run.log.end(),
                              [](const LogLine& l) { return l.text.starts_with("gl state"); });
    ASSERT_NE(projection, run.log.end()) << describe(run);
    ASSERT_NE(state, run.log.end()) << describe(run);

    std::istringstream values(projection->text.substr(std::string("gl projection").size()));
    const std::vector<double> expected = expectedProjection();
    for (int i = 0; i < 16; ++i) {
        double value = 0.0;
        ASSERT_TRUE(values >> value) << "projection entry " << i << " missing";
        EXPECT_NEAR(value, expected[i], 1e-6) << "projection entry " << i;
    }
    // depth test, face culling, blending, blend source and destination factors
    EXPECT_EQ(state->text, "gl state 1 1 1 770 771")
        << "expected depth, cull and blend on with SRC_ALPHA, ONE_MINUS_SRC_ALPHA";
}

TEST_F(ShellWindow, GameThatIsItsOwnRootHearsEachMessageOnce) {
    const RecordedRun run =
        runRecordingGame({{"SHELL_TEST_GAME_IS_ROOT", "1"}, {"SHELL_TEST_QUIT_AFTER_TICKS", "3"}});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    const auto sequence = messageSequence(run.log);
    const std::vector<std::string> startUp = {
        msg("game", MSG_CONFIGURE_GL), msg("game", MSG_STARTUP), msg("game", MSG_VIDEO_RESET),
        msg("game", MSG_ENTER),        msg("game", MSG_DRAW),    msg("game", MSG_TICK, 1)};
    EXPECT_EQ(firstOf(sequence, startUp.size()), startUp) << describe(run);
    expectTicksCountOn(sequence, "game");
    for (size_t i = 1; i < sequence.size(); ++i) {
        EXPECT_NE(sequence[i], sequence[i - 1]) << "message delivered twice: " << sequence[i];
    }
    const auto deletions = std::count_if(run.log.begin(), run.log.end(),
                                         [](const LogLine& l) { return l.text == "game deleted"; });
    EXPECT_EQ(deletions, 1) << describe(run);
    std::vector<std::string> ending = sequence;
    std::erase_if(ending, [](const std::string& m) { return m.starts_with("game 3 "); });
    ASSERT_GE(ending.size(), 2u);
    EXPECT_TRUE(ending[ending.size() - 2].starts_with("game 8 ")) << describe(run);
    EXPECT_TRUE(ending.back().starts_with("game 1 ")) << describe(run);
}

TEST_F(ShellWindow, StateRequestedWhileDrawingIsEnteredBeforeAnyTick) {
    const RecordedRun run =
        runRecordingGame({{"SHELL_TEST_PUSH_ON_DRAW", "2"}, {"SHELL_TEST_QUIT_AFTER_TICKS", "2"}});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    const auto sequence = messageSequence(run.log);
    // The second draw requests the change; no tick runs before it is applied, and the new
    // state's ticks count from 1.
    size_t second = 0;
    int draws = 0;
    for (; second < sequence.size(); ++second) {
        if (sequence[second].starts_with("game 6 ") && ++draws == 2) {
            break;
        }
    }
    ASSERT_LT(second, sequence.size()) << describe(run);
    const unsigned tick = static_cast<unsigned>(std::stoul(sequence[second].substr(7)));
    const std::vector<std::string> change = {
        msg("game", MSG_DRAW, tick), msg("state0", MSG_DRAW, tick),  msg("state0", MSG_LEAVE),
        msg("state1", MSG_ENTER),    msg("state1", MSG_VIDEO_RESET), msg("game", MSG_DRAW),
        msg("state1", MSG_DRAW),     msg("game", MSG_TICK, 1),       msg("state1", MSG_TICK, 1)};
    const std::vector<std::string> after(sequence.begin() + static_cast<long>(second),
                                         sequence.end());
    EXPECT_EQ(firstOf(after, change.size()), change) << describe(run);
    // At shutdown the pushed state leaves and is deleted; the root stays.
    EXPECT_TRUE(std::any_of(sequence.begin(), sequence.end(), [](const std::string& m) {
        return m.starts_with("state1 8 ");
    })) << describe(run);
    EXPECT_NE(std::find_if(run.log.begin(), run.log.end(),
                           [](const LogLine& l) { return l.text == "state1 deleted"; }),
              run.log.end())
        << describe(run);
}

TEST_F(ShellWindow, NoOpenGLWindowPrintsTheErrorAndExitsWithStatus1) {
    const RecordedRun run = runRecordingGame({{"SDL_VIDEODRIVER", "dummy"}});
    EXPECT_EQ(run.exitStatus, 1) << describe(run);
    EXPECT_EQ(run.standardOutput, "Unable to open graphics mode!\n") << describe(run);
    const auto sequence = messageSequence(run.log);
    EXPECT_EQ(std::find(sequence.begin(), sequence.end(), msg("game", MSG_STARTUP)), sequence.end())
        << "the game was started without a video mode";
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.back().text, "game deleted") << describe(run);
}

TEST_F(ShellWindow, TimedRunTicksAtOneHundredPerSecond) {
    const RecordedRun run = runRecordingGame({{"SHELL_TEST_QUIT_AFTER_MS", "1500"}});
    ASSERT_EQ(run.exitStatus, 0) << describe(run);
    unsigned firstDraw = 0;
    unsigned lastTick = 0;
    unsigned ticks = 0;
    for (const LogLine& line : run.log) {
        if (line.receiver == "game" && line.code == MSG_DRAW && firstDraw == 0) {
            firstDraw = line.ms;
        }
        if (line.receiver == "game" && line.code == MSG_TICK) {
            ++ticks;
            lastTick = line.ms;
        }
    }
    const unsigned elapsed = lastTick - firstDraw;
    ASSERT_GE(elapsed, 1400u) << describe(run);
    // The ticks taken by the last batch are floor((now - tickBase) / 10) in all; the loop reads
    // its clock just before the first draw and the last batch just before its ticks are logged,
    // so only a few milliseconds of scheduling delay separate the two measures.
    EXPECT_NEAR(static_cast<double>(ticks), elapsed / 10.0, 3.0)
        << ticks << " ticks in " << elapsed << " ms";
    RecordProperty("ticks", static_cast<int>(ticks));
    RecordProperty("elapsed_ms", static_cast<int>(elapsed));
    std::cout << "measured: " << ticks << " MSG_TICK in " << elapsed << " ms ("
              << ticks * 1000.0 / elapsed << " per second)\n";
}

}  // namespace
