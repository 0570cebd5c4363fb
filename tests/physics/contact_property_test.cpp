#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "physics/contact.h"
#include "physics/polygon.h"
#include "tests/physics/test_polygons.h"

namespace {

using test_polygons::Random;

struct Point {
    double x, y;
};

std::vector<Point> worldVertices(const Polygon& p) {
    std::vector<Point> w(static_cast<size_t>(p.vertexCount));
    for (int32_t i = 0; i < p.vertexCount; ++i) {
        test_polygons::worldVertex(p, i, w[i].x, w[i].y);
    }
    return w;
}

double dot(const Point& u, const Point& v) {
    return u.x * v.x + u.y * v.y;
}

double maxAlong(const Point& u, const std::vector<Point>& poly) {
    double extent = -INFINITY;
    for (const Point& p : poly) {
        extent = std::max(extent, dot(u, p));
    }
    return extent;
}

double minAlong(const Point& u, const std::vector<Point>& poly) {
    double extent = INFINITY;
    for (const Point& p : poly) {
        extent = std::min(extent, dot(u, p));
    }
    return extent;
}

// How far B must move along unit u to leave A: A's extent along u minus B's.
double penetration(const Point& u, const std::vector<Point>& a, const std::vector<Point>& b) {
    return maxAlong(u, a) - minAlong(u, b);
}

// Separating axes: the outward normals of A and the reversed outward normals of B. The least
// penetration over them is the depth of the overlap (negative when the polygons are apart).
double minimumPenetration(const std::vector<Point>& a, const std::vector<Point>& b) {
    double depth = INFINITY;
    auto edgeNormals = [&](const std::vector<Point>& poly, double sign) {
        for (size_t i = 0; i < poly.size(); ++i) {
            const Point& p = poly[i];
            const Point& q = poly[(i + 1) % poly.size()];
            const double length = std::hypot(q.x - p.x, q.y - p.y);
            const Point u{sign * -(q.y - p.y) / length, sign * (q.x - p.x) / length};
            depth = std::min(depth, penetration(u, a, b));
        }
    };
    edgeNormals(a, 1.0);
    edgeNormals(b, -1.0);
    return depth;
}

// Poses: a third of the polygons turned at random, a third by whole quarter turns (as 32-bit
// floats, so that edges are parallel up to rounding), a third not at all.
float randomAngle(Random& random) {
    const double mode = random.uniform();
    if (mode < 1.0 / 3.0) {
        return static_cast<float>(random.uniform(-4.0, 4.0));
    }
    if (mode < 2.0 / 3.0) {
        return static_cast<float>(random.integer(-2, 2)) * (std::numbers::pi_v<float> / 2.0f);
    }
    return 0.0f;
}

double reach(const Polygon& p) {
    double r = 0.0;
    for (int32_t i = 0; i < p.vertexCount; ++i) {
        r = std::max(r, std::hypot(double(p.localVertices[i].x), double(p.localVertices[i].y)));
    }
    return r;
}

// True when the contact point is a vertex of A that is A's furthest along the normal, or a
// vertex of B that is B's furthest against it: the vertex that penetrates.
bool isPenetratingVertex(const Point& point, const Point& normal, const std::vector<Point>& a,
                         const std::vector<Point>& b, double tolerance) {
    const double along = dot(normal, point);
    for (const Point& v : a) {
        if (std::hypot(v.x - point.x, v.y - point.y) < tolerance &&
            along >= maxAlong(normal, a) - tolerance) {
            return true;
        }
    }
    for (const Point& v : b) {
        if (std::hypot(v.x - point.x, v.y - point.y) < tolerance &&
            along <= minAlong(normal, b) + tolerance) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Seeded random convex pairs against a separating-axis computation in double precision.
// Positions stay within about 10 units, where 32-bit rounding moves a depth by well under 1e-5;
// the tolerance is 2e-5, and pairs whose depth lies within it of the 0.01 dead zone are skipped,
// since there rounding alone decides whether they count as a contact.
TEST(ContactProperty, AgreesWithSeparatingAxes) {
    constexpr double tolerance = 2e-5;
    Random random(4242u);
    Polygon a;
    Polygon b;
    int32_t contacts = 0;
    int32_t misses = 0;
    for (int32_t trial = 0; trial < 6000; ++trial) {
        test_polygons::fillRandom(a, random);
        test_polygons::fillRandom(b, random);
        a.x = static_cast<float>(random.uniform(-3.0, 3.0));
        a.y = static_cast<float>(random.uniform(-3.0, 3.0));
        a.angle = randomAngle(random);
        const double spread = (reach(a) + reach(b)) * 0.8;
        b.x = a.x + static_cast<float>(random.uniform(-spread, spread));
        b.y = a.y + static_cast<float>(random.uniform(-spread, spread));
        b.angle = randomAngle(random);
        a.updateRotation();
        b.updateRotation();

        const Contact* c = a.contact(b);
        const std::vector<Point> wa = worldVertices(a);
        const std::vector<Point> wb = worldVertices(b);
        const double depth = minimumPenetration(wa, wb);
        if (std::fabs(depth - 0.01) < tolerance) {
            continue;
        }
        if (depth < 0.01) {
            ++misses;
            ASSERT_EQ(c, nullptr) << "trial " << trial << ": contact reported at depth " << depth;
            continue;
        }
        ++contacts;
        ASSERT_NE(c, nullptr) << "trial " << trial << ": no contact at depth " << depth;
        const Point normal{c->normal.x, c->normal.y};
        const Point separation{c->separation.x, c->separation.y};
        ASSERT_NEAR(std::hypot(normal.x, normal.y), 1.0, 1e-6) << "trial " << trial;
        ASSERT_NEAR(std::hypot(separation.x, separation.y), depth, tolerance)
            << "trial " << trial << ": separation is not the least penetration";
        ASSERT_NEAR(separation.x, depth * normal.x, tolerance) << "trial " << trial;
        ASSERT_NEAR(separation.y, depth * normal.y, tolerance) << "trial " << trial;
        ASSERT_NEAR(penetration(normal, wa, wb), depth, tolerance)
            << "trial " << trial << ": normal is not an axis of least penetration";
        ASSERT_TRUE(isPenetratingVertex({c->point.x, c->point.y}, normal, wa, wb, tolerance))
            << "trial " << trial << ": point (" << c->point.x << ", " << c->point.y
            << ") is not a penetrating vertex";
    }
    // The sample must exercise both answers.
    EXPECT_GT(contacts, 1500);
    EXPECT_GT(misses, 1500);
}
