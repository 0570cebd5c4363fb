// Video mode choice, the shell's event reactions, display changes and the GL resource registry.
#include <gtest/gtest.h>

#include <bit>
#include <memory>

#include "shell/event_reaction.h"
#include "shell/first_video_mode.h"
#include "shell/resource_registry.h"
#include "shell/shell_events.h"
#include "shell/shell_globals.h"
#include "shell/video_mode.h"
#include "tests/shell/test_support.h"
#include "tests/support/allocation_counter.h"

namespace {

using std::tuple;

TEST(FullScreenChoice, TakesThe480LineModeOrTheLastTallerOneElseTheWindowSize) {
    SDL_Rect r[] = {{0, 0, 1600, 1200}, {0, 0, 1280, 1024}, {0, 0, 1024, 768}, {0, 0, 800, 600},
                    {0, 0, 720, 480},   {0, 0, 640, 480},   {0, 0, 640, 400},  {0, 0, 320, 200}};
    const struct {
        std::vector<SDL_Rect*> modes;  // largest first, as SDL lists them
        bool highResolution;
        tuple<int, int> chosen;
    } cases[] = {
        {{r, r + 1, r + 2, r + 3, r + 5, r + 6, nullptr}, false, {640, 480}},
        {{r, r + 1, r + 2, r + 3, r + 5, r + 6, nullptr}, true, {1600, 1200}},
        {{r, r + 2, r + 3, r + 6, nullptr}, false, {800, 600}},
        {{r + 2, r + 3, nullptr}, false, {800, 600}},
        {{r + 1, r + 4, r + 5, nullptr}, false, {720, 480}},
        {{r + 6, r + 7, nullptr}, false, {777, 555}},  // no usable mode: the window size
        {{nullptr}, true, {777, 555}},
    };
    for (auto c : cases) {
        const ModeSize size = chooseFullScreenSize(c.modes.data(), 777, 555, c.highResolution);
        EXPECT_EQ(tuple(size.width, size.height), c.chosen) << c.modes.size() - 1 << " modes";
    }
    for (SDL_Rect** none : {static_cast<SDL_Rect**>(nullptr), reinterpret_cast<SDL_Rect**>(-1)}) {
        const ModeSize size = chooseFullScreenSize(none, 1024, 700, true);
        EXPECT_EQ(tuple(size.width, size.height), tuple(1024, 700)) << "no list or any size";
    }
}

TEST(WideScreenCorrection, HeightRisesToAQuarterOfTheWidthPast180Degrees) {
    const struct {
        int width, height, shapedHeight;
        float aspect, angle;
    } cases[] = {
        {640, 480, 480, 1.3333334f, 60.0f},
        {2000, 400, 500, 4.0f, 180.0f},
        {1601, 400, 400, 4.0025f, 180.1125f},  // 400.25 truncates back to 400
        {1600, 400, 400, 4.0f, 180.0f},        // exactly 180 is not corrected
    };
    for (const auto& c : cases) {
        const ViewShape view = shapeView(c.width, c.height);
        EXPECT_EQ(tuple(view.width, view.height, view.aspect, view.horizontalFieldOfView),
                  tuple(c.width, c.shapedHeight, c.aspect, c.angle));
    }
}

// A display that opens modes only with a depth buffer of at most maxDepth bits.
int depthAsked, maxDepth;
std::string attempts;

TEST(FirstVideoMode, LowersTheDepthAndRetriesTheSavedSettings) {
    const auto setMode = [](int32_t, int32_t, bool full, bool multisample, bool, float) {
        attempts += std::to_string(depthAsked) + (full ? " full" : " window") +
                    (multisample ? " ms, " : ", ");
        return depthAsked <= maxDepth;
    };
    const struct {
        int maxDepth;
        bool fullScreen, opened;
        const char* attempts;
    } cases[] = {
        {32, true, true, "32 full ms, "},
        {24, true, true, "32 full ms, 32 window ms, 32 window, 24 full ms, "},
        {8, false, false,
         "32 window ms, 32 window, 24 window ms, 24 window, 16 window ms, 16 window, "},
    };
    for (const auto& c : cases) {
        std::tie(depthAsked, maxDepth, attempts) = tuple(32, c.maxDepth, "");
        DisplaySettings settings{640, 480, c.fullScreen, true, false, 1.0f};
        EXPECT_EQ(openFirstVideoMode(settings, setMode, [](int bits) { depthAsked = bits; }),
                  c.opened);
        EXPECT_EQ(attempts, c.attempts);
        EXPECT_TRUE(!c.opened || (settings.fullScreen && settings.multisample))
            << "the fallbacks of a failed depth were kept";
    }
}

SDL_Event event(Uint8 type, Uint8 gain = 0, Uint8 state = 0) {
    SDL_Event e{};
    e.active = {type, gain, state};
    return e;
}

SDL_Event key(SDLKey sym, int mod = KMOD_NONE) {
    SDL_Event e = event(SDL_KEYDOWN);
    e.key.keysym.sym = sym;
    e.key.keysym.mod = static_cast<SDLMod>(mod);
    return e;
}

const SDL_Event focusLost = event(SDL_ACTIVEEVENT, 0, SDL_APPINPUTFOCUS);
const SDL_Event focusGained = event(SDL_ACTIVEEVENT, 1, SDL_APPINPUTFOCUS);

TEST(ShellReaction, EachEventAndKeyGetsItsReaction) {
    constexpr bool win = false, full = true, root = true, deep = false;
    using R = ShellReaction;
    const struct {
        const char* what;
        SDL_Event event;
        bool fullScreen, rootIsCurrent;
        ShellReaction expected;
    } rows[] = {
        {"focus lost", focusLost, win, root, R::releaseMouse},
        {"focus lost in full screen", focusLost, full, root, R::none},
        {"focus gained", focusGained, win, root, R::none},
        {"button down", event(SDL_MOUSEBUTTONDOWN), win, root, R::captureMouse},
        {"mouse motion", event(SDL_MOUSEMOTION), win, root, R::none},
        {"window closed", event(SDL_QUIT), win, deep, R::quit},
        {"key release", event(SDL_KEYUP), win, root, R::none},
        {"LAlt+Return", key(SDLK_RETURN, KMOD_LALT), win, root, R::toggleFullScreen},
        {"RAlt+Return", key(SDLK_RETURN, KMOD_RALT), full, root, R::toggleFullScreen},
        {"Return", key(SDLK_RETURN), win, root, R::none},
        {"LMeta+F", key(SDLK_f, KMOD_LMETA), win, root, R::toggleFullScreen},
        {"RMeta+F", key(SDLK_f, KMOD_RMETA), full, root, R::toggleFullScreen},
        {"F", key(SDLK_f), win, root, R::none},
        {"H in a window", key(SDLK_h), win, root, R::none},
        {"H in full screen", key(SDLK_h), full, root, R::toggleHighResolution},
        {"Shift+M", key(SDLK_m, KMOD_LSHIFT), win, deep, R::toggleMultisample},
        {"Ctrl+B", key(SDLK_b, KMOD_LCTRL), full, root, R::stepGamma},
        {"Escape on the root", key(SDLK_ESCAPE), win, root, R::quit},
        {"Escape deeper", key(SDLK_ESCAPE), full, deep, R::unwindToRoot},
        {"LCtrl with Alt", key(SDLK_LCTRL, KMOD_LALT), win, root, R::releaseMouse},
        {"RCtrl with Alt", key(SDLK_RCTRL, KMOD_RALT), win, root, R::releaseMouse},
        {"Ctrl with Alt in full screen", key(SDLK_LCTRL, KMOD_LALT), full, root, R::none},
        {"Ctrl alone", key(SDLK_LCTRL, KMOD_LCTRL), win, root, R::none},
        {"LAlt with Ctrl", key(SDLK_LALT, KMOD_RCTRL), win, root, R::releaseMouse},
        {"RAlt with Ctrl", key(SDLK_RALT, KMOD_LCTRL), win, root, R::releaseMouse},
        {"Alt with Ctrl in full screen", key(SDLK_RALT, KMOD_LCTRL), full, root, R::none},
        {"other key", key(SDLK_a, KMOD_ALT | KMOD_CTRL), win, root, R::none},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(shellReactionTo(row.event, row.fullScreen, row.rootIsCurrent).kind, row.expected)
            << row.what;
    }
}

TEST(ShellReaction, ChangedCaptureSetsTheCursorInAWindowOtherwiseTheModeDoes) {
    const int shown[2][2][2] = {{{1, 0}, {0, 0}}, {{1, 0}, {1, 0}}};  // [before][after][full]
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(cursorShown(i & 4, i & 2, i & 1), shown[i >> 2][(i >> 1) & 1][i & 1]) << i;
    }
}

