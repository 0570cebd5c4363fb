#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "physics/polygon.h"
#include "tests/physics/test_polygons.h"
#include "tests/support/allocation_counter.h"

using test_polygons::fill;

namespace {

struct Case {
    const char* name;
    std::vector<Vec2> vertices;
    Vec2 centre;
    float radius;
};

}  // namespace

TEST(BoundingCircle, GameShapesGiveTheirMinimalCircles) {
    const Case cases[] = {
        {"car", {{1, 2}, {1.4f, -2}, {-1.4f, -2}, {-1, 2}}, {0.0f, -0.12f}, 2.3440137f},
        {"long bar",
         {{10, -0.5f}, {-10, -0.5f}, {-10, 0.5f}, {0, 4.5f}, {10, 0.5f}},
         {0.0f, 0.0f},
         10.012492f},
        {"short bar", {{10, -0.5f}, {0, -0.5f}, {0, 0.5f}, {10, 0.5f}}, {5.0f, 0.0f}, 5.0249376f},
        {"square",
         {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}},
         {0, 0},
         0.70710677f},
        {"two vertices", {{0, 0}, {4, 0}}, {2.0f, 0.0f}, 2.0f},
        {"three collinear vertices", {{0, 0}, {1, 0}, {2, 0}}, {1.0f, 0.0f}, 1.0f},
        {"one vertex", {{3, -7}}, {3.0f, -7.0f}, 0.0f},
    };
    for (const Case& c : cases) {
        Polygon polygon;
        fill(polygon, c.vertices.data(), c.vertices.size());
        const BoundingCircle* circle = polygon.boundingCircle();
        ASSERT_EQ(circle, &polygon.worldCircle) << c.name;
        EXPECT_EQ(polygon.localCentre.x, c.centre.x) << c.name;
        EXPECT_EQ(polygon.localCentre.y, c.centre.y) << c.name;
        EXPECT_EQ(circle->radius, c.radius) << c.name;
        EXPECT_EQ(circle->centreX, c.centre.x) << c.name << ": pose at the origin";
        EXPECT_EQ(circle->centreY, c.centre.y) << c.name << ": pose at the origin";
    }
}

TEST(BoundingCircle, EmptyPolygonHasNoneAndKeepsItsFields) {
    Polygon polygon;
    polygon.clear();
    polygon.worldCircle = BoundingCircle{1.0f, 2.0f, -1.0f};
    EXPECT_EQ(polygon.boundingCircle(), nullptr);
    EXPECT_EQ(polygon.worldCircle.centreX, 1.0f);
    EXPECT_EQ(polygon.worldCircle.centreY, 2.0f);
    EXPECT_EQ(polygon.worldCircle.radius, -1.0f);
}

TEST(BoundingCircle, WorldCentreFollowsThePoseWithoutRecomputingTheRadius) {
    Polygon car;
    fill(car, test_polygons::car);
    car.x = 3.0f;
    car.y = 4.0f;
    car.angle = std::numbers::pi_v<float> / 2.0f;
    BoundingCircle* circle = car.boundingCircle();
    EXPECT_NEAR(circle->centreX, 3.12f, 1e-6f);
    EXPECT_NEAR(circle->centreY, 4.0f, 1e-6f);
    EXPECT_EQ(circle->radius, 2.3440137f);

    car.x = 5.0f;
    AllocationScope scope;  // a recomputation would allocate candidate records
    EXPECT_EQ(car.boundingCircle(), circle);
    EXPECT_EQ(scope.count(), 0u) << "moving the pose recomputed the local circle";
    EXPECT_NEAR(circle->centreX, 5.12f, 1e-6f);
    EXPECT_NEAR(circle->centreY, 4.0f, 1e-6f);
    EXPECT_EQ(circle->radius, 2.3440137f);
}

TEST(BoundingCircle, CachedRadiusOfZeroIsKept) {
    Polygon square;
    fill(square, test_polygons::square);
    square.boundingCircle();
    square.worldCircle.radius = 0.0f;
    AllocationScope scope;
    EXPECT_EQ(square.boundingCircle()->radius, 0.0f);
    EXPECT_EQ(scope.count(), 0u);
}

TEST(BoundingCircle, AddVertexMakesTheNextCallRecompute) {
    Polygon polygon;
    fill(polygon, {{0, 0}, {4, 0}});
    EXPECT_EQ(polygon.boundingCircle()->radius, 2.0f);
    polygon.addVertex(2.0f, -6.0f);
    const BoundingCircle* circle = polygon.boundingCircle();
    // Circumcircle of (0, 0), (4, 0), (2, -6): centre (2, -8/3), radius 10/3.
    EXPECT_NEAR(polygon.localCentre.x, 2.0f, 1e-6f);
    EXPECT_NEAR(polygon.localCentre.y, -8.0f / 3.0f, 1e-6f);
    EXPECT_NEAR(circle->radius, 10.0f / 3.0f, 1e-6f);
}

