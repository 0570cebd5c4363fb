// The arena game without a window: the arena, its controls and grid, a long scripted drive, and
// the game object and state under the messages that need no video mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "game/arena.h"
#include "game/arena_game.h"
#include "game/arena_state.h"
#include "game/grid.h"
#include "shell/shell_globals.h"
#include "tests/support/allocation_counter.h"

namespace {

constexpr HeldKeys none{}, left{true, false, false, false}, right{false, true, false, false},
    down{false, false, true, false}, up{false, false, false, true},
    upLeft{true, false, false, true}, upRight{false, true, false, true},
    leftRight{true, true, false, false}, downUp{false, false, true, true},
    allFour{true, true, true, true};

// The arena as after the first entry (entry keeps the motion an earlier test may have left).
void enterFreshArena() {
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        body->velocity = {0.0f, 0.0f};
        body->angularVelocity = 0.0f;
    }
    buildArena();
}

// Every pose and velocity of the arena, bit for bit.
std::vector<uint32_t> arenaBits() {
    std::vector<uint32_t> bits;
    for (Body* b : {&car, &longBar, &shortBar, &square}) {
        const Pose p = b->getPose();
        for (float v : {p.x, p.y, p.angle, b->velocity.x, b->velocity.y, b->angularVelocity}) {
            bits.push_back(std::bit_cast<uint32_t>(v));
        }
    }
    return bits;
}

bool barsInPlace() {
    const Pose longPose = longBar.getPose(), shortPose = shortBar.getPose();
    return longPose.x == 5.0f && longPose.y == 0.0f && shortPose.x == 20.0f && shortPose.y == 0.0f;
}

TEST(ArenaTick, UpPushesAlongTheNoseLeftAndRightTurnOppositeKeysCancelAndTheStepDamps) {
    enterFreshArena();
    applyControls(up, 100);
    const Vec2 pushed = car.velocity;  // the car's +y axis is the world's -y
    EXPECT_NEAR(pushed.x, 0.0f, 1e-9f);
    EXPECT_FLOAT_EQ(pushed.y, -0.003f);
    EXPECT_EQ(car.angularVelocity, 0.0f);
    arenaWorld.step();
    EXPECT_EQ(car.getPose().x, 1.9f + pushed.x);
    EXPECT_EQ(car.getPose().y, 15.0f + pushed.y) << "the step moves by the undamped velocity";
    EXPECT_EQ(car.velocity.x, pushed.x * 0.995f);
    EXPECT_EQ(car.velocity.y, pushed.y * 0.995f);
    enterFreshArena();
    applyControls(up, 50);
    EXPECT_EQ(car.velocity.y, -0.006f) << "at 50 ticks per second one tick of Up adds 0.006";
    EXPECT_FLOAT_EQ(longBar.angularVelocity, 0.0002f) << "and the bars' turn doubles too";
    EXPECT_FLOAT_EQ(shortBar.angularVelocity, -0.0003f);

    // (Keys, spin added, tolerance) on a coasting car: Left and Right turn, opposite keys cancel.
    const std::tuple<HeldKeys, float, float> cases[] = {
        {none, 0.0f, 0.0f},       {left, 0.0005f, 1e-9f}, {right, -0.0005f, 1e-9f},
        {leftRight, 0.0f, 1e-9f}, {downUp, 0.0f, 1e-9f},  {allFour, 0.0f, 1e-9f}};
    for (const auto& [keys, turn, tolerance] : cases) {
        enterFreshArena();
        car.velocity = {0.01f, -0.02f};
        car.angularVelocity = 0.003f;
        tickArena(keys, 100);
        EXPECT_NEAR(car.velocity.x, 0.01f * 0.995f, tolerance);
        EXPECT_NEAR(car.velocity.y, -0.02f * 0.995f, tolerance);
        EXPECT_NEAR(car.angularVelocity, (0.003f + turn) * 0.99f, tolerance) << "case " << turn;
    }
}

