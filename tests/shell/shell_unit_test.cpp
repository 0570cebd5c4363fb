// The shell's arithmetic and records on their own: tick scheduler, frame rate, full-screen
// choice, gamma step, state stack, resource registry and the preferences file's parts.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "shell/event_reaction.h"
#include "shell/first_video_mode.h"
#include "shell/frame_rate.h"
#include "shell/preferences.h"
#include "shell/preferences_directory.h"
#include "shell/preferences_header.h"
#include "shell/resource_registry.h"
#include "shell/tick_scheduler.h"
#include "shell/video_mode.h"
#include "tests/support/sdl_recorder.h"

namespace {

using std::tuple;

TEST(TickScheduler, WaitsToTheNearestMillisecondThenRunsTheDueTicksKeepingTheFraction) {
    const struct {
        uint32_t base, remainder, now;
        int32_t rate;
        tuple<uint32_t, uint32_t, uint32_t, uint32_t> dueSleepBaseRemainder;
    } rows[] = {
        {1000, 0, 1003, 100, {0, 7, 1000, 0}},          {1003, 0, 1010, 100, {0, 3, 1003, 0}},
        {1000, 0, 1010, 100, {1, 0, 1010, 0}},          {1010, 0, 1030, 60, {1, 0, 1030, 200}},
        {1030, 200, 1060, 60, {2, 0, 1060, 0}},         {1060, 0, 1060, 60, {0, 17, 1060, 0}},
        {0xFFFFFFF0u, 0, 0x10, 100, {3, 0, 0x10, 200}}, {0x10, 200, 0x10, 3, {0, 267, 0x10, 200}},
    };
    for (const auto& row : rows) {
        TickClock clock{row.base, row.remainder};
        const TickDecision d = takeDueTicks(clock, row.now, row.rate);
        EXPECT_EQ(tuple(d.due, d.sleepMs, clock.tickBase, clock.tickRemainder),
                  row.dueSleepBaseRemainder)
            << row.now - row.base << " ms at " << row.rate;
    }
    for (const int32_t rate : {100, 60, 7}) {  // a second gives the rate however it is split
        for (const uint32_t frame : {1u, 3u, 7u, 25u, 333u, 1000u}) {
            TickClock clock{123456, 0};
            uint32_t ticks = 0;
            for (uint32_t elapsed = frame; elapsed < 1000 + frame; elapsed += frame) {
                ticks += takeDueTicks(clock, 123456 + std::min(elapsed, 1000u), rate).due;
            }
            EXPECT_EQ(ticks, uint32_t(rate)) << frame << " ms frames";
        }
    }
}

TEST(FrameRate, IsRecomputedOnlyAfterMoreThanHalfASecond) {
    FrameRateWindow window{0, 1000};
    float fps = -1.0f;
    for (uint32_t now : {1100u, 1200u, 1300u, 1400u, 1500u}) {
        EXPECT_FALSE(countFrame(window, now, fps)) << now;
    }
    EXPECT_TRUE(countFrame(window, 1501, fps));
    EXPECT_EQ(tuple(window.frameCount, window.fpsBase, fps), tuple(0, 1501u, float(6000.0 / 501)));
    window = {9, 0xFFFFFF00u};
    EXPECT_TRUE(countFrame(window, 0x100u, fps));  // 512 ms later, across the wrap
    EXPECT_EQ(fps, float(10000.0 / 512));
}

TEST(FullScreenChoice, The480LineModeElseTheLastTallerOneElseTheWindowSize) {
    SDL_Rect r[] = {{0, 0, 1600, 1200}, {0, 0, 1280, 1024}, {0, 0, 1024, 768}, {0, 0, 800, 600},
                    {0, 0, 720, 480},   {0, 0, 640, 480},   {0, 0, 640, 400},  {0, 0, 320, 200}};
    const struct {
        std::vector<SDL_Rect*> modes;
        bool highResolution;
        tuple<int, int> chosen;
    } rows[] = {
        {{r, r + 1, r + 2, r + 3, r + 5, r + 6, nullptr}, false, {640, 480}},
        {{r, r + 1, r + 2, r + 3, r + 5, r + 6, nullptr}, true, {1600, 1200}},
        {{r, r + 2, r + 3, r + 6, nullptr}, false, {800, 600}},
        {{r + 2, r + 3, nullptr}, false, {800, 600}},
        {{r + 1, r + 4, r + 5, nullptr}, false, {720, 480}},
        {{r + 6, r + 7, nullptr}, false, {777, 555}},
        {{nullptr}, true, {777, 555}},
    };
    for (auto row : rows) {
        const ModeSize size = chooseFullScreenSize(row.modes.data(), 777, 555, row.highResolution);
        EXPECT_EQ(tuple(size.width, size.height), row.chosen) << row.modes.size() - 1 << " modes";
    }
    const ModeSize any = chooseFullScreenSize(reinterpret_cast<SDL_Rect**>(-1), 1024, 700, true);
    EXPECT_EQ(tuple(any.width, any.height), tuple(1024, 700));
}

TEST(GammaStep, NeverReaches2Point5) {
    const std::pair<float, float> steps[] = {
        {3.0f, 1.0f}, {2.35f, 1.0f}, {0x1.2ccccap+1f, 0x1.3ffffep+1f}, {1.0f, 0x1.266666p+0f}};
    for (const auto& [from, to] : steps) {
        EXPECT_EQ(nextGamma(from), to) << from;
    }
}

struct Named : Game {
    explicit Named(const char* name) : name(name) {}
    ~Named() override { record({name, "deleted"}); }
    void handleMessage(const Message* m) override { record({name}, {double(m->code)}); }
    GameState* createFirstState() override { return this; }
    const char* prefsName() override { return name; }
    const char* name;
};

// States a..d from the bottom; messages show as "<state> <code>" (4 VIDEO_RESET, 7 ENTER, 8
// LEAVE). The game object "g" at the bottom is never deleted by the stack.
TEST(StateStack, OperationsApplyNewestFirstAndUnworkableOnesAreDropped) {
    const struct {
        int32_t count, current;
        std::vector<int32_t> ops;
        const char* heard;
        int32_t countAfter, currentAfter;
    } rows[] = {
        {3, 1, {STATE_OP_BACK, STATE_OP_NEXT}, "a 8\nb deleted\na 7\na 4\n", 2, 1},
        {4, 1, {STATE_OP_REMOVE}, "a 8\na deleted\nb 7\nb 4\n", 3, 1},
        {2, 1, {STATE_OP_BACK}, "a 8\na deleted\ng 7\ng 4\n", 1, 0},
        {1, 0, {STATE_OP_NEXT, STATE_OP_BACK, STATE_OP_REMOVE, 7}, "g 8\ng 7\ng 4\n", 1, 0},
        {3, 0, {STATE_OP_NEXT, STATE_OP_NEXT, STATE_OP_NEXT}, "g 8\nb 7\nb 4\n", 3, 2},
    };
    for (const auto& row : rows) {
        takeLog();
        Named game("g");
        StateStack stack;
        stack.notOwned = &game;
        stack.pushState(&game);
        for (const char* name : {"a", "b", "c"}) {
            if (stack.count < row.count) {
                stack.pushState(new Named(name));
            }
        }
        stack.current = row.current;
        for (int32_t op : row.ops) {
            stack.requestStateOp(op);
        }
        Message message{0, 42, nullptr};
        stack.applyStateOps(message);
        EXPECT_EQ(takeLog(), row.heard);
        EXPECT_EQ(tuple(stack.count, stack.current, stack.pendingCount, message.tick),
                  tuple(row.countAfter, row.currentAfter, 0, 0u));
        stack.current = 0;
        stack.deleteStatesAboveCurrent();
    }
    // The game object pushed above the root, then popped or left above it, is never deleted.
    takeLog();
    Named game("g");
    StateStack stack;
    Message message{0, 0, nullptr};
    stack.startWith(new Named("a"), &game);
    for (int32_t pop : {STATE_OP_BACK, STATE_OP_REMOVE}) {
        for (GameState* state : std::initializer_list<GameState*>{&game, new Named("b")}) {
            stack.pushState(state);
            stack.requestStateOp(STATE_OP_NEXT);
            stack.applyStateOps(message);
        }
        stack.requestStateOp(pop);
        stack.applyStateOps(message);
        stack.current = 0;
        stack.deleteStatesAboveCurrent();
    }
    delete stack.states[0];
    EXPECT_EQ(takeLog().find("g deleted"), std::string::npos);
    StateStack full;
    Named s("s");
    for (int i = 0; i < StateStack::maxStates; ++i) {
        ASSERT_TRUE(full.pushState(&s) && full.requestStateOp(STATE_OP_NEXT));
    }
    EXPECT_FALSE(full.pushState(&s) || full.requestStateOp(STATE_OP_NEXT) ||
                 full.pushState(nullptr));
}

struct Resource : GlResource {
    explicit Resource(const char* name) : name(name) {}
    ~Resource() override { record({name, "delete"}); }
    void release() override { record({name, "release"}); }
    void restore() override { record({name, "restore"}); }
    const char* name;
};

TEST(ResourceRegistry, WalksGoFromTheLastBucketDownAndAlongEachListFromItsHead) {
    takeLog();
    auto registry = std::make_unique<ResourceRegistry>();
    auto* q = new Resource("Q");
    auto* e = new Resource("E");
    Resource removed("X");
    ASSERT_TRUE(registry->add(q, 7) && registry->add(e, 7) && registry->add(new Resource("P"), 7));
    ASSERT_TRUE(registry->add(new Resource("R"), 65535) && registry->add(&removed, 0));
    EXPECT_FALSE(registry->add(q, 9)) << "a second link would make a loop";
    registry->remove(&removed);
    delete e;  // unlinks itself
    registry->releaseAll();
    registry->restoreAll();
    registry->destroyAll();
    registry->destroyAll();
    registry->releaseAll();
    EXPECT_EQ(takeLog(),
              "E delete\nR release\nP release\nQ release\nR restore\nP restore\nQ restore\nR "
              "delete\nP delete\nQ delete\n");
}

PrefsHeader header(uint8_t flags, uint32_t width, uint32_t height, uint32_t gamma) {
    PrefsHeader bytes{flags};
    for (int i = 0; i < 4; ++i) {
        bytes[1 + i] = static_cast<uint8_t>(width >> (8 * i));
        bytes[5 + i] = static_cast<uint8_t>(height >> (8 * i));
        bytes[9 + i] = static_cast<uint8_t>(gamma >> (8 * i));
    }
    return bytes;
}

// Encoding: defaults, and a key-made gamma of 1.15 stored truncated as 75366.
TEST(PrefsHeader, EncodesLittleEndianAndDecodesWholeHeadersWithAPlausibleWindowSize) {
    EXPECT_EQ(encodePrefsHeader({}), (PrefsHeader{0, 0x80, 2, 0, 0, 0xE0, 1, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(encodePrefsHeader({1024, 0x01020304, false, true, true, 0x1.266666p+0f}),
              header(3, 1024, 0x01020304, 75366));
    const struct {
        PrefsHeader bytes;
        bool taken;
        DisplaySettings settings;
    } rows[] = {
        {header(0x05, 1024, 768, 65536), true, {1024, 768, true, false, true, 1.0f}},
        {header(0xFA, 640, 480, 75366), true, {640, 480, false, true, false, 0x1.2666p+0f}},
        {header(0x00, 1, 16384, 98304), true, {1, 16384, false, false, false, 1.5f}},
        {header(0x07, 0, 600, 98304), false, {}},
        {header(0x07, 800, 16385, 98304), false, {}},
        {header(0x07, 0xFFFFFFFF, 600, 98304), false, {}},
    };
    for (const auto& row : rows) {
        DisplaySettings s;
        EXPECT_EQ(decodePrefsHeader(row.bytes, s), row.taken) << testing::PrintToString(row.bytes);
        const DisplaySettings& e = row.settings;
        EXPECT_EQ(tuple(s.width, s.height, s.fullScreen, s.multisample, s.highResolution, s.gamma),
                  tuple(e.width, e.height, e.fullScreen, e.multisample, e.highResolution, e.gamma));
    }
    DisplaySettings s;
    EXPECT_FALSE(decodePrefsHeader(std::span(rows[0].bytes).first(12), s)) << "short header";
}

// A stored gamma in the keys' range is saved back as read; others are brought into it.
TEST(PrefsHeader, GammaIsSavedAsReadWithinTheKeysRangeAndClampedOutsideIt) {
    for (uint32_t stored :
         {0u, 1u, 0xFFFFu, 0x10000u, 0x1D2C7u, 0x27FFFu, 0x28000u, 0xFFFFFF80u, ~0u}) {
        DisplaySettings settings;
        ASSERT_TRUE(decodePrefsHeader(header(0, 64, 48, stored), settings));
        EXPECT_EQ(encodePrefsHeader(settings),
                  header(0, 64, 48, std::clamp(stored, 0x10000u, 0x27FFFu)))
            << stored;
    }
}

TEST(PrefsDirectory, FirstKnownLocationWinsAndEndsInASeparator) {
    const std::string longest(2046, 'a'), tooLong = longest + "a", longHome(2040, 'h');
    const struct {
        PrefsLocations where;
        std::string expected;  // empty: no directory
    } rows[] = {
        {{R"(C:\Users\u\AppData\Roaming)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming/)"},
        {{R"(C:\Users\u\AppData\Roaming\)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming\)"},
        {{"", "/x", "/h", "/e/r"}, "/x/"},
        {{nullptr, "cfg", "/home/u", nullptr}, "/home/u/.config/"},  // relative: ignored
        {{nullptr, "", "/home/u/", "/e/r"}, "/home/u/.config/"},
        {{nullptr, nullptr, "", R"(D:\games\arena\run.exe)"}, R"(D:\games\arena\)"},
        {{nullptr, "", "", nullptr}, ""},
        {{longest.c_str()}, longest + "/"},
        {{tooLong.c_str()}, ""},
        {{nullptr, nullptr, longHome.c_str()}, ""},  // no room for ".config/"
    };
    for (const auto& row : rows) {
        char out[2048] = "stale";
        EXPECT_EQ(composePrefsDirectory(row.where, out), !row.expected.empty()) << row.expected;
        EXPECT_EQ(out, row.expected);
    }
}

// A write that fails (over the file size limit, or a file where a directory must go) keeps the
// old file and leaves no temporary file; a path that does not fit is neither read nor written.
// Only the first, which opens, asks the game to save.
TEST(PrefsFile, FailedSavesLeaveTheOldFileAndTheGameUnasked) {
    const std::string dir = makeRunDirectory(), path = dir + "/Shell.cfg";
    std::ofstream(path) << "old";
    Named game("game");
    LoopState loop;
    loop.game = &game;
    rlimit saved{}, small{};
    getrlimit(RLIMIT_FSIZE, &saved);
    small = {4, saved.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    takeLog();
    const std::string names[] = {dir, path + "/sub", std::string(2040, 'd')};
    for (const std::string& appData : names) {
        setenv("APPDATA", appData.c_str(), 1);
        buildPreferencesPath(loop, "Shell");
        setrlimit(RLIMIT_FSIZE, &small);
        savePreferences(loop);
        setrlimit(RLIMIT_FSIZE, &saved);
        loadPreferences(loop);
    }
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(tuple(readFile(path), std::distance(std::filesystem::directory_iterator(dir), {})),
              tuple("old", 1L));
    EXPECT_EQ(takeLog(), "game 3\n") << "asked to save without a file, or to load a short one";
    std::filesystem::remove_all(dir);
}

// Saving over what the player has: only a writable regular file is replaced, keeping its mode,
// and only then is the game asked for its data; a stale temporary file of ours is removed.
TEST(PrefsFile, OnlyAWritableRegularFileIsReplacedKeepingItsModeAndNoStaleTemporaryFile) {
    namespace fs = std::filesystem;
    const std::string dir = makeRunDirectory(), cfg = dir + "/Shell.cfg";
    Named game("game");
    LoopState loop;
    loop.game = &game;
    setenv("APPDATA", dir.c_str(), 1);
    buildPreferencesPath(loop, "Shell");
    const struct {
        int mode;        // of a file holding "old"; -1: a directory, -2: a dangling link
        uintmax_t size;  // of the regular file afterwards: 13 when saved
    } rows[] = {{0600, 13}, {0640, 13}, {0444, 3}, {-1, 0}, {-2, 0}};
    for (const auto& row : rows) {
        if (row.mode > 0) {
            std::ofstream(cfg) << "old";
            fs::permissions(cfg, fs::perms(row.mode));
        } else if (row.mode == -1) {
            fs::create_directory(cfg);
        } else {
            fs::create_symlink(cfg + ".gone", cfg);
        }
        for (const char* name : {".AbC123", ".keep", ".AbC1234"}) {
            std::ofstream(cfg + name) << "x";
        }
        const auto before = fs::symlink_status(cfg);
        takeLog();
        savePreferences(loop);
        const bool saved = row.size == 13;
        EXPECT_EQ(takeLog(), saved ? "game 3\n" : "") << row.mode;
        EXPECT_EQ(fs::symlink_status(cfg).type(), before.type()) << row.mode;
        EXPECT_EQ(fs::symlink_status(cfg).permissions(), before.permissions()) << row.mode;
        EXPECT_EQ(fs::is_regular_file(cfg) ? fs::file_size(cfg) : 0, row.size) << row.mode;
        EXPECT_EQ(fs::exists(cfg + ".AbC123"), !saved) << row.mode;
        EXPECT_TRUE(fs::exists(cfg + ".keep") && fs::exists(cfg + ".AbC1234")) << row.mode;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    fs::remove_all(dir);
}

TEST(FirstVideoMode, SavedSettingsThatCannotBeOpenedGiveWayToTheDefaults) {
    static std::string tried;
    const auto upTo1000Wide = [](int32_t w, int32_t h, bool full, bool, bool, float) {
        tried += std::to_string(w) + "x" + std::to_string(h) + (full ? " full, " : ", ");
        return w <= 1000 && !full;
    };
    DisplaySettings s{4000, 3000, true, false, true, 1.5f};
    EXPECT_TRUE(openFirstVideoMode(s, upTo1000Wide, [](int) {}));
    EXPECT_EQ(tried, "4000x3000 full, 4000x3000, 4000x3000, 640x480, ");
    EXPECT_EQ(tuple(s.width, s.height, s.fullScreen, s.gamma), tuple(640, 480, false, 1.5f));
}

}  // namespace
