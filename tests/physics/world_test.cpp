#include "physics/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

// A diamond with vertices at distance 1 from its centre: its bounding circle has radius exactly
// 1, so a diamond at x spans the interval [x - 1, x + 1].
void makeDiamond(Polygon& polygon) {
    polygon.clear();
    polygon.addVertex(0.0f, 1.0f);
    polygon.addVertex(1.0f, 0.0f);
    polygon.addVertex(0.0f, -1.0f);
    polygon.addVertex(-1.0f, 0.0f);
}

void makeBox(Polygon& polygon, float hx, float hy) {
    polygon.clear();
    polygon.addVertex(hx, -hy);
    polygon.addVertex(-hx, -hy);
    polygon.addVertex(-hx, hy);
    polygon.addVertex(hx, hy);
}

// Owns polygons and bodies, adds them to its world in creation order.
struct Scene {
    std::vector<std::unique_ptr<Polygon>> polygons;
    std::vector<std::unique_ptr<Body>> bodies;
    World world;

    Body& add(float x, float y, float inverseMass, void (*shape)(Polygon&) = makeDiamond) {
        Polygon& polygon = *polygons.emplace_back(std::make_unique<Polygon>());
        shape(polygon);
        Body& body = *bodies.emplace_back(std::make_unique<Body>(polygon));
        body.setPose(x, y, 0.0f);
        body.inverseMass = inverseMass;
        world.add(body);
        return body;
    }
};

// True when the polygon was A of some contact query: the query writes B's support indices into
// A's edges, which are otherwise 0 after the edges are rebuilt.
bool wasQueriedAsA(const Polygon& polygon) {
    for (int32_t i = 0; i < polygon.vertexCount; ++i) {
        if (polygon.edges[i].vertexIndex != 0) {
            return true;
        }
    }
    return false;
}

// |dx| + |dy| of two diamonds' centres: 2 or more when they do not overlap.
float diamondGap(const Body& a, const Body& b) {
    return std::fabs(b.pose->x - a.pose->x) + std::fabs(b.pose->y - a.pose->y);
}

std::vector<float> keysInListOrder(const World& world) {
    std::vector<float> keys;
    for (const WorldNode* node = world.head; node != nullptr; node = node->next) {
        keys.push_back(node->minX);
    }
    return keys;
}

TEST(World, StepOfEmptyOrSingleBodyWorldDoesNothing) {
    World empty;
    empty.step();
    EXPECT_EQ(empty.head, nullptr);
    EXPECT_EQ(empty.lastPassCount, 0);

    Scene scene;
    Body& lone = scene.add(0.0f, 0.0f, 1.0f);
    lone.velocity = Vec2{1.0f, 2.0f};
    scene.world.step();
    EXPECT_EQ(lone.pose->x, 0.0f) << "a lone body must not be integrated";
    EXPECT_EQ(lone.velocity.x, 1.0f) << "a lone body must not be damped";
    EXPECT_FALSE(lone.moved);
    EXPECT_EQ(scene.world.lastPassCount, 0);
}

TEST(World, AddPutsTheLatestBodyFirst) {
    Scene scene;
    for (int i = 0; i < 4; ++i) {
        scene.add(static_cast<float>(i) * 10.0f, 0.0f, 1.0f);
    }
    const WorldNode* node = scene.world.head;
    for (int i = 3; i >= 0; --i) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->body, scene.bodies[i].get()) << "list position " << 3 - i;
        node = node->next;
    }
    EXPECT_EQ(node, nullptr);

    scene.world.step();
    node = scene.world.head;
    for (int i = 0; i < 4; ++i, node = node->next) {
        EXPECT_EQ(node->body, scene.bodies[i].get()) << "after the first sort, position " << i;
    }
}

TEST(World, StepSetsIntervalsFromIntegratedCircles) {
    Scene scene;
    Body& a = scene.add(0.0f, 0.0f, 1.0f);
    scene.add(5.0f, 0.0f, 1.0f);
    a.velocity = Vec2{0.5f, 0.0f};
    scene.world.step();
    EXPECT_EQ(scene.world.head->body, &a);
    EXPECT_EQ(scene.world.head->minX, -0.5f);
    EXPECT_EQ(scene.world.head->maxX, 1.5f);
    EXPECT_EQ(a.pose->x, 0.5f);
}