// The bars meet each other and the square on the way, so contacts are run too.
// An hour at 100 ticks per second: the bars turn about 6000 and 10300 rad, all of it kept (no
// angle is brought back by whole turns within the first hour).
TEST(ArenaTick, BarsSpinTowardsTheirSteadyTurnAndNeverMoveAndTicksAllocateNothing) {
    enterFreshArena();
    tickArena(none, 100);  // the first step after entry may allocate the shapes' bounds
    float longAngle = 0.0f, shortAngle = 0.0f, fastestLong = 0.0f, fastestShort = 0.0f;
    const AllocationScope scope;
    for (int tick = 0; tick < 360000; ++tick) {
        tickArena(none, 100);
        ASSERT_TRUE(barsInPlace()) << "tick " << tick;
        if (tick < 3000) {  // later, 32-bit angles keep a tick's turn less precisely
            fastestLong = std::max(fastestLong, longBar.getPose().angle - longAngle);
            fastestShort = std::min(fastestShort, shortBar.getPose().angle - shortAngle);
        }
        longAngle = longBar.getPose().angle;
        shortAngle = shortBar.getPose().angle;
    }
    EXPECT_EQ(scope.count(), 0u);
    // The turn per tick settles at t / (1 - 0.995); meetings slow it for a while, so take the top.
    EXPECT_NEAR(fastestLong, 0.02f, 2e-4f);
    EXPECT_NEAR(fastestShort, -0.03f, 2e-4f);
    EXPECT_GT(longAngle, 5900.0f);
    EXPECT_LT(shortAngle, -10200.0f);
}

// A body's velocity and spin, as they are or as damping alone would leave them.
std::array<float, 3> motion(const Body& b, bool damped = false) {
    const float l = damped ? b.linearDamping : 1.0f, a = damped ? b.angularDamping : 1.0f;
    return {b.velocity.x * l, b.velocity.y * l, b.angularVelocity * a};
}

// 2980 ticks: the car runs into the long bar and the square, backs up, turns and drives on.
constexpr std::pair<int, HeldKeys> script[] = {
    {150, up},   {100, none}, {170, down}, {100, none},   {40, left},  {120, up},   {150, down},
    {100, none}, {60, right}, {120, up},   {150, down},   {100, none}, {30, right}, {120, up},
    {160, down}, {100, none}, {30, left},  {130, up},     {160, down}, {100, none}, {50, upLeft},
    {100, up},   {150, down}, {100, none}, {40, upRight}, {100, up},   {150, down}, {100, none},
};

TEST(ArenaTimeline, ScriptedDriveHitsTheLongBarAndTheSquareAndIsBitReproducible) {
    std::vector<uint32_t> runs[2];
    int carHitsBar = 0, carHitsSquare = 0, barsMoved = 0;
    for (std::vector<uint32_t>& bits : runs) {
        enterFreshArena();
        for (const auto& [ticks, keys] : script) {
            for (int i = 0; i < ticks; ++i) {
                applyControls(keys, 100);
                const auto carCourse = motion(car, true), barCourse = motion(longBar, true),
                           squareCourse = motion(square, true);
                arenaWorld.step();
                // Only a contact changes a body's motion other than by damping.
                const bool carHit = motion(car) != carCourse, barHit = motion(longBar) != barCourse,
                           squareHit = motion(square) != squareCourse;
                carHitsBar += carHit && barHit && !squareHit;
                carHitsSquare += carHit && squareHit && !barHit;
                const std::vector<uint32_t> now = arenaBits();
                bits.insert(bits.end(), now.begin(), now.end());
                barsMoved += !barsInPlace();
            }
        }
    }
    EXPECT_GT(carHitsBar, 0);
    EXPECT_GT(carHitsSquare, 0);
    EXPECT_TRUE(std::ranges::all_of(
        runs[0], [](uint32_t b) { return std::isfinite(std::bit_cast<float>(b)); }));
    EXPECT_EQ(barsMoved, 0);
    ASSERT_EQ(runs[0].size(), runs[1].size());
    const long diverged = std::ranges::mismatch(runs[0], runs[1]).in1 - runs[0].begin();
    EXPECT_EQ(diverged, static_cast<long>(runs[0].size())) << "at tick " << diverged / 24;
    // FNV-1a over every tick's poses and motions: the same in every build, optimised or not.
    uint32_t hash = 2166136261u;
    for (const uint32_t word : runs[0]) {
        for (int byte = 0; byte < 4; ++byte) {
            hash = (hash ^ ((word >> (8 * byte)) & 0xFFu)) * 16777619u;
        }
    }
    EXPECT_EQ(hash, 0xe2df44b9u) << std::hex << "got 0x" << hash;
}