TEST(ShellReaction, TenGammaStepsFromOneCycleBackToOne) {
    const float expected[] = {
        0x1.266666p+0f, 0x1.4cccccp+0f, 0x1.733332p+0f, 0x1.999998p+0f, 0x1.bffffep+0f,
        0x1.e66664p+0f, 0x1.066666p+1f, 0x1.19999ap+1f, 0x1.2ccccep+1f, 1.0f};
    float gamma = 1.0f;
    for (int press = 0; press < 10; ++press) {
        gamma = nextGamma(gamma);
        EXPECT_EQ(std::bit_cast<uint32_t>(gamma), std::bit_cast<uint32_t>(expected[press]))
            << "press " << press + 1 << " gave " << gamma;
    }
    EXPECT_EQ(nextGamma(3.0f), 1.0f);
    EXPECT_EQ(nextGamma(2.35f), 1.0f) << "the exact sum 2.4999999 rounds to 2.5f, which was kept";
    EXPECT_EQ(nextGamma(0x1.2ccccap+1f), 0x1.3ffffep+1f) << "a sum below 2.5 wrapped";
}

// setVideoMode stand-in: journals each call and refuses the first `refusals` of them.
Journal* sink;  // the running test's journal
int refusals;
DisplaySettings lastMode;

bool fakeSetVideoMode(int32_t w, int32_t h, bool full, bool multisample, bool high, float g) {
    lastMode = {w, h, full, multisample, high, g};
    const char* const kinds[2][2] = {{"window", "window ms"}, {"full", "full ms"}};
    sink->add("mode", kinds[full][multisample]);
    return refusals-- <= 0;
}

