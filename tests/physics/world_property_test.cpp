#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bench/arena_scene.h"
#include "bench/topdown_squares.h"
#include "physics/world.h"
#include "tests/support/allocation_counter.h"

namespace {

// End-state hash of the squares after 300 steps of "topdown-squares v1" at N = 100. Any change
// in the float results of the engine changes it.
constexpr uint32_t goldenHash300 = 0x14c6c4ccu;

TEST(TopdownSquaresScene, FirstSquaresFollowTheSplitMix64Draws) {
    TopdownSquares scene(100);
    ASSERT_EQ(scene.squareCount(), 100);
    EXPECT_EQ(scene.half(), 10.0f);
    struct Expected {
        float x, y, angle, vx, vy, spin;
    };
    // Computed independently from the six draws per square, in double, rounded once.
    const Expected expected[] = {
        {-9.23724842f, -8.93295574f, 0.013049338f, 0.00520864595f, -0.00960050803f,
         -0.00760767609f},
        {-7.11793041f, -9.1053524f, 1.30810893f, -0.000516623608f, 0.0405085981f, -0.00687081274f},
    };
    for (int i = 0; i < 2; ++i) {
        const Body& square = scene.square(i);
        EXPECT_EQ(square.pose->x, expected[i].x) << "square " << i;
        EXPECT_EQ(square.pose->y, expected[i].y) << "square " << i;
        EXPECT_EQ(square.pose->angle, expected[i].angle) << "square " << i;
        EXPECT_EQ(square.velocity.x, expected[i].vx) << "square " << i;
        EXPECT_EQ(square.velocity.y, expected[i].vy) << "square " << i;
        EXPECT_EQ(square.angularVelocity, expected[i].spin) << "square " << i;
        EXPECT_EQ(square.inverseMass, 1.0f);
        EXPECT_EQ(square.inverseInertia, 6.0f);
    }
}

TEST(TopdownSquaresScene, GridSizeAndWallsFollowN) {
    const struct {
        int32_t n;
        float half;
    } cases[] = {{100, 10.0f}, {1000, 32.0f}, {5000, 71.0f}, {1, 1.0f}};
    for (const auto& c : cases) {
        TopdownSquares scene(c.n);
        EXPECT_EQ(scene.half(), c.half) << "N = " << c.n;
        int32_t bodies = 0;
        const WorldNode* last = nullptr;
        for (const WorldNode* node = scene.world().head; node != nullptr; node = node->next) {
            ++bodies;
            last = node;
        }
        EXPECT_EQ(bodies, c.n + 4) << "N = " << c.n;
        // The list runs from the latest added body: the left wall, added first, is last.
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->body->pose->x, -c.half - 0.5f) << "the left wall must be added first";
        EXPECT_EQ(last->body->inverseMass, 0.0f);
        EXPECT_EQ(scene.escapedCount(), 0) << "N = " << c.n;
    }
}

TEST(TopdownSquaresScene, SquaresStayInsideTheWalls) {
    TopdownSquares scene(100);
    for (int i = 0; i < 1000; ++i) {
        scene.world().step();
        if (i % 100 == 99) {
            scene.kick();
        }
    }
    EXPECT_EQ(scene.escapedCount(), 0);
}

TEST(WorldProperty, StepAllocatesNothingAfterTheFirst) {
    TopdownSquares scene(100);
    scene.world().step();
    {
        AllocationScope scope;
        for (int i = 0; i < 1000; ++i) {
            if (i % 100 == 99) {
                scene.kick();
            }
            scene.world().step();
        }
        EXPECT_EQ(scope.count(), 0u)
            << "World::step allocated (malloc counted: " << allocation_counter::countsMalloc()
            << ")";
    }
    ArenaScene arena;
    arena.tick();
    AllocationScope scope;
    for (int i = 0; i < 1000; ++i) {
        arena.tick();
    }
    EXPECT_EQ(scope.count(), 0u) << "the arena's step allocated";
}

TEST(WorldProperty, SameStartGivesBitIdenticalPoses) {
    // Two copies stepped in turn, so that any state shared between worlds shows up too.
    TopdownSquares first(1000);
    TopdownSquares second(1000);
    for (int i = 0; i < 200; ++i) {
        first.world().step();
        second.world().step();
    }
    for (int32_t i = 0; i < first.squareCount(); ++i) {
        const Pose& a = *first.square(i).pose;
        const Pose& b = *second.square(i).pose;
        ASSERT_EQ(std::memcmp(&a, &b, sizeof(Pose)), 0) << "square " << i << " differs";
    }
    EXPECT_EQ(first.poseHash(), second.poseHash());
}

TEST(WorldProperty, GoldenTrajectoryHash) {
    TopdownSquares scene(100);
    for (int i = 0; i < 300; ++i) {
        scene.world().step();
    }
    EXPECT_EQ(scene.poseHash(), goldenHash300)
        << std::hex << "got 0x" << scene.poseHash()
        << ": the float results of the engine changed (or the scene did)";
}

TEST(WorldProperty, ArenaStepsWithinThePassCap) {
    ArenaScene arena;
    for (int i = 0; i < 2000; ++i) {
        arena.tick();
        ASSERT_LT(arena.world().lastPassCount, World::maxPasses) << "tick " << i;
    }
    EXPECT_TRUE(std::isfinite(arena.car().pose->x));
}

}  // namespace
