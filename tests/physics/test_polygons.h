#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <scrapvolt/physics/body.h>
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/world.h>
#include "tests/support/allocation_counter.h"

// Shapes (wound clockwise, y up), seeded random polygons and comparisons for the physics tests.
namespace test_polygons {

using namespace scrapvolt;

constexpr float halfPi = std::numbers::pi_v<float> / 2;
const std::vector<Vec2> square = {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};
const std::vector<Vec2> car = {{1.0f, 2.0f}, {1.4f, -2.0f}, {-1.4f, -2.0f}, {-1.0f, 2.0f}};
using Floats = std::vector<float>;  // fields compared in one assertion, to show them all

inline void fill(Polygon& polygon, const std::vector<Vec2>& vertices) {
    polygon.clear();
    for (const Vec2& v : vertices) {
        polygon.addVertex(v.x, v.y);
    }
}

// A polygon at a pose with its caches (edges, rotation) brought to it.
struct Shape : Polygon {
    explicit Shape(const std::vector<Vec2>& vertices, Pose at = {0, 0, 0}) {
        fill(*this, vertices);
        static_cast<Pose&>(*this) = at;
        updateRotation();
    }
};

// Two bodies on their own polygons in a world (the first added first), the second at (x, y).
struct TwoBodies {
    Shape shapeA, shapeB;
    Body a{shapeA}, b{shapeB};
    World world;
    TwoBodies(const std::vector<Vec2>& first, float x, float y) : shapeA(first), shapeB(square) {
        b.setPose(x, y, 0);
        world.add(a);
        world.add(b);
    }
};

inline void expectNear(const Floats& got, const Floats& want, float tolerance) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], want[i], tolerance) << "field " << i;
    }
}

// The C++ standard fixes std::mt19937's output but not the distributions' own.
struct Random {
    std::mt19937 engine;
    float real(double low, double high) { return float(low + (high - low) * engine() * 0x1p-32); }
};

// 3 to 24 vertices on an ellipse, one per equal sector, 0.1 rad apart at least, origin off centre;
// or, one time in four, an axis-aligned box, so that edges are often parallel and supports tie.
inline void fillRandom(Polygon& polygon, Random& random) {
    const float a = random.real(0.3, 3.0), b = random.real(0.3, 3.0);
    const float ox = random.real(-0.5, 0.5), oy = random.real(-0.5, 0.5);
    if (random.real(0, 1) < 0.25f) {
        fill(polygon, {{ox + a, oy - b}, {ox - a, oy - b}, {ox - a, oy + b}, {ox + a, oy + b}});
        return;
    }
    const int32_t n = int32_t(random.real(3, 25));
    const double sector = 2.0 * std::numbers::pi / n, start = random.real(0.0, sector);
    polygon.clear();
    for (int32_t k = 0; k < n; ++k) {
        const double t = start - k * sector - random.real(0, sector - 0.1);  // clockwise
        polygon.addVertex(float(ox + a * std::cos(t)), float(oy + b * std::sin(t)));
    }
}

}  // namespace test_polygons
