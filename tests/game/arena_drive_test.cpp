// The arena's long scripted drive: bit-reproducible, the same in every build.
#include <gtest/gtest.h>

#include <bit>
#include <utility>

#include "game/arena.h"

using namespace scrapvolt;

namespace {

constexpr HeldKeys none{}, left{.left = true}, right{.right = true}, down{.down = true},
    up{.up = true}, upLeft{.left = true, .up = true}, upRight{.right = true, .up = true};

// FNV-1a over the bytes of every pose and velocity, as they stand.
uint32_t hashArena(uint32_t hash) {
    for (Body* b : {&car, &longBar, &shortBar, &square}) {
        const Pose p = b->getPose();
        for (float v : {p.x, p.y, p.angle, b->velocity.x, b->velocity.y, b->angularVelocity}) {
            for (int shift = 0; shift < 32; shift += 8) {
                hash = (hash ^ ((std::bit_cast<uint32_t>(v) >> shift) & 0xFFu)) * 16777619u;
            }
        }
    }
    return hash;
}

// 2980 ticks: the car runs into the long bar and pushes the square, backs up, turns and drives on.
constexpr std::pair<int, HeldKeys> script[] = {
    {150, up},   {100, none}, {170, down}, {100, none},   {40, left},  {120, up},   {150, down},
    {100, none}, {60, right}, {120, up},   {150, down},   {100, none}, {30, right}, {120, up},
    {160, down}, {100, none}, {30, left},  {130, up},     {160, down}, {100, none}, {50, upLeft},
    {100, up},   {150, down}, {100, none}, {40, upRight}, {100, up},   {150, down}, {100, none},
};

TEST(ArenaDrive, ScriptedDriveEndsAtTheSameStateInEveryBuild) {
    buildArena();
    uint32_t hash = 2166136261u;
    for (const auto& [ticks, keys] : script) {
        for (int i = 0; i < ticks; ++i) {
            tickArena(keys, 100);
            hash = hashArena(hash);
        }
    }
    EXPECT_EQ(hash, 0xe2df44b9u) << std::hex << "got 0x" << hash;
}

}  // namespace
