// Bodies, collision and resolution, and world stepping.
#include <deque>
#include <tuple>

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

// Spun at 1 rad a tick for 300000 ticks (28 hours of the arena's fastest bar), a body keeps each
// tick's turn to within 2^-9 rad: its angle is kept within 2^15 rad by whole turns.
TEST(Body, AngleStaysWhereATickTurnIsKept) {
    Shape polygon(square);
    Body body(polygon);
    setMotion(body, 0.0f, 0.0f, 1.0f);
    body.angularDamping = 1.0f;
    double worst = 0.0;
    for (int tick = 0; tick < 300000; ++tick) {
        const double before = polygon.angle;
        body.integrate();
        const double turn = std::remainder(polygon.angle - before, 2 * std::numbers::pi);
        worst = std::max(worst, std::fabs(turn - 1.0));
        ASSERT_LE(std::fabs(polygon.angle), 32768.0f) << "tick " << tick;
    }
    EXPECT_LE(worst, 0x1p-9) << "largest error of one tick's turn";
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

}  // namespace
