// Bodies, collision and resolution, and world stepping.
#include <deque>
#include <tuple>

#include "bench/topdown_squares.h"
#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

TEST(Body, PoseMotionForcesAndTheSharedPoseRecord) {
    Shape polygon(square, {3, 4, 1});
    Body body(polygon);
    EXPECT_EQ(pose(polygon), (Floats{0, 0, 0})) << "construction resets the polygon's pose";
    EXPECT_EQ(motion(body), (Floats{0, 0, 0}));
    setMotion(body, 1.0f, 0.0f, 0.5f);
    body.integrate();  // moves by the undamped velocity, then damps
    EXPECT_EQ(pose(polygon), (Floats{1, 0, 0.5f}));
    EXPECT_EQ(motion(body), (Floats{0.99f, 0, 0.995f * 0.5f}));
    EXPECT_TRUE(body.moved);
    ASSERT_EQ(body.circle, &polygon.worldCircle);
    EXPECT_NEAR(body.circle->centreX, 1.0f, 1e-6f);
    body.moved = false;
    body.setPose(5.0f, 6.0f, 0.0f);  // the pose only: no moved flag, no fresh circle
    EXPECT_FALSE(body.moved);
    EXPECT_NEAR(body.circle->centreX, 1.0f, 1e-6f);
    // applyLocalForce: angle; force and torque; change of vx, vy and spin, whatever the mass.
    const Floats forces[] = {{halfPi, 1, 0, 0, 0, 1, 0},
                             {halfPi, 0, 1, 0, -1, 0, 0},
                             {halfPi, 0, 0, 0.25f, 0, 0, 0.25f},
                             {std::numbers::pi_v<float>, 0, 2, -0.5f, 0, -2, -0.5f}};
    for (const Floats& c : forces) {
        for (const float inverseMass : {1.0f, 0.0f}) {
            SCOPED_TRACE(testing::PrintToString(c) + (inverseMass == 0 ? " immovable" : ""));
            body.inverseMass = inverseMass;
            body.setPose(0.0f, 0.0f, c[0]);
            setMotion(body, 0.5f, -0.25f, 0.125f);
            body.applyLocalForce(c[1], c[2], c[3]);
            expectNear(motion(body), {0.5f + c[4], -0.25f + c[5], 0.125f + c[6]}, 1e-6f);
        }
    }
    Polygon second;
    Body other(second);
    body.setPose(2.0f, 3.0f, 0.0f);
    setMotion(body, 0.5f, -1.0f, 1.0f);
    const Vec2 points[][2] = {{{3, 3}, {0.5f, 0}}, {{2, 4}, {-0.5f, -1}}, {{2, 3}, {0.5f, -1}}};
    for (const auto& [point, expected] : points) {
        Vec2 out{99.0f, 99.0f};
        body.pointVelocity(point, out);
        EXPECT_EQ(xy(out), xy(expected)) << point.x << ", " << point.y;
    }
    other.setPose(4.0f, 5.0f, 6.0f);
    const Pose& fromBody = body.getPose();
    EXPECT_EQ(&other.getPose(), &fromBody) << "getPose must hand out one shared record";
    EXPECT_EQ(pose(fromBody), (Floats{4, 5, 6}));
}

// Passing the circle pre-test clears the moved flags (the rotation refresh). B moves away.
TEST(Collide, CirclePreTestThenQueryAndCorrection) {
    const float touching = 2.0f * 0.70710677f;
    // B's x, y; inverse masses of A and B | result of collide; flags kept | A's x; B's x.
    const std::pair<Floats, Floats> cases[] = {
        {{3, 0, 1, 1}, {0, 1, 0, 3}},                // circles apart
        {{touching, 0, 1, 1}, {0, 0, 0, touching}},  // circles touching
        {{0.5f, NAN, 1, 1}, {0, 1, 0, 0.5f}},        // NaN circle
        {{0.9f, 0, 0, 1}, {1, 1, 0, 1}},             // immovable A
        {{0.9f, 0, 0, 0}, {0, 0, 0, 0.9f}},          // both immovable
        {{0.9f, 0, 1, 1}, {1, 1, -0.05f, 0.95f}}};   // moving apart
    for (const auto& [c, out] : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        Shape shapeA(square), shapeB(square, {c[0], c[1], 0});
        Body a(shapeA), b(shapeB);
        b.setPose(c[0], c[1], 0.0f);
        std::tie(a.inverseMass, b.inverseMass) = std::tie(c[2], c[3]);
        a.integrate();  // at rest: sets the circles
        b.integrate();
        setMotion(a, -0.2f, 0.0f, 0.0f);
        setMotion(b, 0.3f, 0.1f, 0.0f);
        EXPECT_EQ(a.collide(b), out[0] != 0);
        EXPECT_EQ((std::vector{a.moved, b.moved}), std::vector(2, out[1] != 0));
        expectNear({shapeA.x, shapeB.x}, {out[2], out[3]}, 1e-6f);
        EXPECT_EQ(motion(a), (Floats{-0.2f, 0, 0}));
        EXPECT_EQ(motion(b), (Floats{0.3f, 0.1f, 0}));
    }
}

