// The shell's parts whose edge cases a whole run does not reach: tick and frame-rate arithmetic,
// the full-screen choice, the gamma, the state stack, the resource registry and the preferences
// file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>

#include "shell/event_reaction.h"
#include "shell/frame_rate.h"
#include "shell/preferences.h"
#include "shell/preferences_directory.h"
#include "shell/preferences_header.h"
#include "shell/resource_registry.h"
#include "shell/tick_scheduler.h"
#include "shell/video_mode.h"
#include "tests/support/sdl_recorder.h"

namespace {

namespace fs = std::filesystem;
using std::tuple;

TEST(TickScheduler, WaitsToTheNearestMillisecondThenRunsTheDueTicksKeepingTheFraction) {
    const struct {
        uint32_t base, remainder, now;
        int32_t rate;
        tuple<uint32_t, uint32_t, uint32_t, uint32_t> dueSleepBaseRemainder;
    } rows[] = {
        {1000, 0, 1003, 100, {0, 7, 1000, 0}},          {1000, 0, 1010, 100, {1, 0, 1010, 0}},
        {1010, 0, 1030, 60, {1, 0, 1030, 200}},         {1030, 200, 1060, 60, {2, 0, 1060, 0}},
        {1060, 0, 1060, 60, {0, 17, 1060, 0}},          {0x10, 200, 0x10, 3, {0, 267, 0x10, 200}},
        {0xFFFFFFF0u, 0, 0x10, 100, {3, 0, 0x10, 200}},
    };
    for (const auto& row : rows) {
        TickClock clock{row.base, row.remainder};
        const TickDecision d = takeDueTicks(clock, row.now, row.rate);
        EXPECT_EQ(tuple(d.due, d.sleepMs, clock.tickBase, clock.tickRemainder),
                  row.dueSleepBaseRemainder)
            << row.now - row.base << " ms at " << row.rate;
    }
}

TEST(FrameRate, IsRecomputedOnlyAfterMoreThanHalfASecond) {
    FrameRateWindow window{0, 1000};
    float fps = -1.0f;
    EXPECT_FALSE(countFrame(window, 1500, fps));
    EXPECT_TRUE(countFrame(window, 1501, fps));
    EXPECT_EQ(tuple(window.frameCount, window.fpsBase, fps), tuple(0, 1501u, float(2000.0 / 501)));
}

TEST(FullScreenChoice, The480LineModeElseTheLastTallerOneElseTheWindowSize) {
    SDL_Rect r[] = {{0, 0, 1600, 1200}, {0, 0, 800, 600}, {0, 0, 720, 480}, {0, 0, 640, 400}};
    const struct {
        std::vector<SDL_Rect*> modes;
        bool highResolution;
        tuple<int, int> chosen;
    } rows[] = {
        {{r, r + 1, r + 2, r + 3, nullptr}, false, {720, 480}},
        {{r, r + 1, r + 2, r + 3, nullptr}, true, {1600, 1200}},
        {{r, r + 1, r + 3, nullptr}, false, {800, 600}},
        {{r + 3, nullptr}, false, {777, 555}},
        {{nullptr}, true, {777, 555}},
    };
    for (auto row : rows) {
        const ModeSize size = chooseFullScreenSize(row.modes.data(), 777, 555, row.highResolution);
        EXPECT_EQ(tuple(size.width, size.height), row.chosen) << row.modes.size() - 1 << " modes";
    }
}

TEST(GammaStep, NeverReaches2Point5) {
    const std::pair<float, float> steps[] = {{3.0f, 1.0f}, {2.35f, 1.0f}, {1.0f, 0x1.266666p+0f}};
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

// The game object "g" at the bottom, states a..c above it; messages show as "<state> <code>"
// (4 VIDEO_RESET, 7 ENTER, 8 LEAVE). The stack never deletes the game object, wherever it stands.
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
        {3, 0, {STATE_OP_NEXT, STATE_OP_NEXT}, "g 8\nb 7\nb 4\n", 3, 2},
        {5, 4, {STATE_OP_BACK}, "g 8\nc 7\nc 4\n", 4, 3},  // the game object pushed on top
        {5, 4, {STATE_OP_NEXT}, "g 8\ng 7\ng 4\n", 5, 4},  // and left there
    };
    for (const auto& row : rows) {
        takeLog();
        Named game("g");
        StateStack stack;
        stack.startWith(&game, &game);
        for (const char* name : {"a", "b", "c"}) {
            if (stack.count < row.count) {
                stack.pushState(new Named(name));
            }
        }
        stack.pushState(stack.count < row.count ? &game : nullptr);
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
    ResourceRegistry registry;
    auto* e = new Resource("E");
    Resource removed("X");
    ASSERT_TRUE(registry.add(new Resource("Q"), 7) && registry.add(e, 7) &&
                registry.add(new Resource("P"), 7) && registry.add(new Resource("R"), 65535) &&
                registry.add(&removed, 0) && !registry.add(e, 9));
    registry.remove(&removed);
    delete e;  // unlinks itself
    registry.releaseAll();
    registry.restoreAll();
    registry.destroyAll();
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

// Loaded, then saved: a gamma of the keys' range comes back as the same bytes, others are
// brought into it; an implausible window size is not taken.
TEST(PrefsHeader, DecodesAPlausibleWindowSizeAndTheGammaWithinTheKeysRange) {
    const struct {
        PrefsHeader bytes;
        PrefsHeader saved;  // zeros: not taken
    } rows[] = {
        {header(0x05, 1024, 768, 65536), header(0x05, 1024, 768, 65536)},
        {header(0xFA, 1, 16384, 75366), header(0x02, 1, 16384, 75366)},
        {header(0x03, 64, 48, 0x27FFF), header(0x03, 64, 48, 0x27FFF)},
        {header(0x00, 64, 48, 0x28000), header(0x00, 64, 48, 0x27FFF)},
        {header(0x00, 64, 48, 0xFFFFFF80u), header(0x00, 64, 48, 0x27FFF)},
        {header(0x00, 64, 48, 0xFFFF), header(0x00, 64, 48, 0x10000)},
        {header(0x07, 0, 600, 98304), {}},
        {header(0x07, 800, 16385, 98304), {}},
        {header(0x07, 0xFFFFFFFF, 600, 98304), {}},
    };
    for (const auto& row : rows) {
        DisplaySettings s;
        const bool taken = decodePrefsHeader(row.bytes, s);
        EXPECT_EQ(taken ? encodePrefsHeader(s) : PrefsHeader{}, row.saved)
            << testing::PrintToString(row.bytes);
    }
    for (uint32_t gamma = 0x10000; gamma < 0x28000; ++gamma) {
        DisplaySettings s;
        ASSERT_TRUE(decodePrefsHeader(header(0, 1, 1, gamma), s) &&
                    encodePrefsHeader(s) == header(0, 1, 1, gamma));
    }
    DisplaySettings s;
    EXPECT_FALSE(decodePrefsHeader(std::span(rows[0].bytes).first(12), s)) << "short header";
}

TEST(PrefsDirectory, FirstKnownLocationWinsAndEndsInASeparator) {
    const std::string longest(2046, 'a'), tooLong = longest + "a", longHome(2040, 'h');
    const struct {
        PrefsLocations where;
        std::string expected;  // empty: no directory
    } rows[] = {
        {{R"(C:\Users\u\AppData\Roaming)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming/)"},
        {{"", "/x", "/h", "/e/r"}, "/x/"},
        {{nullptr, "cfg", "/home/u/", nullptr}, "/home/u/.config/"},  // relative: ignored
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

// Only a writable regular file is replaced, keeping its mode, and only then is the game asked for
// its data; a stale temporary file of ours is removed. A write that fails (over the file size
// limit) keeps the old file; a path that does not fit, or leads through a file, is not written.
TEST(PrefsFile, OnlyAWritableRegularFileIsReplacedKeepingItsModeAndNothingIsLeftBehind) {
    const std::string dir = makeRunDirectory(), cfg = dir + "/Shell.cfg";
    Named game("game");
    LoopState loop;
    loop.game = &game;
    const struct {
        int mode;  // of a file holding "old"; -1: a directory, -2: a dangling link, -3: a link to a
                   // null device of the test's own (never the system's /dev/null)
        const char* appData;
        rlim_t sizeLimit;
        uintmax_t size;  // of the regular file afterwards: 13 when saved
    } rows[] = {{0600, "", RLIM_INFINITY, 13},
                {0640, "", RLIM_INFINITY, 13},
                {0444, "", RLIM_INFINITY, 3},
                {-1, "", RLIM_INFINITY, 0},
                {-2, "", RLIM_INFINITY, 0},
                {-3, "", RLIM_INFINITY, 0},
                {0600, "", 4, 3},
                {0600, "/Shell.cfg", RLIM_INFINITY, 3}};
    for (const auto& row : rows) {
        if (row.mode > 0) {
            std::ofstream(cfg) << "old";
            fs::permissions(cfg, fs::perms(row.mode));
        } else if (row.mode == -1) {
            fs::create_directory(cfg);
        } else {
            ASSERT_TRUE(row.mode == -2 ||
                        mknod((dir + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0);
            fs::create_symlink(dir + (row.mode == -2 ? "/gone" : "/null"), cfg);
        }
        for (const char* name : {".AbC123", ".keep", ".AbC1234"}) {
            std::ofstream(cfg + name) << "x";
        }
        const auto before = fs::symlink_status(cfg);
        setenv("APPDATA", (dir + row.appData).c_str(), 1);
        buildPreferencesPath(loop, "Shell");
        const rlimit limit{row.sizeLimit, RLIM_INFINITY}, unlimited{RLIM_INFINITY, RLIM_INFINITY};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        takeLog();
        setrlimit(RLIMIT_FSIZE, &limit);
        savePreferences(loop);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, handler);
        const bool asked = row.size == 13 || row.sizeLimit == 4;  // the file could be opened
        SCOPED_TRACE(testing::Message() << row.mode << row.appData << " " << row.sizeLimit);
        EXPECT_EQ(takeLog(), asked ? "game 3\n" : "");
        EXPECT_EQ(fs::symlink_status(cfg).type(), before.type());
        EXPECT_EQ(fs::symlink_status(cfg).permissions(), before.permissions());
        EXPECT_EQ(fs::is_regular_file(cfg) ? fs::file_size(cfg) : 0, row.size);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), asked ? 3 : 4 + (row.mode == -3));
        EXPECT_NE(fs::exists(cfg + ".AbC123"), asked) << "a stale temporary file";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    setenv("APPDATA", std::string(2040, 'd').c_str(), 1);
    buildPreferencesPath(loop, "Shell");
    EXPECT_EQ(loop.prefsPath, std::string());
    fs::remove_all(dir);
}

}  // namespace
