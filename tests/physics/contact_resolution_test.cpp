#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "physics/body.h"
#include "physics/polygon.h"

namespace {

void makeSquare(Polygon& polygon) {
    polygon.clear();
    polygon.addVertex(0.5f, -0.5f);
    polygon.addVertex(-0.5f, -0.5f);
    polygon.addVertex(-0.5f, 0.5f);
    polygon.addVertex(0.5f, 0.5f);
}

// Two unit squares as bodies, integrated once (at rest) so that their circles are set.
struct SquarePair {
    Polygon shapeA;
    Polygon shapeB;
    Body a{shapeA};
    Body b{shapeB};

    SquarePair(float bx, float by, float inverseMassA, float inverseMassB) {
        makeSquare(shapeA);
        makeSquare(shapeB);
        b.setPose(bx, by, 0.0f);
        a.inverseMass = inverseMassA;
        b.inverseMass = inverseMassB;
        a.integrate();
        b.integrate();
    }
};

// Two bodies without shapes, for resolveContact alone.
struct BarePair {
    Polygon shapeA;
    Polygon shapeB;
    Body a{shapeA};
    Body b{shapeB};
};

float normalVelocityAt(Body& a, Body& b, const Vec2& point, const Vec2& normal) {
    Vec2 va;
    Vec2 vb;
    a.pointVelocity(point, va);
    b.pointVelocity(point, vb);
    return (vb.x - va.x) * normal.x + (vb.y - va.y) * normal.y;
}

TEST(Collide, CirclesApartReturnFalseAndKeepMovedFlags) {
    SquarePair pair(3.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_FALSE(pair.a.collide(pair.b));
    EXPECT_TRUE(pair.a.moved) << "rejected by the circle test, the flags must stay";
    EXPECT_TRUE(pair.b.moved);
}

TEST(Collide, CirclesExactlyTouchingReachTheContactQuery) {
    SquarePair pair(0.0f, 0.0f, 1.0f, 1.0f);
    const float touching = pair.a.circle->radius + pair.b.circle->radius;
    pair.b.setPose(touching, 0.0f, 0.0f);
    pair.b.integrate();
    ASSERT_EQ(pair.b.circle->centreX - pair.a.circle->centreX, touching);

    EXPECT_FALSE(pair.a.collide(pair.b)) << "the squares do not overlap";
    EXPECT_FALSE(pair.a.moved) << "touching circles must pass the pre-test and refresh rotation";
    EXPECT_FALSE(pair.b.moved);

    SquarePair apart(std::nextafter(touching, 10.0f), 0.0f, 1.0f, 1.0f);
    EXPECT_FALSE(apart.a.collide(apart.b));
    EXPECT_TRUE(apart.a.moved) << "circles a hair apart must be rejected before the query";
}

TEST(Collide, NonFiniteCircleIsRejectedBeforeTheQuery) {
    for (const float y :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        SquarePair pair(0.5f, y, 1.0f, 1.0f);
        EXPECT_FALSE(pair.a.collide(pair.b)) << "B at y = " << y;
        EXPECT_TRUE(pair.a.moved) << "B at y = " << y << " must not reach the contact query";
        EXPECT_EQ(pair.shapeA.x, 0.0f);
    }
}

TEST(Collide, ImmovableAStaysAndBTakesTheWholeSeparation) {
    // The query gives separation (0.1, 0), point (0.4, 0.5), normal (1, 0) here.
    SquarePair pair(0.9f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(pair.a.collide(pair.b));
    EXPECT_EQ(pair.shapeA.x, 0.0f);
    EXPECT_EQ(pair.shapeA.y, 0.0f);
    EXPECT_NEAR(pair.shapeB.x, 1.0f, 1e-6f);
    EXPECT_EQ(pair.shapeB.y, 0.0f);
    EXPECT_TRUE(pair.a.moved);
    EXPECT_TRUE(pair.b.moved);
}

TEST(Collide, NoContactClearsMovedFlags) {
    SquarePair pair(1.2f, 0.0f, 1.0f, 1.0f);
    EXPECT_FALSE(pair.a.collide(pair.b));
    EXPECT_FALSE(pair.a.moved);
    EXPECT_FALSE(pair.b.moved);
    EXPECT_EQ(pair.shapeB.x, 1.2f);
}

TEST(Collide, TwoImmovableBodiesAreNotCorrectedButReportFalse) {
    SquarePair pair(0.9f, 0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(pair.a.collide(pair.b));
    EXPECT_EQ(pair.shapeB.x, 0.9f);
    EXPECT_FALSE(pair.a.moved);
    EXPECT_FALSE(pair.b.moved);
}

TEST(Collide, SeparatingBodiesAreCorrectedButKeepTheirVelocities) {
    SquarePair pair(0.9f, 0.0f, 1.0f, 1.0f);
    pair.b.velocity = Vec2{0.3f, 0.1f};
    pair.a.velocity = Vec2{-0.2f, 0.0f};
    EXPECT_TRUE(pair.a.collide(pair.b));
    EXPECT_NEAR(pair.shapeA.x, -0.05f, 1e-6f);
    EXPECT_NEAR(pair.shapeB.x, 0.95f, 1e-6f);
    EXPECT_EQ(pair.b.velocity.x, 0.3f);
    EXPECT_EQ(pair.b.velocity.y, 0.1f);
    EXPECT_EQ(pair.a.velocity.x, -0.2f);
}

TEST(ResolveContact, PositionalCorrectionIsSplitByInverseMass) {
    struct Case {
        float inverseMassA, inverseMassB;
        Vec2 separation;
        Vec2 expectedA, expectedB;
        bool moved;
    };
    const Case cases[] = {
        {0.0f, 1.0f, {0.5f, 0.0f}, {0.0f, 0.0f}, {3.5f, 0.0f}, true},
        {1.0f, 1.0f, {0.2f, 0.0f}, {-0.1f, 0.0f}, {3.1f, 0.0f}, true},
        {1.0f, 3.0f, {0.0f, 0.4f}, {0.0f, -0.1f}, {3.0f, 0.3f}, true},
        {0.0f, 0.0f, {0.5f, 0.0f}, {0.0f, 0.0f}, {3.0f, 0.0f}, false},
        {std::numeric_limits<float>::quiet_NaN(),
         1.0f,
         {0.5f, 0.0f},
         {0.0f, 0.0f},
         {3.0f, 0.0f},
         false},
    };
    for (const Case& c : cases) {
        BarePair pair;
        pair.b.setPose(3.0f, 0.0f, 0.0f);
        pair.a.inverseMass = c.inverseMassA;
        pair.b.inverseMass = c.inverseMassB;
        pair.a.resolveContact(c.separation, Vec2{1.5f, 0.0f}, Vec2{1.0f, 0.0f}, pair.b);
        SCOPED_TRACE(testing::Message()
                     << "inverse masses " << c.inverseMassA << ", " << c.inverseMassB);
        EXPECT_NEAR(pair.shapeA.x, c.expectedA.x, 1e-6f);
        EXPECT_NEAR(pair.shapeA.y, c.expectedA.y, 1e-6f);
        EXPECT_NEAR(pair.shapeB.x, c.expectedB.x, 1e-6f);
        EXPECT_NEAR(pair.shapeB.y, c.expectedB.y, 1e-6f);
        EXPECT_EQ(pair.a.moved, c.moved);
        EXPECT_EQ(pair.b.moved, c.moved);
        EXPECT_EQ(pair.shapeA.angle, 0.0f) << "a correction must not turn a body";
    }
}

TEST(ResolveContact, TurningBarsStopEachOther) {
    BarePair bars;
    bars.b.setPose(3.0f, 0.0f, 0.0f);
    bars.a.inverseInertia = 0.01f;
    bars.b.inverseInertia = 0.01f;
    bars.a.angularVelocity = -0.1f;
    bars.b.angularVelocity = 0.1f;
    // vn = -0.2, cA = cB = -1, j = 10.
    bars.a.resolveContact(Vec2{0.3f, 0.0f}, Vec2{1.5f, 1.0f}, Vec2{1.0f, 0.0f}, bars.b);
    EXPECT_NEAR(bars.a.angularVelocity, 0.0f, 1e-7f);
    EXPECT_NEAR(bars.b.angularVelocity, 0.0f, 1e-7f);
    EXPECT_EQ(bars.a.velocity.x, 0.0f) << "an immovable body must not gain linear velocity";
    EXPECT_EQ(bars.b.velocity.x, 0.0f);
    EXPECT_EQ(bars.shapeB.x, 3.0f);
    EXPECT_FALSE(bars.a.moved);
}

TEST(ResolveContact, CentralImpactSharesTheVelocity) {
    BarePair pair;
    pair.b.setPose(1.0f, 0.0f, 0.0f);
    pair.a.inverseMass = pair.b.inverseMass = 1.0f;
    pair.a.inverseInertia = pair.b.inverseInertia = 1.0f;
    pair.b.velocity = Vec2{-2.0f, 0.0f};
    // The point lies on the line of centres, so both lever arms are parallel to the normal.
    pair.a.resolveContact(Vec2{0.2f, 0.0f}, Vec2{0.5f, 0.0f}, Vec2{1.0f, 0.0f}, pair.b);
    EXPECT_EQ(pair.a.velocity.x, -1.0f);
    EXPECT_EQ(pair.b.velocity.x, -1.0f);
    EXPECT_EQ(pair.a.angularVelocity, 0.0f);
    EXPECT_EQ(pair.b.angularVelocity, 0.0f);
}

TEST(ResolveContact, OffCentreContactPushesAndTurns) {
    BarePair pair;
    pair.a.inverseMass = 1.0f;
    pair.a.inverseInertia = 1.0f;
    pair.a.velocity = Vec2{1.0f, 0.0f};
    pair.b.setPose(2.0f, 1.0f, 0.0f);
    pair.a.resolveContact(Vec2{0.1f, 0.0f}, Vec2{1.0f, 1.0f}, Vec2{1.0f, 0.0f}, pair.b);
    EXPECT_EQ(pair.shapeA.x, -0.1f);
    EXPECT_EQ(pair.shapeA.y, 0.0f);
    EXPECT_NEAR(pair.a.velocity.x, 0.5f, 1e-6f);
    EXPECT_EQ(pair.a.velocity.y, 0.0f);
    EXPECT_NEAR(pair.a.angularVelocity, 0.5f, 1e-6f);
    EXPECT_EQ(pair.shapeB.x, 2.0f);
    EXPECT_EQ(pair.shapeB.y, 1.0f);
    EXPECT_EQ(pair.b.velocity.x, 0.0f);
    EXPECT_TRUE(pair.a.moved);
    EXPECT_TRUE(pair.b.moved);
}

TEST(ResolveContact, ZeroDenominatorLeavesVelocitiesUnchanged) {
    struct Case {
        const char* what;
        float inverseInertia;
        Vec2 point;
    };
    // Both immovable; either nothing can turn, or both lever arms lie along the normal.
    const Case cases[] = {
        {"no inertia", 0.0f, {1.5f, 1.0f}},
        {"lever arms along the normal", 0.01f, {1.5f, 0.0f}},
    };
    for (const Case& c : cases) {
        BarePair pair;
        pair.b.setPose(3.0f, 0.0f, 0.0f);
        pair.a.inverseInertia = pair.b.inverseInertia = c.inverseInertia;
        pair.a.velocity = Vec2{1.0f, 0.0f};
        pair.b.velocity = Vec2{-1.0f, 0.0f};
        pair.a.angularVelocity = 0.25f;
        pair.a.resolveContact(Vec2{0.2f, 0.0f}, c.point, Vec2{1.0f, 0.0f}, pair.b);
        EXPECT_EQ(pair.a.velocity.x, 1.0f) << c.what;
        EXPECT_EQ(pair.b.velocity.x, -1.0f) << c.what;
        EXPECT_EQ(pair.a.angularVelocity, 0.25f) << c.what;
        EXPECT_EQ(pair.b.angularVelocity, 0.0f) << c.what;
    }
}

// Seeded random pairs of free bodies and contacts: afterwards the bodies no longer approach at
// the contact point, and linear momentum (masses 1 / inverseMass) is conserved.
TEST(ResolveContactProperty, StopsApproachAndConservesMomentum) {
    std::mt19937 random(12345);
    const auto uniform = [&](float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>(random() >> 8) * 0x1.0p-24f;
    };
    int approaching = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        BarePair pair;
        Body* bodies[] = {&pair.a, &pair.b};
        for (Body* body : bodies) {
            body->setPose(uniform(-5, 5), uniform(-5, 5), uniform(-3, 3));
            body->velocity = Vec2{uniform(-1, 1), uniform(-1, 1)};
            body->angularVelocity = uniform(-0.5f, 0.5f);
            body->inverseMass = uniform(0.1f, 5);
            body->inverseInertia = uniform(0.1f, 10);
        }
        const float heading = uniform(0, 2 * std::numbers::pi_v<float>);
        const Vec2 normal{std::cos(heading), std::sin(heading)};
        const float depth = uniform(0.01f, 0.5f);
        const Vec2 separation{normal.x * depth, normal.y * depth};
        const Vec2 point{uniform(-5, 5), uniform(-5, 5)};

        const Vec2 velocityA = pair.a.velocity;
        const Vec2 velocityB = pair.b.velocity;
        const float spinA = pair.a.angularVelocity;
        const float spinB = pair.b.angularVelocity;
        const double massA = 1.0 / pair.a.inverseMass;
        const double massB = 1.0 / pair.b.inverseMass;
        const double momentumX = massA * velocityA.x + massB * velocityB.x;
        const double momentumY = massA * velocityA.y + massB * velocityB.y;
        const Pose poseA = *pair.a.pose;
        const Pose poseB = *pair.b.pose;

        pair.a.resolveContact(separation, point, normal, pair.b);

        SCOPED_TRACE(testing::Message() << "trial " << trial);
        // The correction moves B by the whole separation relative to A.
        const float relativeX = (pair.b.pose->x - poseB.x) - (pair.a.pose->x - poseA.x);
        const float relativeY = (pair.b.pose->y - poseB.y) - (pair.a.pose->y - poseA.y);
        EXPECT_NEAR(relativeX, separation.x, 1e-5f);
        EXPECT_NEAR(relativeY, separation.y, 1e-5f);

        // Whether they approached is judged at the corrected poses, as the resolution does.
        BarePair before;
        before.a.setPose(pair.a.pose->x, pair.a.pose->y, 0.0f);
        before.b.setPose(pair.b.pose->x, pair.b.pose->y, 0.0f);
        before.a.velocity = velocityA;
        before.b.velocity = velocityB;
        before.a.angularVelocity = spinA;
        before.b.angularVelocity = spinB;
        const float vnBefore = normalVelocityAt(before.a, before.b, point, normal);
        const float vnAfter = normalVelocityAt(pair.a, pair.b, point, normal);
        if (vnBefore <= 0.0f) {
            ++approaching;
            EXPECT_NEAR(vnAfter, 0.0f, 1e-5f) << "still approaching at the contact point";
        } else {
            EXPECT_EQ(vnAfter, vnBefore) << "separating bodies must keep their velocities";
            EXPECT_EQ(pair.a.velocity.x, velocityA.x);
            EXPECT_EQ(pair.b.angularVelocity, spinB);
        }
        const double afterX = massA * pair.a.velocity.x + massB * pair.b.velocity.x;
        const double afterY = massA * pair.a.velocity.y + massB * pair.b.velocity.y;
        const double scale = 1.0 + std::abs(massA) + std::abs(massB);
        EXPECT_NEAR(afterX, momentumX, 1e-5 * scale) << "linear momentum changed in x";
        EXPECT_NEAR(afterY, momentumY, 1e-5 * scale) << "linear momentum changed in y";
    }
    EXPECT_GT(approaching, 500) << "too few approaching pairs to test the impulse";
}

}  // namespace
