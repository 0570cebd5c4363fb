#include "physics/body.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

constexpr float halfPi = std::numbers::pi_v<float> / 2.0f;

void makeSquare(Polygon& polygon) {
    polygon.clear();
    polygon.addVertex(0.5f, -0.5f);
    polygon.addVertex(-0.5f, -0.5f);
    polygon.addVertex(-0.5f, 0.5f);
    polygon.addVertex(0.5f, 0.5f);
}

TEST(Body, ConstructionResetsPolygonPoseAndStartsAtRest) {
    Polygon polygon;
    polygon.x = 3.0f;
    polygon.y = 4.0f;
    polygon.angle = 1.0f;
    const Body body(polygon);

    EXPECT_EQ(polygon.x, 0.0f);
    EXPECT_EQ(polygon.y, 0.0f);
    EXPECT_EQ(polygon.angle, 0.0f);
    EXPECT_EQ(body.polygon, &polygon);
    EXPECT_EQ(static_cast<void*>(body.pose), static_cast<void*>(&polygon))
        << "the pose must be the polygon's first three fields";
    EXPECT_FALSE(body.reservedFlag);
    EXPECT_FALSE(body.moved);
    EXPECT_EQ(body.velocity.x, 0.0f);
    EXPECT_EQ(body.velocity.y, 0.0f);
    EXPECT_EQ(body.angularVelocity, 0.0f);
    EXPECT_EQ(body.linearDamping, 0.99f);
    EXPECT_EQ(body.angularDamping, 0.995f);
}

TEST(Body, IntegrateMovesByUndampedVelocityThenDamps) {
    Polygon polygon;
    makeSquare(polygon);
    Body body(polygon);
    body.velocity = Vec2{1.0f, 0.0f};
    body.angularVelocity = 0.5f;

    body.integrate();

    EXPECT_EQ(polygon.x, 1.0f);
    EXPECT_EQ(polygon.y, 0.0f);
    EXPECT_EQ(polygon.angle, 0.5f);
    EXPECT_EQ(body.velocity.x, 0.99f);
    EXPECT_EQ(body.velocity.y, 0.0f);
    EXPECT_EQ(body.angularVelocity, 0.995f * 0.5f);
    EXPECT_TRUE(body.moved);
    ASSERT_EQ(body.circle, &polygon.worldCircle) << "circle must refer to the polygon's circle";
    EXPECT_NEAR(body.circle->centreX, 1.0f, 1e-6f) << "world circle not moved to the new pose";
    EXPECT_NEAR(body.circle->centreY, 0.0f, 1e-6f);

    body.integrate();
    EXPECT_EQ(polygon.x, 1.0f + 0.99f) << "second tick must move by the once-damped velocity";
    EXPECT_EQ(body.velocity.x, 0.99f * 0.99f);
}

TEST(Body, ApplyLocalForceTurnsForceIntoWorldFrame) {
    struct Case {
        float angle;
        float fx, fy, torque;
        float dvx, dvy, dw;
    };
    const Case cases[] = {
        {halfPi, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
        {halfPi, 0.0f, 1.0f, 0.0f, -1.0f, 0.0f, 0.0f},
        {halfPi, 0.0f, 0.0f, 0.25f, 0.0f, 0.0f, 0.25f},
        {0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f},
        {std::numbers::pi_v<float>, 0.0f, 2.0f, -0.5f, 0.0f, -2.0f, -0.5f},
    };
    for (const Case& c : cases) {
        for (const float inverseMass : {1.0f, 0.0f}) {
            Polygon polygon;
            Body body(polygon);
            body.inverseMass = inverseMass;
            body.setPose(0.0f, 0.0f, c.angle);
            body.velocity = Vec2{0.5f, -0.25f};
            body.angularVelocity = 0.125f;
            body.applyLocalForce(c.fx, c.fy, c.torque);
            SCOPED_TRACE(testing::Message()
                         << "angle " << c.angle << " force (" << c.fx << ", " << c.fy << ", "
                         << c.torque << ") inverse mass " << inverseMass);
            EXPECT_NEAR(body.velocity.x, 0.5f + c.dvx, 1e-6f);
            EXPECT_NEAR(body.velocity.y, -0.25f + c.dvy, 1e-6f);
            EXPECT_EQ(body.angularVelocity, 0.125f + c.dw);
            EXPECT_EQ(polygon.x, 0.0f) << "a force must not move the body";
        }
    }
}

TEST(Body, ApplyLocalForceAtAngleZeroAddsExactly) {
    Polygon polygon;
    Body body(polygon);
    body.applyLocalForce(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(body.velocity.x, 1.0f);
    EXPECT_EQ(body.velocity.y, 0.0f);
}

TEST(Body, PointVelocityIsLinearPlusSpinCrossOffset) {
    Polygon polygon;
    Body body(polygon);
    body.setPose(2.0f, 3.0f, 0.0f);
    body.angularVelocity = 1.0f;
    struct Case {
        Vec2 point;
        Vec2 expected;
    };
    const Case cases[] = {
        {{3.0f, 3.0f}, {0.0f, 1.0f}},
        {{2.0f, 4.0f}, {-1.0f, 0.0f}},
        {{2.0f, 3.0f}, {0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        Vec2 out{99.0f, 99.0f};
        body.pointVelocity(c.point, out);
        EXPECT_EQ(out.x, c.expected.x) << "at (" << c.point.x << ", " << c.point.y << ")";
        EXPECT_EQ(out.y, c.expected.y) << "at (" << c.point.x << ", " << c.point.y << ")";
    }

    body.velocity = Vec2{0.5f, -1.0f};
    Vec2 out{};
    body.pointVelocity(Vec2{3.0f, 3.0f}, out);
    EXPECT_EQ(out.x, 0.5f);
    EXPECT_EQ(out.y, 0.0f) << "linear velocity must be added to the spin's part";
}

TEST(Body, GetPoseSharesOneRecordAcrossBodies) {
    Polygon first;
    Polygon second;
    Body a(first);
    Body b(second);
    a.setPose(1.0f, 2.0f, 3.0f);
    b.setPose(4.0f, 5.0f, 6.0f);

    const Pose& fromA = a.getPose();
    EXPECT_EQ(fromA.x, 1.0f);
    const Pose& fromB = b.getPose();
    EXPECT_EQ(&fromA, &fromB) << "getPose must hand out one shared record";
    EXPECT_EQ(fromA.x, 4.0f);
    EXPECT_EQ(fromA.y, 5.0f);
    EXPECT_EQ(fromA.angle, 6.0f);
    EXPECT_NE(static_cast<const void*>(&fromA), static_cast<const void*>(&second))
        << "the record must be a copy, not the polygon itself";
}

TEST(Body, SetPoseLeavesMovedFlagAndCircleAlone) {
    Polygon polygon;
    makeSquare(polygon);
    Body body(polygon);
    body.integrate();
    body.moved = false;
    const BoundingCircle* circle = body.circle;
    const float oldCentreX = circle->centreX;

    body.setPose(5.0f, 6.0f, 0.0f);

    EXPECT_FALSE(body.moved);
    EXPECT_EQ(body.circle, circle);
    EXPECT_EQ(body.circle->centreX, oldCentreX) << "setPose must not refresh the world circle";
}

}  // namespace
