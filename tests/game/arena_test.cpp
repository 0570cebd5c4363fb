#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "game/arena.h"
#include "tests/game/arena_fixture.h"
#include "tests/support/allocation_counter.h"

namespace {

struct BodyExpectation {
    const char* name;
    Body* body;
    float x, y, angle;
    float inverseMass, inverseInertia, linearDamping, angularDamping;
};

TEST(ArenaEntry, PlacesBodiesWithTheirParameters) {
    enterFreshArena();
    const BodyExpectation expected[] = {
        {"car", &car, 1.9f, 15.0f, 3.14159265f, 1.0f, 2.0f, 0.995f, 0.99f},
        {"square", &square, 0.0f, 5.0f, 0.0f, 3.0f, 5.0f, 0.99f, 0.995f},
        {"longBar", &longBar, 5.0f, 0.0f, 0.0f, 0.0f, 0.01f, 0.99f, 0.995f},
        {"shortBar", &shortBar, 20.0f, 0.0f, 0.0f, 0.0f, 0.01f, 0.99f, 0.995f},
    };
    for (const BodyExpectation& e : expected) {
        SCOPED_TRACE(e.name);
        const Pose pose = e.body->getPose();
        EXPECT_EQ(pose.x, e.x);
        EXPECT_EQ(pose.y, e.y);
        EXPECT_EQ(pose.angle, e.angle);
        EXPECT_EQ(e.body->inverseMass, e.inverseMass);
        EXPECT_EQ(e.body->inverseInertia, e.inverseInertia);
        EXPECT_EQ(e.body->linearDamping, e.linearDamping);
        EXPECT_EQ(e.body->angularDamping, e.angularDamping);
    }
    EXPECT_EQ(std::bit_cast<uint32_t>(car.getPose().angle), 0x40490FDBu)
        << "the car must face -y: angle pi rounded to float";
}

struct ShapeExpectation {
    const char* name;
    Polygon* polygon;
    std::vector<Vec2> vertices;
};

TEST(ArenaEntry, ShapesPolygonsInTheirVertexOrder) {
    enterFreshArena();
    const ShapeExpectation expected[] = {
        {"car", &carPolygon, {{1, 2}, {1.4f, -2}, {-1.4f, -2}, {-1, 2}}},
        {"longBar",
         &longBarPolygon,
         {{10, -0.5f}, {-10, -0.5f}, {-10, 0.5f}, {0, 4.5f}, {10, 0.5f}}},
        {"shortBar", &shortBarPolygon, {{10, -0.5f}, {0, -0.5f}, {0, 0.5f}, {10, 0.5f}}},
        {"square", &squarePolygon, {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}}},
    };
    for (const ShapeExpectation& e : expected) {
        SCOPED_TRACE(e.name);
        ASSERT_EQ(e.polygon->vertexCount, static_cast<int32_t>(e.vertices.size()));
        for (size_t i = 0; i < e.vertices.size(); ++i) {
            EXPECT_EQ(e.polygon->localVertices[i].x, e.vertices[i].x) << "vertex " << i;
            EXPECT_EQ(e.polygon->localVertices[i].y, e.vertices[i].y) << "vertex " << i;
        }
    }
}

TEST(ArenaEntry, WorldListRunsSquareShortBarLongBarCar) {
    enterFreshArena();
    const Body* expected[] = {&square, &shortBar, &longBar, &car};
    const WorldNode* node = arenaWorld.head;
    for (const Body* body : expected) {
        ASSERT_NE(node, nullptr) << "the world holds fewer than four bodies";
        EXPECT_EQ(node->body, body);
        node = node->next;
    }
    EXPECT_EQ(node, nullptr) << "the world holds more than four bodies";
}

TEST(ArenaEntry, SecondEntryResetsPosesButKeepsMotion) {
    enterFreshArena();
    for (int i = 0; i < 20; ++i) {
        tickArena({true, false, false, true}, 100);
    }
    const Vec2 velocity = car.velocity;
    const float spin = car.angularVelocity;
    buildArena();
    EXPECT_EQ(car.getPose().x, 1.9f);
    EXPECT_EQ(car.getPose().y, 15.0f);
    EXPECT_EQ(car.velocity.x, velocity.x);
    EXPECT_EQ(car.velocity.y, velocity.y);
    EXPECT_EQ(car.angularVelocity, spin);
    EXPECT_EQ(carPolygon.vertexCount, 4) << "re-entry must rebuild, not append to, the shapes";
    int nodes = 0;
    for (const WorldNode* node = arenaWorld.head; node != nullptr; node = node->next) {
        ++nodes;
    }
    EXPECT_EQ(nodes, 4) << "re-entry must refill, not extend, the world";
}

TEST(ArenaTick, UpPushesCarAlongItsNoseThenStepMovesAndDampsIt) {
    enterFreshArena();
    applyControls(upKey, 100);
    // The car faces -y, so its own +y axis points down the world's y axis.
    const Vec2 pushed = car.velocity;
    EXPECT_NEAR(pushed.x, 0.0f, 1e-9f);
    EXPECT_FLOAT_EQ(pushed.y, -0.003f);
    EXPECT_EQ(car.angularVelocity, 0.0f);

    arenaWorld.step();
    EXPECT_EQ(car.getPose().x, 1.9f + pushed.x);
    EXPECT_EQ(car.getPose().y, 15.0f + pushed.y) << "the step moves by the undamped velocity";
    EXPECT_EQ(car.velocity.x, pushed.x * 0.995f);
    EXPECT_EQ(car.velocity.y, pushed.y * 0.995f);
}

