#include "bench/topdown_squares.h"

#include <cmath>
#include <cstring>
#include <numbers>

using namespace scrapvolt;

namespace {

// SplitMix64, and its doubles in [0, 1) from the top 53 bits.
class SplitMix64 {
  public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15u;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double range(double lo, double hi) { return lo + (hi - lo) * unit(); }

  private:
    uint64_t state_;
};

int32_t gridSize(int32_t n) {
    int32_t g = 0;
    while (g * g < n) {
        ++g;
    }
    return g;
}

}  // namespace

uint32_t fnv1aPose(uint32_t hash, const Pose& pose) {
    const float fields[3] = {pose.x, pose.y, pose.angle};
    unsigned char bytes[sizeof fields];
    std::memcpy(bytes, fields, sizeof fields);
    for (unsigned char byte : bytes) {
        hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

// Every value is drawn and computed in double and rounded to float once, when stored.
TopdownSquares::TopdownSquares(int32_t squareCount, uint64_t seed, double pitch) {
    const int32_t g = gridSize(squareCount);
    const double half = g * pitch / 2.0;
    half_ = static_cast<float>(half);
    const auto f = [](double v) { return static_cast<float>(v); };

    // Immovable walls, inverse mass and inverse inertia 0, overlapping at the corners.
    walls_ = {Box{{f(-half - 0.5), 0.0f, 0.0f}, 0.5f, f(half + 1.0)},  // left
              Box{{f(half + 0.5), 0.0f, 0.0f}, 0.5f, f(half + 1.0)},   // right
              Box{{0.0f, f(-half - 0.5), 0.0f}, f(half + 1.0), 0.5f},  // bottom
              Box{{0.0f, f(half + 0.5), 0.0f}, f(half + 1.0), 0.5f}};  // top
    for (const Box& wall : walls_) {
        addBox(wall.at.x, wall.at.y, wall.at.angle, wall.hx, wall.hy);
    }

    SplitMix64 random(seed);
    for (int32_t i = 0; i < squareCount; ++i) {
        const double jx = random.range(-0.25, 0.25);
        const double jy = random.range(-0.25, 0.25);
        const double angle = random.range(0.0, std::numbers::pi / 2.0);
        const double heading = random.range(0.0, 2.0 * std::numbers::pi);
        const double speed = random.range(1.0, 5.0);
        const double omega = random.range(-1.0, 1.0);
        const int32_t row = i / g;
        const int32_t col = i % g;
        addBox(f(-half + (col + 0.5) * pitch + jx), f(-half + (row + 0.5) * pitch + jy), f(angle),
               0.5f, 0.5f);
        Body& body = *bodies_.back();
        body.inverseMass = 1.0f;
        body.inverseInertia = 6.0f;
        // m/s and rad/s at 100 ticks per second, as per-tick values.
        starts_.push_back(Motion{f(speed * std::cos(heading) * 0.01),
                                 f(speed * std::sin(heading) * 0.01), f(omega * 0.01)});
    }
    kick();
}

void TopdownSquares::addBox(float x, float y, float angle, float hx, float hy) {
    auto& polygon = *polygons_.emplace_back(std::make_unique<Polygon>());
    polygon.clear();
    polygon.addVertex(hx, -hy);
    polygon.addVertex(-hx, -hy);
    polygon.addVertex(-hx, hy);
    polygon.addVertex(hx, hy);
    Body& body = *bodies_.emplace_back(std::make_unique<Body>(polygon));
    body.setPose(x, y, angle);
    body.inverseMass = 0.0f;
    body.inverseInertia = 0.0f;
    world_.add(body);
}

void TopdownSquares::kick() {
    for (int32_t i = 0; i < squareCount(); ++i) {
        Body& body = square(i);
        body.velocity = Vec2{starts_[i].vx, starts_[i].vy};
        body.angularVelocity = starts_[i].spin;
    }
}

int32_t TopdownSquares::escapedCount() const {
    int32_t escaped = 0;
    for (int32_t i = 0; i < squareCount(); ++i) {
        const Pose& pose = *bodies_[wallCount + i]->pose;
        if (leftInterior(pose.x, pose.y, half_)) {
            ++escaped;
        }
    }
    return escaped;
}

uint32_t TopdownSquares::poseHash() const {
    uint32_t hash = 2166136261u;
    for (int32_t i = 0; i < squareCount(); ++i) {
        hash = fnv1aPose(hash, *bodies_[wallCount + i]->pose);
    }
    return hash;
}