TEST(World, TouchingIntervalsAreNotTested) {
    Scene scene;
    Body& left = scene.add(0.0f, 0.0f, 1.0f);   // [-1, 1]
    Body& right = scene.add(2.0f, 0.0f, 1.0f);  // [1, 3]
    scene.world.step();
    EXPECT_EQ(scene.world.lastPassCount, 1);
    EXPECT_TRUE(left.moved) << "the pair must not reach collide";
    EXPECT_TRUE(right.moved);
}

TEST(World, OverlappingPairIsTestedEachPassWithFirstIntervalAsA) {
    Scene scene;
    // Both immovable: the contact is found but never corrected, so one pass.
    Body& second = scene.add(1.9f, 0.0f, 0.0f);  // [0.9, 2.9]
    Body& first = scene.add(0.0f, 0.0f, 0.0f);   // [-1, 1]
    scene.world.step();
    EXPECT_EQ(scene.world.lastPassCount, 1);
    EXPECT_FALSE(first.moved) << "the pair must reach collide";
    EXPECT_FALSE(second.moved);
    EXPECT_TRUE(wasQueriedAsA(*first.polygon)) << "the first interval's body must be A";
    EXPECT_FALSE(wasQueriedAsA(*second.polygon));
    EXPECT_EQ(second.pose->x, 1.9f);
}

TEST(World, PassTestsOnlyPairsWhoseIntervalsOverlap) {
    Scene scene;
    // Intervals [-1, 1], [0.5, 2.5], [2, 4], [9, 11]; neighbours' circles overlap but the
    // diamonds stay apart (|dx| + |dy| > 2), so no contact and one pass.
    Body& b0 = scene.add(0.0f, 0.0f, 1.0f);
    Body& b1 = scene.add(1.5f, 0.6f, 1.0f);
    Body& b2 = scene.add(3.0f, 0.0f, 1.0f);
    Body& b3 = scene.add(10.0f, 0.0f, 1.0f);
    scene.world.step();
    EXPECT_EQ(scene.world.lastPassCount, 1);
    EXPECT_FALSE(b0.moved) << "first with second must be tested";
    EXPECT_FALSE(b1.moved);
    EXPECT_FALSE(b2.moved) << "second with third must be tested";
    EXPECT_TRUE(b3.moved) << "the fourth overlaps nothing and must not be tested";
    EXPECT_TRUE(wasQueriedAsA(*b0.polygon));
    EXPECT_TRUE(wasQueriedAsA(*b1.polygon));
    EXPECT_FALSE(wasQueriedAsA(*b2.polygon)) << "the third is never A";
}

TEST(World, StepEndsAfterTheFirstQuietPass) {
    Scene scene;
    Body& b = scene.add(1.9f, 0.0f, 1.0f);
    Body& a = scene.add(0.0f, 0.0f, 1.0f);
    // The same velocity for both: no impulse, so the velocities show the damping alone.
    a.velocity = b.velocity = Vec2{0.0f, 0.5f};
    scene.world.step();
    // Pass 1 corrects the overlap; pass 2 finds the pair touching and is quiet.
    EXPECT_EQ(scene.world.lastPassCount, 2);
    EXPECT_EQ(a.velocity.y, 0.99f * 0.5f) << "each body must be integrated exactly once";
    EXPECT_EQ(b.velocity.y, 0.99f * 0.5f);
    EXPECT_FALSE(a.moved) << "the second pass must test the corrected pair again";
    EXPECT_FALSE(b.moved);
    EXPECT_LT(a.pose->x, 0.0f);
    EXPECT_GT(b.pose->x, 1.9f);
}

TEST(World, ClearForgetsBodiesAndLeavesThemAlone) {
    Scene scene;
    Body& a = scene.add(0.0f, 0.0f, 1.0f);
    Body& b = scene.add(0.5f, 0.0f, 1.0f);
    a.velocity = Vec2{1.0f, 0.0f};
    scene.world.clear();
    EXPECT_EQ(scene.world.head, nullptr);
    scene.world.step();
    EXPECT_EQ(a.pose->x, 0.0f);
    EXPECT_EQ(a.velocity.x, 1.0f);
    EXPECT_EQ(b.pose->x, 0.5f);
}