TEST(ArenaTick, CoastingCarKeepsItsDampedVelocities) {
    enterFreshArena();
    for (int i = 0; i < 10; ++i) {
        tickArena({true, false, false, true}, 100);
    }
    const Vec2 velocity = car.velocity;
    const float spin = car.angularVelocity;
    ASSERT_NE(spin, 0.0f);
    tickArena(noKeys, 100);
    EXPECT_EQ(car.velocity.x, velocity.x * 0.995f);
    EXPECT_EQ(car.velocity.y, velocity.y * 0.995f);
    EXPECT_EQ(car.angularVelocity, spin * 0.99f);
}

TEST(ArenaTick, OppositeKeysCancel) {
    const HeldKeys cases[] = {
        {true, true, false, false},  // Left and Right
        {false, false, true, true},  // Down and Up
        {true, true, true, true},    // all four
    };
    for (const HeldKeys& keys : cases) {
        SCOPED_TRACE(testing::Message() << "left " << keys.left << " down " << keys.down);
        enterFreshArena();
        car.velocity = {0.01f, -0.02f};
        car.angularVelocity = 0.003f;
        applyControls(keys, 100);
        EXPECT_NEAR(car.velocity.x, 0.01f, 1e-9f);
        EXPECT_NEAR(car.velocity.y, -0.02f, 1e-9f);
        EXPECT_NEAR(car.angularVelocity, 0.003f, 1e-9f);
    }
}

struct RateCase {
    int32_t rate;
    float k;
};

TEST(ArenaTick, PushesScaleWithTheTickRate) {
    const RateCase cases[] = {{100, 1.0f}, {50, 2.0f}, {200, 0.5f}, {60, 100.0f / 60.0f}};
    for (const RateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c.rate);
        enterFreshArena();
        applyControls(upKey, c.rate);
        EXPECT_FLOAT_EQ(car.velocity.y, -0.003f * c.k) << "Up along the car's +y (world -y)";
        EXPECT_FLOAT_EQ(longBar.angularVelocity, 0.0001f * c.k);
        EXPECT_FLOAT_EQ(shortBar.angularVelocity, -0.00015f * c.k);

        enterFreshArena();
        applyControls({true, false, false, false}, c.rate);
        EXPECT_FLOAT_EQ(car.angularVelocity, 0.0005f * c.k) << "Left turns anticlockwise";
        enterFreshArena();
        applyControls({false, true, false, false}, c.rate);
        EXPECT_FLOAT_EQ(car.angularVelocity, -0.0005f * c.k) << "Right turns clockwise";
    }
    enterFreshArena();
    applyControls(upKey, 50);
    EXPECT_EQ(car.velocity.y, -0.006f) << "at 50 ticks per second one tick of Up adds 0.006";
}

TEST(ArenaTick, BarsSpinTowardsTheirSteadyTurnAndNeverMove) {
    enterFreshArena();
    float longAngle = longBar.getPose().angle;
    float shortAngle = shortBar.getPose().angle;
    float fastestLongTurn = 0.0f;
    float fastestShortTurn = 0.0f;
    for (int tick = 0; tick < 3000; ++tick) {
        tickArena(noKeys, 100);
        ASSERT_EQ(longBar.getPose().x, 5.0f) << "tick " << tick;
        ASSERT_EQ(longBar.getPose().y, 0.0f) << "tick " << tick;
        ASSERT_EQ(shortBar.getPose().x, 20.0f) << "tick " << tick;
        ASSERT_EQ(shortBar.getPose().y, 0.0f) << "tick " << tick;
        fastestLongTurn = std::max(fastestLongTurn, longBar.getPose().angle - longAngle);
        fastestShortTurn = std::min(fastestShortTurn, shortBar.getPose().angle - shortAngle);
        longAngle = longBar.getPose().angle;
        shortAngle = shortBar.getPose().angle;
    }
    // The turn per tick v + t follows v' = 0.995 (v + t), which settles at t / (1 - 0.995).
    // The bars swing through each other's reach and the square's, and each meeting slows them
    // for a while, so the test looks at the fastest turn reached between meetings.
    EXPECT_NEAR(fastestLongTurn, 0.02f, 2e-4f);
    EXPECT_NEAR(fastestShortTurn, -0.03f, 2e-4f);
}

TEST(ArenaTick, AllocatesNothing) {
    enterFreshArena();
    // The first step after entry computes the rebuilt shapes' bounding circles, which may use
    // the heap; every later tick must not.
    tickArena(noKeys, 100);
    const HeldKeys timeline[] = {
        upKey, {true, false, false, true}, noKeys, {false, true, true, false}};
    AllocationScope scope;
    for (int tick = 0; tick < 400; ++tick) {
        tickArena(timeline[(tick / 100) % 4], 100);
    }
    EXPECT_EQ(scope.count(), 0u) << "a tick must not allocate";
}

}  // namespace