// Normal (1, 0). In: B's x, y; inverse masses and inertias of A, B; motions of A, B; separation;
// point. Out: x, y of A, B (to 1e-6); motions of A, B (to the tolerance that follows); moved.
TEST(ResolveContact, CorrectionAndImpulseExamples) {
    const std::pair<Floats, Floats> cases[] = {
        {{3, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0.2f, 0, 1.5f, 0},
         {-0.1f, 0, 3.1f, 0, 0, 0, 0, 0, 0, 0, 0, 1}},  // equal masses
        {{3, 0, NAN, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1.5f, 0},
         {0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 0, 0}},  // NaN mass sum: no correction
        {{3, 0, 0, 0, 0.01f, 0.01f, 0, 0, -0.1f, 0, 0, 0.1f, 0.3f, 0, 1.5f, 1},
         {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 1e-7f, 0}},  // immovable turning bars: j = 10 stops both
        {{1, 0, 1, 1, 1, 1, 0, 0, 0, -2, 0, 0, 0.2f, 0, 0.5f, 0},
         {-0.1f, 0, 1.1f, 0, -1, 0, 0, -1, 0, 0, 0, 1}},  // central impact: j = s / 2
        {{2, 1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0.1f, 0, 1, 1},
         {-0.1f, 0, 2, 1, 0.5f, 0, 0.5f, 0, 0, 0, 1e-6f, 1}},  // off centre
        {{3, 0, 0, 0, 0.01f, 0.01f, 1, 0, 0.25f, -1, 0, 0, 0.2f, 0, 1.5f, 0},
         {0, 0, 3, 0, 1, 0, 0.25f, -1, 0, 0, 0, 0}}};  // zero denominator: arms along the normal
    for (const auto& [c, out] : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        Polygon shapeA, shapeB;
        Body a(shapeA), b(shapeB);
        b.setPose(c[0], c[1], 0.0f);
        std::tie(a.inverseMass, b.inverseMass, a.inverseInertia, b.inverseInertia) =
            std::tie(c[2], c[3], c[4], c[5]);
        setMotion(a, c[6], c[7], c[8]);
        setMotion(b, c[9], c[10], c[11]);
        a.resolveContact(Vec2{c[12], c[13]}, Vec2{c[14], c[15]}, Vec2{1.0f, 0.0f}, b);
        expectNear({shapeA.x, shapeA.y, shapeB.x, shapeB.y}, Floats(&out[0], &out[4]), 1e-6f);
        expectNear(motion(a), Floats(&out[4], &out[7]), out[10]);
        expectNear(motion(b), Floats(&out[7], &out[10]), out[10]);
        EXPECT_EQ((std::vector{a.moved, b.moved}), std::vector(2, out[11] != 0));
    }
}

