#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <scrapvolt/physics/body.h>
#include <scrapvolt/physics/polygon.h>
#include <scrapvolt/physics/world.h>

// The benchmark scene "topdown-squares v1": n movable unit squares on a jittered grid inside
// four immovable walls, with random velocities and spins drawn from SplitMix64. Seen from above:
// no gravity. The world holds the walls first, then the squares in index order.
class TopdownSquares {
  public:
    static constexpr uint64_t defaultSeed = 20240601u;

    static constexpr double defaultPitch = 2.0;

    // A pitch below 1 packs the squares tighter than they fit: a jam that no step resolves.
    explicit TopdownSquares(int32_t squareCount, uint64_t seed = defaultSeed,
                            double pitch = defaultPitch);
    TopdownSquares(const TopdownSquares&) = delete;
    TopdownSquares& operator=(const TopdownSquares&) = delete;

    // An immovable box as added: its pose and half extents.
    struct Box {
        scrapvolt::Pose at;
        float hx;
        float hy;
    };
    // The four walls, in the order they were added.
    const std::vector<Box>& walls() const { return walls_; }
    scrapvolt::World& world() { return world_; }
    scrapvolt::Body& square(int32_t index) { return *bodies_[wallCount + index]; }
    int32_t squareCount() const { return static_cast<int32_t>(starts_.size()); }
    float half() const { return half_; }

    // Gives every square its initial velocity and spin again.
    void kick();
    // Squares whose centre has left the interior [-half, half]^2.
    int32_t escapedCount() const;
    // FNV-1a over the bytes of x, y, angle of every square, in index order.
    uint32_t poseHash() const;

  private:
    static constexpr int32_t wallCount = 4;
    struct Motion {
        float vx;
        float vy;
        float spin;
    };

    void addBox(float x, float y, float angle, float hx, float hy);

    float half_;
    std::vector<Box> walls_;
    std::vector<std::unique_ptr<scrapvolt::Polygon>> polygons_;
    std::vector<std::unique_ptr<scrapvolt::Body>> bodies_;  // walls, then squares
    std::vector<Motion> starts_;
    scrapvolt::World world_;  // declared last: its nodes go before the bodies they refer to
};

// Whether a square's centre at (x, y) has left the interior [-half, half]^2 (NaN has).
inline bool leftInterior(double x, double y, float half) {
    return !(std::fabs(x) <= half && std::fabs(y) <= half);
}

// FNV-1a (32-bit) over the bytes of x, y, angle, in memory order, continuing from hash.
uint32_t fnv1aPose(uint32_t hash, const scrapvolt::Pose& pose);