// Registered as a GL resource, so that its release and restore are journaled too.
class ShellEvents : public ShellTest, public GlResource {
  protected:
    void release() override { journal.add("resource", "release"); }
    void restore() override { journal.add("resource", "restore"); }
    void SetUp() override {
        ShellTest::SetUp();
        sink = &journal;
        refusals = 0;
        lastMode = {0, 0};
        mouseCaptureEnabled = false;
        push("root");
        ASSERT_TRUE(resourceRegistry.add(this, 3));
    }
    void TearDown() override {
        resourceRegistry.remove(this);
        ShellTest::TearDown();
    }
    void send(SDL_Event e) {
        loop.event = e;
        handleShellEvent(loop, &loop.event, fakeSetVideoMode);
    }
    // The journal of a display change that tried the given modes.
    static std::string changed(const std::string& modes) {
        return "resource release, " + modes + ", game VIDEO_RESET, root VIDEO_RESET, " +
               "resource restore, game VIDEO_RESET, root VIDEO_RESET";
    }
};

TEST_F(ShellEvents, HotKeysAndResizeChangeTheSettingsAndTheEventGoesOnAfterwards) {
    SDL_Event resize{};
    resize.resize = {SDL_VIDEORESIZE, 800, 600};
    const struct {
        SDL_Event event;
        const char* mode;  // null: none set
        const char* after;
    } steps[] = {
        {key(SDLK_m), "mode window ms", "640x480 ms 0x1p+0"},
        {key(SDLK_RETURN, KMOD_LALT), "mode full ms", "640x480 full ms 0x1p+0"},
        {key(SDLK_h), "mode full ms", "640x480 full ms hi 0x1p+0"},
        {key(SDLK_f, KMOD_RMETA), "mode window ms", "640x480 ms hi 0x1p+0"},
        {resize, "mode window ms", "800x600 ms hi 0x1p+0"},
        {key(SDLK_b), nullptr, "800x600 ms hi 0x1.266666p+0"},
        {key(SDLK_ESCAPE), nullptr, "800x600 ms hi 0x1.266666p+0"},  // on the root: quits
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.after);
        journal.size = 0;
        send(step.event);
        EXPECT_EQ(journal.text(), (step.mode ? changed(step.mode) + ", " : "") + "root SDL_EVENT");
        EXPECT_EQ(describe(loop.settings), step.after);
        EXPECT_EQ(describe(lastMode), step.mode ? step.after : "800x600 ms hi 0x1p+0");
        EXPECT_EQ(loop.quitRequested, &step == std::end(steps) - 1) << "only Escape quits";
    }
}

