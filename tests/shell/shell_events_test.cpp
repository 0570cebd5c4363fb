#include "shell/shell_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/resource_registry.h"
#include "shell/shell_globals.h"
#include "tests/shell/message_recorder.h"
#include "tests/support/allocation_counter.h"

namespace {

using Lines = std::vector<std::string>;

MessageRecord record;

// setVideoMode stand-in: records each call and answers from a script (true once it runs out).
struct ModeCall {
    int32_t width, height;
    bool fullScreen, multisample, highResolution;
    float gamma;
    bool operator==(const ModeCall&) const = default;
};
std::vector<ModeCall> modeCalls;
std::vector<bool> modeAnswers;

bool fakeSetVideoMode(int32_t width, int32_t height, bool fullScreen, bool multisample,
                      bool highResolution, float gamma) {
    modeCalls.push_back({width, height, fullScreen, multisample, highResolution, gamma});
    record.add("setVideoMode", fullScreen ? "full" : "window");
    const size_t call = modeCalls.size() - 1;
    return call < modeAnswers.size() ? modeAnswers[call] : true;
}

class RecordingResource : public GlResource {
  public:
    void release() override { record.add("resource", "release"); }
    void restore() override { record.add("resource", "restore"); }
};

class ShellEvents : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        record.clear();
        modeCalls.clear();
        modeAnswers.clear();
        mouseCaptureEnabled = false;
        loop = new LoopState;
        loop->game = new RecordingGame("game", record);
        loop->stack.pushState(new RecordingGame("root", record));
        ASSERT_TRUE(resourceRegistry.add(&resource, 3));
    }
    void TearDown() override {
        resourceRegistry.remove(&resource);
        for (int32_t i = loop->stack.count - 1; i >= 0; --i) {
            delete loop->stack.states[i];
        }
        delete loop->game;
        delete loop;
        SDL_Quit();
    }

    void pushStates(int count) {
        for (int i = 0; i < count; ++i) {
            loop->stack.pushState(new RecordingGame(i == 0 ? "state1" : "state2", record));
        }
        loop->stack.current = loop->stack.count - 1;
    }

    void send(SDL_Event event) {
        loop->event = event;
        handleShellEvent(*loop, &loop->event, fakeSetVideoMode);
    }

    static SDL_Event keyDown(SDLKey sym, int mod = KMOD_NONE) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = static_cast<SDLMod>(mod);
        return event;
    }
    static SDL_Event ofType(Uint8 type) {
        SDL_Event event{};
        event.type = type;
        return event;
    }

    LoopState* loop = nullptr;
    RecordingResource resource;
};

const Lines changeSequence = {
    "resource release", "setVideoMode window", "game VIDEO_RESET", "root VIDEO_RESET",
    "resource restore", "game VIDEO_RESET",    "root VIDEO_RESET",
};

TEST_F(ShellEvents, DisplayChangeReleasesSetsResetsRestoresAndResetsAgain) {
    applyDisplayChange(*loop, fakeSetVideoMode);
    EXPECT_EQ(record.lines(), changeSequence);
}

TEST_F(ShellEvents, FallbacksSwitchSettingsOffInOrderAndKeepThemOff) {
    struct Row {
        const char* what;
        bool fullScreen, multisample;
        std::vector<bool> answers;
        std::vector<ModeCall> calls;
        bool fullScreenAfter, multisampleAfter;
    };
    const ModeCall full{640, 480, true, true, true, 1.5f};
    const ModeCall window{640, 480, false, true, true, 1.5f};
    const ModeCall plain{640, 480, false, false, true, 1.5f};
    const Row rows[] = {
        {"full screen works", true, true, {true}, {full}, true, true},
        {"full screen refused", true, true, {false, true}, {full, window}, false, true},
        {"multisampling refused",
         true,
         true,
         {false, false, true},
         {full, window, plain},
         false,
         false},
        {"window works", false, true, {true}, {window}, false, true},
        {"multisampled window refused", false, true, {false, true}, {window, plain}, false, false},
    };
    for (const Row& row : rows) {
        loop->settings = DisplaySettings{640, 480, row.fullScreen, row.multisample, true, 1.5f};
        loop->mouseCaptured = false;
        modeCalls.clear();
        modeAnswers = row.answers;
        applyDisplayChange(*loop, fakeSetVideoMode);
        EXPECT_EQ(modeCalls, row.calls) << row.what;
        EXPECT_EQ(loop->settings.fullScreen, row.fullScreenAfter) << row.what;
        EXPECT_EQ(loop->settings.multisample, row.multisampleAfter) << row.what;
        EXPECT_EQ(loop->exitStatus, 0) << row.what;
        EXPECT_EQ(loop->mouseCaptured, row.fullScreen) << row.what << ": mouse capture";

        modeCalls.clear();
        modeAnswers.clear();
        applyDisplayChange(*loop, fakeSetVideoMode);
        ASSERT_EQ(modeCalls.size(), 1u) << row.what;
        EXPECT_EQ(modeCalls[0].fullScreen, row.fullScreenAfter) << row.what << ": came back";
        EXPECT_EQ(modeCalls[0].multisample, row.multisampleAfter) << row.what << ": came back";
    }
}