// Seeded random bodies and contacts: no approach at the point afterwards; momentum conserved.
TEST(ResolveContactProperty, StopsApproachAndConservesMomentum) {
    Random random{std::mt19937(12345u)};
    int approaching = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        Polygon shapeA, shapeB;
        Body a(shapeA), b(shapeB);
        for (Body* body : {&a, &b}) {
            body->setPose(random.real(-5, 5), random.real(-5, 5), random.real(-3, 3));
            setMotion(*body, random.real(-1, 1), random.real(-1, 1), random.real(-0.5, 0.5));
            std::tie(body->inverseMass, body->inverseInertia) =
                std::tuple(random.real(0.1, 5), random.real(0.1, 10));
        }
        const float heading = random.real(0, 2 * std::numbers::pi), depth = random.real(0.01, 0.5);
        const Vec2 normal{std::cos(heading), std::sin(heading)};
        const Vec2 point{random.real(-5, 5), random.real(-5, 5)};
        const Floats beforeA = motion(a), beforeB = motion(b);
        a.resolveContact(Vec2{normal.x * depth, normal.y * depth}, point, normal, b);
        const auto approach = [&](const Floats& ma, const Floats& mb) {  // at corrected poses
            const float rax = point.x - a.pose->x, ray = point.y - a.pose->y;
            const float rbx = point.x - b.pose->x, rby = point.y - b.pose->y;
            return (mb[0] - mb[2] * rby - ma[0] + ma[2] * ray) * normal.x +
                   (mb[1] + mb[2] * rbx - ma[1] - ma[2] * rax) * normal.y;
        };
        const float vnBefore = approach(beforeA, beforeB), vnAfter = approach(motion(a), motion(b));
        approaching += vnBefore <= 0.0f;  // then no approach is left, else nothing changes
        EXPECT_NEAR(vnAfter, vnBefore <= 0.0f ? 0.0f : vnBefore, vnBefore <= 0.0f ? 1e-5f : 0.0f);
        const double massA = 1.0 / a.inverseMass, massB = 1.0 / b.inverseMass;
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(massA * motion(a)[k] + massB * motion(b)[k],
                        massA * beforeA[k] + massB * beforeB[k], 1e-5 * (1 + massA + massB));
        }
    }
    EXPECT_GT(approaching, 500);
}

// Vertices at distance 1 from the centre: a diamond at x has the interval [x - 1, x + 1].
const std::vector<Vec2> diamond = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};

// Bodies added to a world in the given order, each placed at x, y with an inverse mass.
struct Scene {
    std::deque<Shape> shapes;
    std::deque<Body> bodies;
    World world;

    explicit Scene(const std::vector<Floats>& places, const std::vector<Vec2>& shape = diamond) {
        for (const Floats& p : places) {
            Body& body = bodies.emplace_back(shapes.emplace_back(shape));
            body.setPose(p[0], p[1], 0.0f);
            body.inverseMass = p[2];
            world.add(body);
        }
    }
    int32_t step() { return world.step(), world.lastPassCount; }
    std::vector<bool> moved() const {  // cleared by the circle pre-test of collide
        std::vector<bool> flags;
        for (const Body& body : bodies) {
            flags.push_back(body.moved);
        }
        return flags;
    }
};

TEST(World, ListOrderAndThePairsAPassTests) {
    // Under two bodies or after clear a step does nothing: integration would mark them moved.
    Scene empty({}), lone({{0, 0, 1}}), cleared({{0, 0, 1}, {0.5f, 0, 1}});
    cleared.world.clear();
    for (Scene* scene : {&empty, &lone, &cleared}) {
        EXPECT_EQ(scene->step(), 0);
        EXPECT_EQ(scene->moved(), std::vector<bool>(scene->bodies.size(), false));
    }
    Scene scene({{0, 0, 1}, {10, 0, 1}, {20, 0, 1}, {30, 0, 1}});
    const auto order = [&] {
        std::vector<const Body*> bodies;
        for (const WorldNode* node = scene.world.head; node != nullptr; node = node->next) {
            bodies.push_back(node->body);
        }
        return bodies;
    };
    const auto& b = scene.bodies;
    EXPECT_EQ(order(), (std::vector<const Body*>{&b[3], &b[2], &b[1], &b[0]})) << "before a step";
    scene.step();
    EXPECT_EQ(order(), (std::vector<const Body*>{&b[0], &b[1], &b[2], &b[3]})) << "sorted";
    // Integration runs in list order: bodies sharing one polygon see each other's moves.
    Shape shared(diamond);
    Body first(shared), second(shared);
    setMotion(first, 10, 0, 0);
    setMotion(second, 1, 0, 0);
    World world;
    world.add(first);
    world.add(second);
    world.step();
    EXPECT_EQ((Floats{world.head->minX, world.head->next->minX}), (Floats{0, 10}));
    Scene touching({{0, 0, 1}, {2, 0, 1}});  // [-1, 1] and [1, 3]
    EXPECT_EQ(touching.step(), 1);
    EXPECT_EQ(touching.moved(), (std::vector{true, true})) << "a touching pair was tested";
    // [-1, 1], [0.5, 2.5], [2, 4], [9, 11]: neighbours' circles overlap, the diamonds do not.
    Scene chain({{0, 0, 1}, {1.5f, 0.6f, 1}, {3, 0, 1}, {10, 0, 1}});
    EXPECT_EQ(chain.step(), 1);
    EXPECT_EQ(chain.moved(), (std::vector{false, false, false, true}));
}

