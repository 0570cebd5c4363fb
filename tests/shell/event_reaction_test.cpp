#include "shell/event_reaction.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

namespace {

SDL_Event keyDown(SDLKey sym, int mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = static_cast<SDLMod>(mod);
    return event;
}

SDL_Event ofType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

SDL_Event active(Uint8 gain, Uint8 state) {
    SDL_Event event = ofType(SDL_ACTIVEEVENT);
    event.active.gain = gain;
    event.active.state = state;
    return event;
}

struct ReactionRow {
    const char* what;
    SDL_Event event;
    bool fullScreen;
    bool rootIsCurrent;
    ShellReaction expected;
};

constexpr bool window = false;
constexpr bool full = true;
constexpr bool root = true;
constexpr bool deeper = false;
using R = ShellReaction;

const ReactionRow reactionRows[] = {
    {"focus lost in a window", active(0, SDL_APPINPUTFOCUS), window, root, R::releaseMouse},
    {"mouse focus lost in a window", active(0, SDL_APPMOUSEFOCUS), window, root, R::releaseMouse},
    {"focus lost in full screen", active(0, SDL_APPINPUTFOCUS), full, root, R::none},
    {"focus gained", active(1, SDL_APPINPUTFOCUS), window, root, R::none},
    {"activity event without state", active(0, 0), window, root, R::none},
    {"mouse button down", ofType(SDL_MOUSEBUTTONDOWN), window, root, R::captureMouse},
    {"mouse button up", ofType(SDL_MOUSEBUTTONUP), window, root, R::none},
    {"mouse motion", ofType(SDL_MOUSEMOTION), window, root, R::none},
    {"window closed", ofType(SDL_QUIT), window, deeper, R::quit},
    {"key release of Escape", ofType(SDL_KEYUP), window, root, R::none},
    {"Alt+Return (left)", keyDown(SDLK_RETURN, KMOD_LALT), window, root, R::toggleFullScreen},
    {"Alt+Return (right)", keyDown(SDLK_RETURN, KMOD_RALT), full, root, R::toggleFullScreen},
    {"Return alone", keyDown(SDLK_RETURN), window, root, R::none},
    {"Ctrl+Return", keyDown(SDLK_RETURN, KMOD_CTRL), window, root, R::none},
    {"Meta+Return", keyDown(SDLK_RETURN, KMOD_META), window, root, R::none},
    {"Meta+F (left)", keyDown(SDLK_f, KMOD_LMETA), window, root, R::toggleFullScreen},
    {"Meta+F (right)", keyDown(SDLK_f, KMOD_RMETA), full, root, R::toggleFullScreen},
    {"F alone", keyDown(SDLK_f), window, root, R::none},
    {"Alt+F", keyDown(SDLK_f, KMOD_ALT), window, root, R::none},
    {"H in a window", keyDown(SDLK_h), window, root, R::none},
    {"H in full screen", keyDown(SDLK_h), full, root, R::toggleHighResolution},
    {"M", keyDown(SDLK_m), window, root, R::toggleMultisample},
    {"Shift+M", keyDown(SDLK_m, KMOD_LSHIFT), full, deeper, R::toggleMultisample},
    {"B", keyDown(SDLK_b), window, root, R::stepGamma},
    {"Ctrl+B", keyDown(SDLK_b, KMOD_LCTRL), full, root, R::stepGamma},
    {"Escape on the root", keyDown(SDLK_ESCAPE), window, root, R::quit},
    {"Escape on a deeper state", keyDown(SDLK_ESCAPE), full, deeper, R::unwindToRoot},
    {"left Ctrl with Alt held", keyDown(SDLK_LCTRL, KMOD_LALT), window, root, R::releaseMouse},
    {"right Ctrl with Alt held", keyDown(SDLK_RCTRL, KMOD_RALT), window, root, R::releaseMouse},
    {"Ctrl with Alt held in full screen", keyDown(SDLK_LCTRL, KMOD_LALT), full, root, R::none},
    {"Ctrl alone", keyDown(SDLK_LCTRL, KMOD_LCTRL), window, root, R::none},
    {"left Alt with Ctrl held", keyDown(SDLK_LALT, KMOD_RCTRL), window, root, R::releaseMouse},
    {"right Alt with Ctrl held", keyDown(SDLK_RALT, KMOD_LCTRL), window, root, R::releaseMouse},
    {"Alt with Ctrl held in full screen", keyDown(SDLK_RALT, KMOD_LCTRL), full, root, R::none},
    {"Alt alone", keyDown(SDLK_LALT, KMOD_LALT), window, root, R::none},
    {"any other key", keyDown(SDLK_a, KMOD_ALT | KMOD_CTRL), window, root, R::none},
};

TEST(ShellReaction, EachEventAndKeyGetsItsReaction) {
    for (const ReactionRow& row : reactionRows) {
        const EventReaction reaction =
            shellReactionTo(row.event, row.fullScreen, row.rootIsCurrent);
        EXPECT_EQ(reaction.kind, row.expected) << row.what;
    }
}

TEST(ShellReaction, ResizeCarriesTheNewSize) {
    SDL_Event event = ofType(SDL_VIDEORESIZE);
    event.resize.w = 800;
    event.resize.h = 600;
    const EventReaction reaction = shellReactionTo(event, false, true);
    EXPECT_EQ(reaction.kind, ShellReaction::resize);
    EXPECT_EQ(reaction.width, 800);
    EXPECT_EQ(reaction.height, 600);
}

TEST(ShellReaction, OnlyResizeAndTheThreeTogglesChangeTheDisplay) {
    const ShellReaction changing[] = {R::resize, R::toggleFullScreen, R::toggleHighResolution,
                                      R::toggleMultisample};
    const ShellReaction keeping[] = {R::none,         R::quit,      R::captureMouse,
                                     R::releaseMouse, R::stepGamma, R::unwindToRoot};
    for (ShellReaction kind : changing) {
        EXPECT_TRUE(changesDisplay(kind)) << static_cast<int>(kind);
    }
    for (ShellReaction kind : keeping) {
        EXPECT_FALSE(changesDisplay(kind)) << static_cast<int>(kind);
    }
}

TEST(CursorRule, ChangedCaptureDecidesInAWindowOtherwiseTheModeDecides) {
    struct Row {
        bool before, after, fullScreen;
        int shown;
    };
    const Row rows[] = {
        {false, false, false, 1}, {false, false, true, 0}, {false, true, false, 0},
        {false, true, true, 0},   {true, false, false, 1}, {true, false, true, 0},
        {true, true, false, 1},   {true, true, true, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(cursorShown(row.before, row.after, row.fullScreen), row.shown)
            << "captured " << row.before << " -> " << row.after << ", full screen "
            << row.fullScreen;
    }
}

TEST(GammaStep, TenPressesFromOneCycleBackToOne) {
    const float expected[] = {
        0x1.266666p+0f, 0x1.4cccccp+0f, 0x1.733332p+0f, 0x1.999998p+0f,  0x1.bffffep+0f,
        0x1.e66664p+0f, 0x1.066666p+1f, 0x1.19999ap+1f, 0x1.2cccce0p+1f, 1.0f};
    float gamma = 1.0f;
    for (int press = 0; press < 10; ++press) {
        gamma = nextGamma(gamma);
        EXPECT_EQ(std::bit_cast<uint32_t>(gamma), std::bit_cast<uint32_t>(expected[press]))
            << "press " << press + 1 << " gave " << gamma;
    }
}

TEST(GammaStep, ValueBeyondTheCycleReturnsToOne) {
    EXPECT_EQ(nextGamma(3.0f), 1.0f);
    // 2.35f + 0.15f = 2.4999999106 exactly, which rounds to 2.5f.
    EXPECT_EQ(nextGamma(2.35f), 1.0f) << "a rounded sum of 2.5 was stored";
    EXPECT_EQ(nextGamma(0x1.2ccccap+1f), 0x1.3ffffep+1f) << "a sum rounding below 2.5 wrapped";
}

}  // namespace