// Camera, and its position snapped towards zero to a multiple of 5 (gx, gy): vertical lines at
// gx - 30, ..., gx + 25 spanning gy +- 30, then horizontal ones at gy - 30, ..., gy + 25, gx +- 40.
TEST(GridLines, SnapTowardsZeroAndSpanTheView) {
    const std::pair<Vec2, Vec2> cases[] = {{{12.3f, -7.9f}, {10, -5}},
                                           {{4.9f, 4.9f}, {0, 0}},
                                           {{5, 5}, {5, 5}},
                                           {{-12.3f, 7.9f}, {-10, 5}}};
    for (const auto& [camera, g] : cases) {
        const GridLines lines = gridLines(camera.x, camera.y);
        for (int n = 0; n < 12; ++n) {
            const float at = -30.0f + 5.0f * n;
            const GridLine v = lines[n], h = lines[12 + n];
            EXPECT_EQ((std::vector{v.x0, v.x1, v.y0, v.y1, h.y0, h.y1, h.x0, h.x1}),
                      (std::vector{g.x + at, g.x + at, g.y - 30, g.y + 30, g.y + at, g.y + at,
                                   g.x - 40, g.x + 40}))
                << "line " << n << " for the camera at " << camera.x << ", " << camera.y;
        }
    }
}

TEST(ArenaMessages, GameStartsAt100TicksEnterBuildsTheArenaAndOnlyTicksChangeIt) {
    enterFreshArena();
    car.setPose(0.0f, 0.0f, 0.0f);  // for MSG_ENTER to put back
    const auto send = [](GameState& to, int32_t code) {
        const Message message{code, 1, nullptr};
        to.handleMessage(&message);
    };
    ArenaState state;
    ArenaGame game;
    EXPECT_STREQ(game.prefsName(), "Scrapvolt");
    EXPECT_NE(dynamic_cast<ArenaState*>(std::unique_ptr<GameState>(game.createFirstState()).get()),
              nullptr);
    setTickRate(37);
    send(game, MSG_STARTUP);
    EXPECT_EQ(getTickRate(), 100);
    send(state, MSG_ENTER);  // builds the arena
    // x, y, angle, inverse mass and inertia, linear and angular damping
    const std::pair<Body*, std::vector<float>> bodies[] = {
        {&car, {1.9f, 15.0f, 3.14159265f, 1.0f, 2.0f, 0.995f, 0.99f}},
        {&square, {0.0f, 5.0f, 0.0f, 3.0f, 5.0f, 0.99f, 0.995f}},
        {&longBar, {5.0f, 0.0f, 0.0f, 0.0f, 0.01f, 0.99f, 0.995f}},
        {&shortBar, {20.0f, 0.0f, 0.0f, 0.0f, 0.01f, 0.99f, 0.995f}}};
    for (const auto& [body, expected] : bodies) {
        const Pose pose = body->getPose();
        EXPECT_EQ((std::vector{pose.x, pose.y, pose.angle, body->inverseMass, body->inverseInertia,
                               body->linearDamping, body->angularDamping}),
                  expected);
    }
    EXPECT_EQ(std::bit_cast<uint32_t>(car.getPose().angle), 0x40490FDBu) << "the car faces -y";
    std::vector<const Body*> list;
    for (const WorldNode* node = arenaWorld.head; node != nullptr; node = node->next) {
        list.push_back(node->body);
    }
    EXPECT_EQ(list, (std::vector<const Body*>{&square, &shortBar, &longBar, &car}));
    for (int i = 0; i < 50; ++i) {
        send(state, MSG_TICK);  // no key is held: the bars turn and the world steps
    }
    const std::vector<uint32_t> before = arenaBits();
    for (int32_t code = MSG_STARTUP; code <= MSG_CONFIGURE_GL; ++code) {
        if (code != MSG_TICK && code != MSG_DRAW && code != MSG_ENTER) {
            send(state, code);
        }
        if (code != MSG_VIDEO_RESET && code != MSG_DRAW && code != MSG_CONFIGURE_GL) {
            send(game, code);  // the game object leaves the arena to the state
        }
        EXPECT_EQ(arenaBits(), before) << "message " << code << " changed the arena";
    }
    send(state, MSG_TICK);
    EXPECT_NE(arenaBits(), before) << "MSG_TICK did not step the arena";
}

}  // namespace
