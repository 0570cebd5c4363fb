#pragma once

#include <cstdint>
#include <vector>

#include "bench/topdown_squares.h"

// The scene "topdown-squares v1" in Box2D, as a peer to time against: the same walls and squares
// in the same places and motions (per second here), stepped at 100 Hz with 4 sub-steps on one
// thread, sleeping off, no friction or restitution, and damping that keeps 0.99 of the linear
// and 0.995 of the angular velocity per step, as the squares' own damping does.
class Box2dSquares {
  public:
    // Copies the scene as built, before any step.
    explicit Box2dSquares(TopdownSquares& scene);
    ~Box2dSquares();
    Box2dSquares(const Box2dSquares&) = delete;
    Box2dSquares& operator=(const Box2dSquares&) = delete;

    void step();
    // Gives every square its initial velocity and spin again.
    void kick();
    // Squares whose centre has left the interior [-half, half]^2.
    int32_t escapedCount() const;
    // The shapes b2World_OverlapAABB reports for the box (by their bounding boxes).
    int32_t overlapBox(float lowerX, float lowerY, float upperX, float upperY) const;
    // Whether b2World_CastRayClosest finds a shape on the segment from (x, y) along (dx, dy).
    bool castRay(float x, float y, float dx, float dy) const;

  private:
    struct Motion {
        float vx;
        float vy;
        float spin;
    };
    float half_;
    uint32_t world_;                 // b2WorldId, stored as the integer b2StoreWorldId gives
    std::vector<uint64_t> squares_;  // b2BodyIds, stored as b2StoreBodyId gives
    std::vector<Motion> starts_;
};
