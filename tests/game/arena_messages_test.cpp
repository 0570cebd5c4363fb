// The game object and the state as the shell sees them, without a window: only the messages that
// need neither a video mode nor an OpenGL context are sent.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/arena.h"
#include "game/arena_game.h"
#include "game/arena_state.h"
#include "shell/shell_globals.h"
#include "tests/game/arena_fixture.h"

namespace {

// Every pose and velocity of the arena, bit for bit.
std::vector<uint32_t> arenaBits() {
    std::vector<uint32_t> bits;
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        const Pose pose = body->getPose();
        for (float value : {pose.x, pose.y, pose.angle, body->velocity.x, body->velocity.y,
                            body->angularVelocity}) {
            bits.push_back(std::bit_cast<uint32_t>(value));
        }
    }
    return bits;
}

void send(GameState& receiver, int32_t code) {
    const Message message{code, 1, nullptr};
    receiver.handleMessage(&message);
}

TEST(ArenaStateMessages, OnlyEnterAndTickChangeTheArena) {
    ArenaState state;
    send(state, MSG_ENTER);
    EXPECT_EQ(car.getPose().y, 15.0f) << "MSG_ENTER builds the arena";
    for (int i = 0; i < 50; ++i) {
        send(state, MSG_TICK);  // no key is held: the bars turn and the world steps
    }
    const std::vector<uint32_t> before = arenaBits();
    for (int32_t code : {MSG_STARTUP, MSG_SHUTDOWN, MSG_LOAD_PREFS, MSG_SAVE_PREFS, MSG_VIDEO_RESET,
                         MSG_LEAVE, MSG_SDL_EVENT, MSG_CONFIGURE_GL}) {
        send(state, code);
        EXPECT_EQ(arenaBits(), before) << "message " << code << " changed the arena";
    }
    send(state, MSG_TICK);
    EXPECT_NE(arenaBits(), before) << "MSG_TICK did not step the arena";
}

TEST(ArenaGameObject, NamesThePreferencesAndCreatesTheArenaState) {
    ArenaGame game;
    EXPECT_STREQ(game.prefsName(), "Scrapvolt");
    const std::unique_ptr<GameState> first(game.createFirstState());
    EXPECT_NE(dynamic_cast<ArenaState*>(first.get()), nullptr);
}

TEST(ArenaGameObject, StartUpSetsOneHundredTicksPerSecond) {
    ArenaGame game;
    setTickRate(37);
    send(game, MSG_STARTUP);
    EXPECT_EQ(getTickRate(), 100);
}

TEST(ArenaGameObject, IgnoresTheArenaMessages) {
    enterFreshArena();
    ArenaGame game;
    const std::vector<uint32_t> before = arenaBits();
    for (int32_t code :
         {MSG_TICK, MSG_ENTER, MSG_LEAVE, MSG_LOAD_PREFS, MSG_SAVE_PREFS, MSG_SHUTDOWN}) {
        send(game, code);
    }
    EXPECT_EQ(arenaBits(), before) << "the game object must leave the arena to the state";
}

}  // namespace
