// What the shell keeps for the player when things go wrong: the gamma and the settings file as
// they were, the last video mode that worked, the game object, and a loop that still quits.
#include <csignal>
#include <filesystem>
#include <fstream>

#include "shell/event_reaction.h"
#include "shell/first_video_mode.h"
#include "shell/frame_loop.h"
#include "shell/preferences.h"
#include "shell/preferences_header.h"
#include "shell/quit_signals.h"
#include "shell/shell_events.h"
#include "tests/shell/test_support.h"

namespace {

namespace fs = std::filesystem;

// The gamma bytes saved after a file with these was read.
uint32_t savedGamma(uint32_t stored) {
    PrefsHeader header = encodePrefsHeader({});
    std::memcpy(&header[9], &stored, 4);  // little-endian, like the file
    DisplaySettings settings;
    EXPECT_TRUE(decodePrefsHeader(header, settings));
    std::memcpy(&stored, &encodePrefsHeader(settings)[9], 4);
    return stored;
}

TEST(GammaInTheFile, EveryValueOfTheKeysRangeIsSavedAsReadAndOthersAreBroughtIntoIt) {
    for (uint32_t stored = minStoredGamma; stored <= maxStoredGamma; ++stored) {
        ASSERT_EQ(savedGamma(stored), stored);
    }
    for (uint32_t stored : {0u, 1u, 0xFFFFu, 0x28000u, 0x30000u, 0xFFFFFF7Fu, 0xFFFFFF80u, ~0u}) {
        EXPECT_EQ(savedGamma(stored), stored < minStoredGamma ? minStoredGamma : maxStoredGamma);
    }
}

using SettingsSave = ShellTest;

TEST_F(SettingsSave, OnlyAWritableRegularFileIsReplacedKeepingItsModeAndNoStaleTemporaryFile) {
    std::string dir = fs::temp_directory_path() / "settings_save_XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    setenv("APPDATA", dir.c_str(), 1);
    buildPreferencesPath(loop, "Scrapvolt");
    const std::string cfg = dir + "/Scrapvolt.cfg";
    const struct {
        const char* what;
        int mode;        // of a file holding "old"; -1: a directory, -2: a dangling link
        uintmax_t size;  // of the regular file afterwards: 13 when saved
    } rows[] = {{"0600 file", 0600, 13},
                {"read-only file", 0444, 3},
                {"directory", -1, 0},
                {"dangling link", -2, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const bool saved = row.size == 13;
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
        journal.size = 0;
        savePreferences(loop);
        EXPECT_EQ(journal.text(), saved ? "game SAVE_PREFS" : "");
        EXPECT_EQ(fs::symlink_status(cfg).type(), before.type());
        EXPECT_EQ(fs::symlink_status(cfg).permissions(), before.permissions());
        EXPECT_EQ(fs::is_regular_file(cfg) ? fs::file_size(cfg) : 0, row.size);
        EXPECT_EQ(fs::exists(cfg + ".AbC123"), !saved) << "a stale temporary file";
        EXPECT_TRUE(fs::exists(cfg + ".keep") && fs::exists(cfg + ".AbC1234"));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    fs::remove_all(dir);
}

TEST_F(SettingsSave, AResizeOfAnotherWindowSizeCountsAndALostModeLeavesTheLastOneThatWorked) {
    SDL_Event event{};
    event.resize = {SDL_VIDEORESIZE, 1000, 700};
    EXPECT_EQ(shellReactionTo(event, false, true, {1000, 700}).kind, ShellReaction::none);
    EXPECT_EQ(shellReactionTo(event, true, true, {640, 480}).kind, ShellReaction::none);
    push("root");
    loop.settings = {800, 600, false, false, false, 1.0f};
    handleShellEvent(loop, &event, [](int32_t, int32_t, bool, bool, bool, float) { return true; });
    EXPECT_EQ(describe(loop.workingMode), "1000x700 0x1p+0");
    loop.settings.gamma = 1.5f;
    event.resize = {SDL_VIDEORESIZE, 1200, 900};
    testing::internal::CaptureStdout();
    handleShellEvent(loop, &event, [](int32_t, int32_t, bool, bool, bool, float) { return false; });
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(describe(loop.settings), "1000x700 0x1.8p+0") << "the gamma is kept";
    EXPECT_EQ(loop.exitStatus, 1);
}

TEST(FirstVideoMode, SavedSettingsThatCannotBeOpenedGiveWayToTheDefaults) {
    static std::string tried;
    const auto upTo1000Wide = [](int32_t w, int32_t h, bool full, bool, bool, float) {
        tried += std::to_string(w) + "x" + std::to_string(h) + (full ? " full, " : ", ");
        return w <= 1000 && !full;
    };
    DisplaySettings settings{4000, 3000, true, false, true, 1.5f};
    EXPECT_TRUE(openFirstVideoMode(settings, upTo1000Wide, [](int) {}));
    EXPECT_EQ(tried, "4000x3000 full, 4000x3000, 4000x3000, 640x480, ");
    EXPECT_EQ(describe(settings), "640x480 0x1.8p+0");
}

TEST_F(SettingsSave, TheStackNeverDeletesTheGameObjectWhereverItStands) {
    auto* game = new Recorder("pushed game", journal);
    loop.stack.startWith(new Recorder("root", journal), game);
    for (int32_t pop : {STATE_OP_BACK, STATE_OP_REMOVE}) {
        loop.stack.pushState(game);
        loop.stack.requestStateOp(STATE_OP_NEXT);
        loop.stack.applyStateOps(loop.message);
        push("above");
        loop.stack.requestStateOp(pop);
        loop.stack.applyStateOps(loop.message);
        loop.stack.current = 0;
        loop.stack.deleteStatesAboveCurrent();
    }
    delete game;  // as shutdown does
    const std::string text = journal.text();
    EXPECT_EQ(text.find("pushed game DELETED"), text.size() - 19) << text;
}

TEST_F(SettingsSave, AStreamOfEventsIsHandledAFrameAtATimeAndAQuitSignalStopsIt) {
    push("root");
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    for (int i = 0; i < 100; ++i) {
        SDL_PushEvent(&event);
    }
    handlePendingEvents(loop);
    EXPECT_EQ(journal.size, maxEventsPerFrame);
    EXPECT_FALSE(loop.quitRequested);
    catchQuitSignals();
    std::raise(SIGHUP);
    handlePendingEvents(loop);
    EXPECT_EQ(journal.size, maxEventsPerFrame) << "an event was handled after the signal";
    EXPECT_TRUE(loop.quitRequested);
}

}  // namespace