TEST_F(ShellEvents, FallbacksSwitchSettingsOffAndKeepThemOffAndALostModeEndsTheRun) {
    const struct {
        bool fullScreen;
        int refusals;  // calls to refuse before the first success
        const char *tried, *worked;
        bool lost;  // even the plain window was refused
    } rows[] = {
        {true, 0, "mode full ms", "mode full ms", false},
        {true, 1, "mode full ms, mode window ms", "mode window ms", false},
        {true, 2, "mode full ms, mode window ms, mode window", "mode window", false},
        {false, 0, "mode window ms", "mode window ms", false},
        {false, 1, "mode window ms, mode window", "mode window", false},
        {false, 2, "mode window ms, mode window", "mode window", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tried);
        loop.settings = DisplaySettings{640, 480, row.fullScreen, true, true, 1.5f};
        loop.mouseCaptured = false;
        refusals = row.refusals;
        journal.size = 0;
        testing::internal::CaptureStdout();
        applyDisplayChange(loop, fakeSetVideoMode);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  row.lost ? "Unable to open graphics mode!\n" : "");
        // Without a screen nothing is restored and the game hears of no mode.
        EXPECT_EQ(journal.text(),
                  row.lost ? "resource release, " + std::string(row.tried) : changed(row.tried));
        EXPECT_EQ(tuple(lastMode.width, lastMode.height, lastMode.highResolution, lastMode.gamma),
                  tuple(640, 480, true, 1.5f));
        EXPECT_EQ(tuple(loop.exitStatus, loop.quitRequested, loop.mouseCaptured),
                  tuple(int(row.lost), row.lost, row.fullScreen));
        journal.size = 0;
        applyDisplayChange(loop, fakeSetVideoMode);  // the next change starts from what worked
        EXPECT_EQ(journal.text(), changed(row.worked));
    }
    journal.size = 0;
    send(key(SDLK_m));
    EXPECT_EQ(journal.size, 0) << "an event was handled after the mode was lost";
}

TEST_F(ShellEvents, EscapeOnADeeperStateUnwindsToTheRoot) {
    push("state1");
    push("state2");
    loop.stack.current = 2;
    loop.message.tick = 57;
    send(key(SDLK_ESCAPE));
    EXPECT_EQ(tuple(loop.quitRequested, loop.stack.current, loop.message.tick),
              tuple(false, 0, 0u));
    EXPECT_EQ(journal.text(),
              "state2 LEAVE, state2 DELETED, state1 DELETED, root ENTER, "
              "root VIDEO_RESET, root SDL_EVENT");
}

TEST_F(ShellEvents, CaptureLastsOnlyWhileTheGameEnablesIt) {
    const auto captureAndCursor = [&](SDL_Event e) {
        send(e);
        return tuple(loop.mouseCaptured, SDL_ShowCursor(SDL_QUERY));
    };
    EXPECT_EQ(captureAndCursor(event(SDL_MOUSEBUTTONDOWN)), tuple(false, 1));
    mouseCaptureEnabled = true;
    AllocationScope scope;  // events that change no display allocate nothing
    EXPECT_EQ(captureAndCursor(event(SDL_MOUSEBUTTONDOWN)), tuple(true, 0));
    EXPECT_EQ(captureAndCursor(event(SDL_MOUSEMOTION)), tuple(true, 1)) << "unchanged: shown";
    EXPECT_EQ(captureAndCursor(key(SDLK_LCTRL, KMOD_LALT)), tuple(false, 1));
    EXPECT_EQ(captureAndCursor(event(SDL_MOUSEBUTTONDOWN)), tuple(true, 0));
    EXPECT_EQ(captureAndCursor(focusLost), tuple(false, 1));
    EXPECT_EQ(tuple(scope.count(), lastMode.width), tuple(0u, 0)) << "allocated or set a mode";
}

Journal calls;

struct Named : GlResource {
    explicit Named(const char* name) : name(name) {}
    ~Named() override { calls.add(name, "delete"); }
    void release() override { calls.add(name, "release"); }
    void restore() override { calls.add(name, "restore"); }
    const char* name;
};

TEST(ResourceRegistry, WalksGoFromTheLastBucketDownAndAlongEachListFromItsHead) {
    auto registry = std::make_unique<ResourceRegistry>();
    auto* q = new Named("Q");
    auto* early = new Named("E");
    Named removed("X");
    ASSERT_TRUE(registry->add(q, 7));
    ASSERT_TRUE(registry->add(early, 7));
    ASSERT_TRUE(registry->add(new Named("P"), 7));  // the head of bucket 7, then E, then Q
    ASSERT_TRUE(registry->add(new Named("R"), 65535));
    ASSERT_TRUE(registry->add(&removed, 0));
    EXPECT_FALSE(registry->add(q, 7)) << "a second link would make the list a loop";
    EXPECT_FALSE(registry->add(q, 9));
    registry->remove(&removed);
    delete early;  // unlinks itself
    registry->releaseAll();
    registry->restoreAll();
    registry->destroyAll();
    registry->destroyAll();  // now empty: every walk calls nothing
    registry->releaseAll();
    registry->restoreAll();
    EXPECT_EQ(calls.text(),
              "E delete, R release, P release, Q release, R restore, P restore, "
              "Q restore, R delete, P delete, Q delete");
}

}  // namespace
