#pragma once

#include <cstdint>
#include <vector>

#include "bench/topdown_squares.h"

struct cpBody;
struct cpShape;
struct cpSpace;

// The scene "topdown-squares v1" in Chipmunk, as a second peer to time against: the same walls and
// squares in the same places and motions (per second here), stepped at 100 Hz with Chipmunk's
// defaults otherwise (10 solver iterations, its bounding-box tree as the spatial index, sleeping
// off), no gravity, friction or elasticity, and damping that keeps 0.99 of the linear and 0.995 of
// the angular velocity per step, as the squares' own damping does.
class ChipmunkSquares {
  public:
    // Copies the scene as built, before any step.
    explicit ChipmunkSquares(TopdownSquares& scene);
    ~ChipmunkSquares();
    ChipmunkSquares(const ChipmunkSquares&) = delete;
    ChipmunkSquares& operator=(const ChipmunkSquares&) = delete;

    void step();
    // Gives every square its initial velocity and spin again.
    void kick();
    // Squares whose centre has left the interior [-half, half]^2.
    int32_t escapedCount() const;

  private:
    struct Motion {
        double vx;
        double vy;
        double spin;
    };
    void addBox(cpBody* body, double x, double y, double angle, double hx, double hy);

    cpSpace* space_;
    float half_;
    std::vector<cpBody*> walls_;
    std::vector<cpBody*> squares_;
    std::vector<cpShape*> shapes_;
    std::vector<Motion> starts_;
};