namespace {

struct Circle {
    double cx, cy, r;
};

bool holdsAll(const Circle& c, const Vec2* v, int32_t n, double slack) {
    for (int32_t i = 0; i < n; ++i) {
        if (std::hypot(v[i].x - c.cx, v[i].y - c.cy) > c.r + slack) {
            return false;
        }
    }
    return true;
}

// The smallest circle holding every vertex among all pair and triple circles, in double.
double bruteForceRadius(const Vec2* v, int32_t n) {
    double best = INFINITY;
    auto consider = [&](const Circle& c) {
        if (c.r < best && holdsAll(c, v, n, 1e-9 * (1.0 + c.r))) {
            best = c.r;
        }
    };
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = i + 1; j < n; ++j) {
            const double cx = (double(v[i].x) + v[j].x) / 2;
            const double cy = (double(v[i].y) + v[j].y) / 2;
            consider({cx, cy, std::hypot(v[i].x - cx, v[i].y - cy)});
            for (int32_t k = j + 1; k < n; ++k) {
                const double ax = v[i].x, ay = v[i].y, bx = v[j].x, by = v[j].y;
                const double qx = v[k].x, qy = v[k].y;
                const double d = 2 * (ax * (by - qy) + bx * (qy - ay) + qx * (ay - by));
                if (d == 0.0) {
                    continue;
                }
                const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
                const double q2 = qx * qx + qy * qy;
                const double ux = (a2 * (by - qy) + b2 * (qy - ay) + q2 * (ay - by)) / d;
                const double uy = (a2 * (qx - bx) + b2 * (ax - qx) + q2 * (bx - ax)) / d;
                consider({ux, uy, std::hypot(ax - ux, ay - uy)});
            }
        }
    }
    return best;
}

}  // namespace

// Seeded random convex polygons: the circle holds every vertex and is as small as the best pair
// or triple circle. Both bounds allow a few units in the last place of a 32-bit float, the
// rounding of the stored centre and radius.
TEST(BoundingCircleProperty, HoldsEveryVertexAndIsMinimal) {
    test_polygons::Random random(20261206u);
    Polygon polygon;
    for (int32_t trial = 0; trial < 4000; ++trial) {
        test_polygons::fillRandom(polygon, random);
        polygon.x = static_cast<float>(random.uniform(-20.0, 20.0));
        polygon.y = static_cast<float>(random.uniform(-20.0, 20.0));
        polygon.angle = static_cast<float>(random.uniform(-4.0, 4.0));
        const BoundingCircle* circle = polygon.boundingCircle();
        const Vec2* v = polygon.localVertices;
        const int32_t n = polygon.vertexCount;
        const double r = circle->radius;
        const Circle local{polygon.localCentre.x, polygon.localCentre.y, r};
        ASSERT_TRUE(holdsAll(local, v, n, 4e-7 * (1.0 + r)))
            << "trial " << trial << ": a vertex lies outside the circle of radius " << r;
        const double minimal = bruteForceRadius(v, n);
        ASSERT_LE(r, minimal + 4e-7 * (1.0 + minimal))
            << "trial " << trial << ": circle larger than the minimal one";

        double wx, wy;
        const double c = std::cos(double(polygon.angle)), s = std::sin(double(polygon.angle));
        wx = polygon.x + local.cx * c - local.cy * s;
        wy = polygon.y + local.cx * s + local.cy * c;
        ASSERT_NEAR(circle->centreX, wx, 1e-5) << "trial " << trial << ": world centre x";
        ASSERT_NEAR(circle->centreY, wy, 1e-5) << "trial " << trial << ": world centre y";
    }
}

// In these polygons every pair and triple circle, with its squared radius rounded to 32 bits,
// leaves at least one vertex a hair outside; the chosen circle must still hold them all.
TEST(BoundingCircle, RoundingNeverLeavesAVertexOutside) {
    const std::vector<Vec2> polygons[] = {
        {{1.86743379f, 2.27433205f},
         {1.74615002f, -1.6387471f},
         {-1.52810395f, -1.20572472f},
         {1.07025886f, 2.53212142f}},
        {{0.350153118f, 1.02034628f}, {0.0647373274f, -0.213694215f}, {-1.7852453f, 0.279470533f}},
        {{-0.146553338f, -0.145842701f},
         {0.336139232f, 0.219127223f},
         {1.16371763f, -0.557978809f},
         {0.128097996f, -1.06789553f}},
    };
    for (const std::vector<Vec2>& vertices : polygons) {
        Polygon polygon;
        fill(polygon, vertices.data(), vertices.size());
        const float r = polygon.boundingCircle()->radius;
        const float cx = polygon.localCentre.x;
        const float cy = polygon.localCentre.y;
        for (const Vec2& v : vertices) {
            const float dx = v.x - cx;
            const float dy = v.y - cy;
            EXPECT_LE(dx * dx + dy * dy, r * r * (1.0f + 2e-7f))
                << "vertex (" << v.x << ", " << v.y << ") outside the circle of radius " << r;
        }
        const double minimal = bruteForceRadius(vertices.data(), int32_t(vertices.size()));
        EXPECT_NEAR(r, minimal, 4e-7 * minimal) << "circle not minimal";
    }
}
