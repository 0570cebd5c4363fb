// The arena's long scripted drive: bit-reproducible, the same in every build, and an hour of
// play in which the bars' angles are never brought back by whole turns.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <utility>

#include "game/arena.h"

namespace {

constexpr HeldKeys none{}, left{true, false, false, false}, right{false, true, false, false},
    down{false, false, true, false}, up{false, false, false, true},
    upLeft{true, false, false, true}, upRight{false, true, false, true};

// The arena as after the first entry, whatever motion an earlier test left.
void enterFreshArena() {
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        body->velocity = {0.0f, 0.0f};
        body->angularVelocity = 0.0f;
    }
    buildArena();
}

// FNV-1a over the bytes of every pose and velocity, as they stand.
uint32_t hashArena(uint32_t hash) {
    for (Body* b : {&car, &longBar, &shortBar, &square}) {
        const Pose p = b->getPose();
        for (float v : {p.x, p.y, p.angle, b->velocity.x, b->velocity.y, b->angularVelocity}) {
            const uint32_t word = std::bit_cast<uint32_t>(v);
            for (int byte = 0; byte < 4; ++byte) {
                hash = (hash ^ ((word >> (8 * byte)) & 0xFFu)) * 16777619u;
            }
        }
    }
    return hash;
}

// 2980 ticks: the car runs into the long bar and the square, backs up, turns and drives on.
constexpr std::pair<int, HeldKeys> script[] = {
    {150, up},   {100, none}, {170, down}, {100, none},   {40, left},  {120, up},   {150, down},
    {100, none}, {60, right}, {120, up},   {150, down},   {100, none}, {30, right}, {120, up},
    {160, down}, {100, none}, {30, left},  {130, up},     {160, down}, {100, none}, {50, upLeft},
    {100, up},   {150, down}, {100, none}, {40, upRight}, {100, up},   {150, down}, {100, none},
};

TEST(ArenaDrive, ScriptedDriveEndsAtTheSameStateInEveryBuild) {
    enterFreshArena();
    uint32_t hash = 2166136261u;
    bool squarePushed = false;
    for (const auto& [ticks, keys] : script) {
        for (int i = 0; i < ticks; ++i) {
            tickArena(keys, 100);
            hash = hashArena(hash);
            squarePushed |= square.getPose().x != 0.0f || square.getPose().y != 5.0f;
        }
    }
    EXPECT_TRUE(squarePushed);
    EXPECT_EQ(hash, 0xe2df44b9u) << std::hex << "got 0x" << hash;
}

// An hour at 100 ticks per second: the bars turn about 6000 and 10300 rad, all of it kept.
TEST(ArenaDrive, AnHourOfPlayKeepsEveryTurnOfTheBars) {
    enterFreshArena();
    const double longStart = longBar.getPose().angle, shortStart = shortBar.getPose().angle;
    double longTurned = 0.0, shortTurned = 0.0;
    for (int tick = 0; tick < 360000; ++tick) {
        const double longBefore = longBar.getPose().angle, shortBefore = shortBar.getPose().angle;
        tickArena(none, 100);
        longTurned += longBar.getPose().angle - longBefore;  // exact in double
        shortTurned += shortBar.getPose().angle - shortBefore;
    }
    EXPECT_EQ(longTurned, longBar.getPose().angle - longStart) << "no whole turns taken off";
    EXPECT_EQ(shortTurned, shortBar.getPose().angle - shortStart);
    EXPECT_GT(longTurned, 5900.0);
    EXPECT_LT(shortTurned, -10200.0);
}

}  // namespace
