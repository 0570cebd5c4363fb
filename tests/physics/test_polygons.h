#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <random>
#include <vector>

#include "physics/polygon.h"

// Polygons shared by the geometry tests, all wound clockwise (y up).
namespace test_polygons {

inline constexpr Vec2 square[] = {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};
inline constexpr Vec2 car[] = {{1.0f, 2.0f}, {1.4f, -2.0f}, {-1.4f, -2.0f}, {-1.0f, 2.0f}};

inline void fill(Polygon& polygon, const Vec2* vertices, size_t count) {
    polygon.clear();
    for (size_t i = 0; i < count; ++i) {
        polygon.addVertex(vertices[i].x, vertices[i].y);
    }
}

inline void fill(Polygon& polygon, std::initializer_list<Vec2> vertices) {
    fill(polygon, vertices.begin(), vertices.size());
}

template <size_t N>
void fill(Polygon& polygon, const Vec2 (&vertices)[N]) {
    fill(polygon, vertices, N);
}

// Fixed-seed source of uniform numbers. std::mt19937 is specified bit for bit; the standard
// distributions are not, so the conversion to [0, 1) is done here.
class Random {
  public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    double uniform() { return engine_() / 4294967296.0; }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    int32_t integer(int32_t low, int32_t high) {
        return low + static_cast<int32_t>(uniform() * (high - low + 1));
    }

  private:
    std::mt19937 engine_;
};

// A random convex polygon of 3 to 8 vertices on an ellipse, wound clockwise, with its local
// origin off centre. Neighbouring vertices are at least 0.1 rad apart on the ellipse, so no edge
// is degenerate. Every fourth polygon is an axis-aligned box, so that edges of two polygons are
// often parallel and support vertices tie.
inline std::vector<Vec2> randomConvex(Random& random) {
    const double a = random.uniform(0.3, 3.0);
    const double b = random.uniform(0.3, 3.0);
    const double ox = random.uniform(-0.5, 0.5);
    const double oy = random.uniform(-0.5, 0.5);
    if (random.uniform() < 0.25) {
        return {{float(ox + a), float(oy - b)},
                {float(ox - a), float(oy - b)},
                {float(ox - a), float(oy + b)},
                {float(ox + a), float(oy + b)}};
    }
    const int32_t n = random.integer(3, 8);
    std::vector<double> angles;
    while (static_cast<int32_t>(angles.size()) < n) {
        angles.clear();
        double t = random.uniform(0.0, 2.0 * std::numbers::pi);
        const double end = t - 2.0 * std::numbers::pi;
        // Decreasing angles: clockwise. Gaps are drawn so that the last one closes the loop.
        for (int32_t i = 0; i < n && t - end >= 0.1; ++i) {
            angles.push_back(t);
            t -= random.uniform(0.1, 4.0 * std::numbers::pi / n);
        }
        if (static_cast<int32_t>(angles.size()) == n && angles.back() - end < 0.1) {
            angles.clear();
        }
    }
    std::vector<Vec2> vertices;
    for (double t : angles) {
        vertices.push_back({float(ox + a * std::cos(t)), float(oy + b * std::sin(t))});
    }
    return vertices;
}

inline void fillRandom(Polygon& polygon, Random& random) {
    const std::vector<Vec2> vertices = randomConvex(random);
    fill(polygon, vertices.data(), vertices.size());
}

// World vertex i in double precision, from the local vertex and the pose.
inline void worldVertex(const Polygon& p, int32_t i, double& wx, double& wy) {
    const double c = std::cos(static_cast<double>(p.angle));
    const double s = std::sin(static_cast<double>(p.angle));
    const Vec2 v = p.localVertices[i];
    wx = p.x + (v.x * c - v.y * s);
    wy = p.y + (v.x * s + v.y * c);
}

}  // namespace test_polygons
