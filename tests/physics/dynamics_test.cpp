// Bodies: motion, forces, and contact resolution.
#include <tuple>

#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

TEST(Body, PoseMotionForcesAndTheSharedPoseRecord) {
    Shape polygon(square, {3, 4, 1}), second(square);
    Body body(polygon), other(second);
    body.velocity = {1.0f, -2.0f};
    body.angularVelocity = 0.5f;
    body.integrate();  // from the reset pose, by the undamped velocity; then damps
    EXPECT_EQ((Floats{polygon.x, polygon.y, polygon.angle, body.velocity.x, body.velocity.y,
                      body.angularVelocity}),
              (Floats{1, -2, 0.5f, 0.99f, 0.99f * -2, 0.995f * 0.5f}));
    EXPECT_TRUE(body.moved && body.circle == &polygon.worldCircle && body.circle->centreX == 1);
    body.moved = false;
    body.setPose(2.0f, 3.0f, 0.5f);
    EXPECT_TRUE(!body.moved && body.circle->centreX == 1) << "setPose sets only the pose";
    body.applyLocalForce(1.0f, 2.0f, 0.25f);  // (1, 2) turned by 0.5 rad, whatever the mass
    Vec2 out;
    body.pointVelocity(Vec2{3.0f, 5.0f}, out);  // (1, 2) from the pose point
    const float vx = 0.99f - 0.0812685f, vy = -1.98f + 2.2345906f, w = 0.7475f;
    expectNear({body.velocity.x, body.velocity.y, body.angularVelocity, out.x, out.y},
               {vx, vy, w, vx - 2 * w, vy + w}, 1e-6f);
    const Pose& shared = other.getPose();  // one record for every body, filled by each call
    EXPECT_EQ(&body.getPose(), &shared);
    EXPECT_EQ((Floats{shared.x, shared.y, shared.angle}), (Floats{2, 3, 0.5f}));
}

// Spun at 3 rad a tick for 100000 ticks (28 hours of the arena's fastest bar), a body's angle stays
// under 2^16 rad, where floats keep a tick's turn to within 2^-9 rad: past 2^15 rad (by up to 3
// rad, so either side of a half turn), whole turns are taken off to leave the nearest angle to 0.
TEST(Body, AngleStaysWhereATickTurnIsKept) {
    Shape polygon(square);
    Body body(polygon);
    body.angularVelocity = 3.0f;
    body.angularDamping = 1.0f;
    double peak = 0.0, wrapped = NAN;  // wrapped: the worst error off the plain sum
    for (int tick = 0; tick < 100000; ++tick) {
        const float sum = polygon.angle + 3.0f;
        body.integrate();
        peak = std::max(peak, std::fabs(double(polygon.angle)));
        if (polygon.angle != sum) {
            const double exact = std::remainder(double(sum), 2 * std::numbers::pi);
            wrapped = std::fmax(wrapped, std::fabs(polygon.angle - exact));
        }
    }
    EXPECT_TRUE(peak > 32765 && peak <= 32768) << peak;  // within a tick of 2^15
    EXPECT_LT(wrapped, 1e-6) << "no wrap, or one off by a turn or by rounding";
    polygon.angle = INFINITY;
    body.integrate();
    EXPECT_EQ(polygon.angle, INFINITY) << "no turns to take off an infinite angle";
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
        {{1, 0, 1, 1, 1, 1, 0, 0, 0, -2, 0.5f, 0, 0.2f, 0, 0.5f, 0},
         {-0.1f, 0, 1.1f, 0, -1, 0, 0, -1, 0.5f, 0, 0, 1}},  // central impact: j = s / 2
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
        std::tie(a.velocity.x, a.velocity.y, a.angularVelocity) = std::tie(c[6], c[7], c[8]);
        std::tie(b.velocity.x, b.velocity.y, b.angularVelocity) = std::tie(c[9], c[10], c[11]);
        a.resolveContact(Vec2{c[12], c[13]}, Vec2{c[14], c[15]}, Vec2{1.0f, 0.0f}, b);
        expectNear({shapeA.x, shapeA.y, shapeB.x, shapeB.y, a.velocity.x, a.velocity.y,
                    a.angularVelocity, b.velocity.x, b.velocity.y, b.angularVelocity},
                   Floats(&out[0], &out[10]), out[10] + 1e-6f);
        EXPECT_EQ((std::vector{a.moved, b.moved}), std::vector(2, out[11] != 0));
    }
}

}  // namespace