TEST_F(ShellEvents, LostVideoModeEndsTheRunWithStatusOneAndNoScreenUse) {
    modeAnswers = {false, false};
    loop->settings.multisample = true;
    testing::internal::CaptureStdout();
    applyDisplayChange(*loop, fakeSetVideoMode);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to open graphics mode!\n");
    EXPECT_TRUE(loop->quitRequested);
    EXPECT_EQ(loop->exitStatus, 1);
    EXPECT_EQ(record.lines(),
              (Lines{"resource release", "setVideoMode window", "setVideoMode window"}))
        << "the game was told of a mode, or resources were rebuilt, without a screen";

    record.clear();
    send(keyDown(SDLK_m));
    EXPECT_TRUE(record.lines().empty()) << "an event was handled after the mode was lost";
}

TEST_F(ShellEvents, ResizeStoresTheSizeThenResetsTwiceBeforeTheEvent) {
    SDL_Event event = ofType(SDL_VIDEORESIZE);
    event.resize.w = 800;
    event.resize.h = 600;
    send(event);
    EXPECT_EQ(loop->settings.width, 800);
    EXPECT_EQ(loop->settings.height, 600);
    ASSERT_EQ(modeCalls.size(), 1u);
    EXPECT_EQ(modeCalls[0].width, 800);
    EXPECT_EQ(modeCalls[0].height, 600);
    Lines expected = changeSequence;
    expected.push_back("root SDL_EVENT");
    EXPECT_EQ(record.lines(), expected);
}

TEST_F(ShellEvents, HotKeysToggleTheirSettingAndSetTheMode) {
    send(keyDown(SDLK_m));
    EXPECT_TRUE(loop->settings.multisample);
    send(keyDown(SDLK_RETURN, KMOD_LALT));
    EXPECT_TRUE(loop->settings.fullScreen);
    EXPECT_TRUE(loop->mouseCaptured) << "full screen must hold the mouse until the next event";
    send(keyDown(SDLK_h));
    EXPECT_TRUE(loop->settings.highResolution);
    send(keyDown(SDLK_f, KMOD_RMETA));
    EXPECT_FALSE(loop->settings.fullScreen);
    ASSERT_EQ(modeCalls.size(), 4u);
    EXPECT_EQ(modeCalls[3], (ModeCall{640, 480, false, true, true, 1.0f}));
}

TEST_F(ShellEvents, GammaKeyStepsGammaWithoutTouchingTheMode) {
    send(keyDown(SDLK_b));
    EXPECT_EQ(loop->settings.gamma, 0x1.266666p+0f);
    EXPECT_TRUE(modeCalls.empty());
    EXPECT_EQ(record.lines(), (Lines{"root SDL_EVENT"}));
}

TEST_F(ShellEvents, EscapeOnTheRootQuitsAndStillReachesTheRoot) {
    send(keyDown(SDLK_ESCAPE));
    EXPECT_TRUE(loop->quitRequested);
    EXPECT_EQ(record.lines(), (Lines{"root SDL_EVENT"}));
}

TEST_F(ShellEvents, EscapeOnADeeperStateUnwindsToTheRoot) {
    pushStates(2);
    loop->message.tick = 57;
    send(keyDown(SDLK_ESCAPE));
    EXPECT_FALSE(loop->quitRequested);
    EXPECT_EQ(loop->stack.current, 0);
    EXPECT_EQ(loop->stack.count, 1);
    EXPECT_EQ(loop->message.tick, 0u);
    EXPECT_EQ(record.lines(), (Lines{"state2 LEAVE", "state2 DELETED", "state1 DELETED",
                                     "root ENTER", "root VIDEO_RESET", "root SDL_EVENT"}));
}

TEST_F(ShellEvents, CaptureLastsOnlyWhileTheGameEnablesIt) {
    send(ofType(SDL_MOUSEBUTTONDOWN));
    EXPECT_FALSE(loop->mouseCaptured) << "captured with mouseCaptureEnabled false";
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 1);

    mouseCaptureEnabled = true;
    send(ofType(SDL_MOUSEBUTTONDOWN));
    EXPECT_TRUE(loop->mouseCaptured);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 0) << "cursor shown although the click captured";
    send(ofType(SDL_MOUSEMOTION));
    EXPECT_TRUE(loop->mouseCaptured);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 1) << "an unchanged capture in a window shows it";
    send(keyDown(SDLK_LCTRL, KMOD_LALT));
    EXPECT_FALSE(loop->mouseCaptured) << "Ctrl with Alt held did not free the mouse";
    send(ofType(SDL_MOUSEBUTTONDOWN));
    SDL_Event focusLost = ofType(SDL_ACTIVEEVENT);
    focusLost.active.state = SDL_APPINPUTFOCUS;
    send(focusLost);
    EXPECT_FALSE(loop->mouseCaptured) << "focus loss did not free the mouse";
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 1);
}

TEST_F(ShellEvents, EventsThatChangeNoDisplayAllocateNothing) {
    mouseCaptureEnabled = true;
    const SDL_Event events[] = {ofType(SDL_MOUSEBUTTONDOWN), ofType(SDL_MOUSEMOTION),
                                keyDown(SDLK_RETURN), keyDown(SDLK_LALT, KMOD_LCTRL),
                                ofType(SDL_KEYUP)};
    AllocationScope scope;
    for (const SDL_Event& event : events) {
        loop->event = event;
        handleShellEvent(*loop, &loop->event, fakeSetVideoMode);
    }
    EXPECT_EQ(scope.count(), 0u);
}

}  // namespace