TEST(World, StepEndsAfterTheFirstQuietPassOrAtThePassCap) {
    Scene scene({{1.9f, 0, 1}, {0, 0, 1}});
    scene.bodies[0].velocity = scene.bodies[1].velocity = Vec2{0.0f, 0.5f};  // no impulse
    // Pass 1 corrects the overlap; pass 2 tests the corrected pair again and is quiet.
    EXPECT_EQ(scene.step(), 2);
    EXPECT_EQ(motion(scene.bodies[0]), (Floats{0, 0.99f * 0.5f, 0})) << "integrated once";
    EXPECT_EQ(scene.moved(), (std::vector{false, false}));
    // A square in a gap of 0.9 between immovable squares: each correction undoes the other.
    Scene squeeze({{-0.95f, 0, 0}, {0.95f, 0, 0}, {0, 0, 1}}, square);
    EXPECT_EQ(squeeze.step(), World::maxPasses);
    // A body gone non-finite hangs neither sort nor sweep and keeps no other pair from resolving.
    for (const Vec2& velocity : {Vec2{NAN, 0.0f}, Vec2{0.0f, NAN}, Vec2{INFINITY, 0.0f}}) {
        Scene broken({{0, 0, 1}, {1.5f, 0, 1}, {20, 0, 1}, {21.5f, 0, 1}});
        broken.bodies[0].velocity = velocity;
        EXPECT_EQ(broken.step(), 2);
        const Pose &a = *broken.bodies[2].pose, &b = *broken.bodies[3].pose;
        EXPECT_GT(std::fabs(b.x - a.x) + std::fabs(b.y - a.y), 1.99f) << "diamonds overlap";
    }
}

TEST(WorldSort, UnstableInsertionSortByMinXWithNaNLast) {
    // The keys, then the order they end in as indices.
    const Floats cases[] = {{5, 3, 3, 2, 1, 0},
                            {3, 1, 2, 1, 0, 4, 3, 1, 2, 0},
                            {0, 1, 1, 2, 0, 1, 2, 3},
                            {NAN, 1, NAN, 0, 3, 1, 0, 2},
                            {INFINITY, NAN, -INFINITY, 2, 2, 3, 0, 1},
                            {NAN, NAN, NAN, 0, 1, 2}};
    for (const Floats& c : cases) {
        const Floats keys(c.begin(), c.begin() + c.size() / 2),
            expected(c.begin() + c.size() / 2, c.end());
        std::vector<WorldNode> nodes(keys.size());
        World world;
        for (size_t i = nodes.size(); i-- > 0;) {
            nodes[i] = WorldNode{nullptr, world.head, keys[i], keys[i]};
            world.head = &nodes[i];
        }
        world.sortByMinX();
        Floats order;
        for (WorldNode* n = world.head; n != nullptr && order.size() <= keys.size(); n = n->next) {
            order.push_back(float(n - nodes.data()));
        }
        EXPECT_EQ(order, expected) << testing::PrintToString(keys);
        world.head = nullptr;  // the nodes belong to the vector
    }
}

// After the first step (which computes the circles) steps allocate nothing; two runs stepped in
// turn stay bit-identical; the hash after 300 steps of "topdown-squares v1" at N = 100 is fixed.
TEST(WorldProperty, StepsAllocateNothingAndRepeatBitForBit) {
    TopdownSquares golden(100), first(1000), second(1000);
    // The first squares' start: six SplitMix64 draws each, computed in double, rounded once.
    const Floats expected[] = {{-9.23724842f, -8.93295574f, 0.013049338f},
                               {0.00520864595f, -0.00960050803f, -0.00760767609f},
                               {-7.11793041f, -9.1053524f, 1.30810893f},
                               {-0.000516623608f, 0.0405085981f, -0.00687081274f}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(pose(*golden.square(i).pose), expected[2 * i]) << "square " << i;
        EXPECT_EQ(motion(golden.square(i)), expected[2 * i + 1]) << "square " << i;
    }
    for (TopdownSquares* scene : {&golden, &first, &second}) {
        scene->world().step();
    }
    AllocationScope scope;
    for (int i = 1; i < 1000; ++i) {
        golden.world().step();
        if (i < 200) {
            first.world().step();
            second.world().step();
        } else if (i == 299) {
            EXPECT_EQ(golden.poseHash(), 0x14c6c4ccu) << std::hex << "got 0x" << golden.poseHash();
        }
    }
    EXPECT_EQ(scope.count(), 0u) << "malloc counted: " << allocation_counter::countsMalloc();
    EXPECT_EQ(first.poseHash(), second.poseHash()) << "hash over the bytes of every pose";
}

}  // namespace
