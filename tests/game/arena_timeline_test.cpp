#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "game/arena.h"
#include "tests/game/arena_fixture.h"

namespace {

struct Segment {
    int ticks;
    HeldKeys keys;
};

constexpr HeldKeys left{true, false, false, false};
constexpr HeldKeys right{false, true, false, false};
constexpr HeldKeys down{false, false, true, false};
constexpr HeldKeys up{false, false, false, true};
constexpr HeldKeys upLeft{true, false, false, true};
constexpr HeldKeys upRight{false, true, false, true};

// 2980 ticks: the opening drive runs the car into the long bar and the square, then it
// backs up, turns and drives on, meeting the square again later.
constexpr Segment script[] = {
    {150, up},     {100, noKeys}, {170, down},  {100, noKeys}, {40, left},  {120, up},
    {150, down},   {100, noKeys}, {60, right},  {120, up},     {150, down}, {100, noKeys},
    {30, right},   {120, up},     {160, down},  {100, noKeys}, {30, left},  {130, up},
    {160, down},   {100, noKeys}, {50, upLeft}, {100, up},     {150, down}, {100, noKeys},
    {40, upRight}, {100, up},     {150, down},  {100, noKeys},
};

struct Snapshot {
    Pose pose;
    Vec2 velocity;
    float angularVelocity;
};

Snapshot snapshot(Body& body) {
    return {body.getPose(), body.velocity, body.angularVelocity};
}

// True when the step changed the body's motion other than by moving it by its velocity and
// damping it: only a contact does that.
bool touched(const Snapshot& before, Body& body) {
    const Snapshot after = snapshot(body);
    return after.pose.x != before.pose.x + before.velocity.x ||
           after.pose.y != before.pose.y + before.velocity.y ||
           after.velocity.x != before.velocity.x * body.linearDamping ||
           after.velocity.y != body.linearDamping * before.velocity.y ||
           after.angularVelocity != body.angularDamping * before.angularVelocity;
}

struct Drive {
    std::vector<uint32_t> poseBits;  // x, y, angle of car, long bar, short bar, square per tick
    int carHitsLongBar = 0;          // ticks in which both changed course and the square did not
    int carHitsSquare = 0;           // ticks in which both changed course and the long bar did not
    int nonFinitePoses = 0;
    int barDisplacements = 0;
};

void record(Drive& run, Body& body) {
    const Pose pose = body.getPose();
    for (float value : {pose.x, pose.y, pose.angle}) {
        run.poseBits.push_back(std::bit_cast<uint32_t>(value));
        run.nonFinitePoses += !std::isfinite(value);
    }
}

void tickAndObserve(const HeldKeys& keys, Drive& run) {
    applyControls(keys, 100);
    const Snapshot carBefore = snapshot(car);
    const Snapshot longBarBefore = snapshot(longBar);
    const Snapshot squareBefore = snapshot(square);
    arenaWorld.step();
    const bool carTouched = touched(carBefore, car);
    const bool longBarTouched = touched(longBarBefore, longBar);
    const bool squareTouched = touched(squareBefore, square);
    run.carHitsLongBar += carTouched && longBarTouched && !squareTouched;
    run.carHitsSquare += carTouched && squareTouched && !longBarTouched;
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        record(run, *body);
    }
    const Pose longPose = longBar.getPose();
    const Pose shortPose = shortBar.getPose();
    run.barDisplacements += longPose.x != 5.0f || longPose.y != 0.0f;
    run.barDisplacements += shortPose.x != 20.0f || shortPose.y != 0.0f;
}

Drive drive() {
    enterFreshArena();
    Drive run;
    for (const Segment& segment : script) {
        for (int i = 0; i < segment.ticks; ++i) {
            tickAndObserve(segment.keys, run);
        }
    }
    return run;
}

TEST(ArenaTimeline, ScriptedDriveHitsTheLongBarAndTheSquare) {
    const Drive run = drive();
    EXPECT_GT(run.carHitsLongBar, 0) << "the script should run the car into the long bar";
    EXPECT_GT(run.carHitsSquare, 0) << "the script should run the car into the square";
    EXPECT_EQ(run.nonFinitePoses, 0);
    EXPECT_EQ(run.barDisplacements, 0) << "a pinned bar was moved";
}

TEST(ArenaTimeline, ScriptedDriveIsBitReproducible) {
    const Drive first = drive();
    const Drive second = drive();
    ASSERT_EQ(first.poseBits.size(), second.poseBits.size());
    for (size_t i = 0; i < first.poseBits.size(); ++i) {
        ASSERT_EQ(first.poseBits[i], second.poseBits[i])
            << "runs diverge at tick " << i / 12 << ", pose value " << i % 12;
    }
}

}  // namespace