TEST(World, SqueezedBodyEndsTheStepAtThePassCap) {
    Scene scene;
    const auto wall = [](Polygon& p) { makeBox(p, 0.5f, 2.0f); };
    const auto square = [](Polygon& p) { makeBox(p, 0.5f, 0.5f); };
    // A unit square in a gap of 0.9 between two immovable walls: each correction is undone by
    // the other wall's.
    scene.add(-0.95f, 0.0f, 0.0f, wall);
    scene.add(0.95f, 0.0f, 0.0f, wall);
    Body& squeezed = scene.add(0.0f, 0.0f, 1.0f, square);
    scene.world.step();
    EXPECT_EQ(scene.world.lastPassCount, World::maxPasses);
    EXPECT_TRUE(std::isfinite(squeezed.pose->x));
    scene.world.step();
    EXPECT_EQ(scene.world.lastPassCount, World::maxPasses);
}

struct SortCase {
    const char* name;
    std::vector<float> keys;
    std::vector<int> expectedOrder;  // indices into keys
};

TEST(WorldSort, InsertionSortByMinX) {
    const SortCase cases[] = {
        {"equal keys moved back go before their equals", {3, 1, 2, 1, 0}, {4, 3, 1, 2, 0}},
        {"short unstable case", {5, 3, 3}, {2, 1, 0}},
        {"sorted list keeps its order", {0, 1, 1, 2, 2, 3}, {0, 1, 2, 3, 4, 5}},
        {"reversed", {4, 3, 2, 1}, {3, 2, 1, 0}},
        {"single", {7}, {0}},
        {"NaN keys go last", {nan, 1, nan, 0}, {3, 1, 0, 2}},
        {"infinities and NaN", {inf, nan, -inf, 2}, {2, 3, 0, 1}},
        {"all NaN keep their order", {nan, nan, nan}, {0, 1, 2}},
    };
    for (const SortCase& c : cases) {
        std::vector<WorldNode> nodes(c.keys.size());
        World world;
        for (size_t i = nodes.size(); i-- > 0;) {
            nodes[i] = WorldNode{nullptr, world.head, c.keys[i], c.keys[i]};
            world.head = &nodes[i];
        }
        world.sortByMinX();
        std::vector<int> order;
        for (const WorldNode* node = world.head; node != nullptr && order.size() <= nodes.size();
             node = node->next) {
            order.push_back(static_cast<int>(node - nodes.data()));
        }
        EXPECT_EQ(order, c.expectedOrder) << c.name;
        world.head = nullptr;  // the nodes belong to the vector
    }
}

TEST(World, NonFiniteBodyDoesNotHangOrCrashTheStep) {
    const Vec2 velocities[] = {{nan, 0.0f}, {0.0f, nan}, {inf, 0.0f}, {-inf, inf}};
    for (const Vec2& velocity : velocities) {
        Scene scene;
        Body& broken = scene.add(0.0f, 0.0f, 1.0f);
        Body& neighbour = scene.add(1.5f, 0.0f, 1.0f);
        Body& other = scene.add(20.0f, 0.0f, 1.0f);
        Body& overlapping = scene.add(21.5f, 0.0f, 1.0f);
        broken.velocity = velocity;
        broken.angularVelocity = velocity.x;
        for (int i = 0; i < 5; ++i) {
            scene.world.step();
            EXPECT_LE(scene.world.lastPassCount, World::maxPasses);
        }
        EXPECT_TRUE(std::isfinite(neighbour.pose->x));
        EXPECT_TRUE(std::isfinite(neighbour.pose->y));
        EXPECT_GT(diamondGap(other, overlapping), 1.99f)
            << "finite bodies must still be resolved next to a broken one";
        EXPECT_EQ(keysInListOrder(scene.world).size(), 4u);
    }
}

TEST(World, BodyWithoutVerticesTakesPartInNoTest) {
    Scene scene;
    scene.add(0.0f, 0.0f, 1.0f, [](Polygon&) {});
    Body& a = scene.add(0.0f, 0.0f, 1.0f);
    Body& b = scene.add(1.5f, 0.0f, 1.0f);
    scene.world.step();
    EXPECT_GT(diamondGap(a, b), 1.99f) << "the other bodies must still collide";
    EXPECT_TRUE(std::isnan(keysInListOrder(scene.world).back()));
}

}  // namespace
