#pragma once
// Test and resolve, the passes of World::step, on contiguous copies of the bodies in pairs.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "broad_phase.h"
#include "contact_walk.h"

namespace scrapvolt {

class Solver {
  public:
    // Copies the bodies of the pairs (refreshing their rotation caches), runs passes until one
    // makes no positional correction or the cap is reached, writes the copies back and returns
    // the number of passes. vertices: at least the vertex count of every body's polygon.
    int32_t solve(const BroadPhase& broad, size_t vertices);

  private:
    // One per pose: bodies bound to one polygon (or a body added twice) share it, since a
    // correction of either moves both. Its rotation caches are in the pools from first on.
    struct PoseCopy {
        Pose* pose;
        float x;
        float y;
        uint32_t firstBody;  // the first body copy on this pose
        uint32_t first;
        int32_t count;
        float reach;   // the sum of |x| + |y| over the rotated vertices: bounds the rounding
        float extent;  // the largest |x| + |y|: no vertex lies further along a unit direction
        // The pass of the last correction, and the first of the pose's pairs after its pair.
        int32_t markedPass;
        uint32_t markedTo;
    };
    // One per body: its motion, and where its pose is.
    struct BodyCopy {
        Body* body;
        Vec2 velocity;
        float angularVelocity;
        float inverseMass;
        float inverseInertia;
        uint32_t pose;
        uint32_t nextOfPose;  // the next body copy on the same pose, or none
        uint32_t lastPair;    // the body's last pair in pass order
    };
    struct Slot {  // open addressing from pose to pose copy; entries of earlier steps are empty
        const Pose* pose;
        uint32_t step;
        uint32_t index;
    };
    struct Shape;

    uint32_t copyOf(Body* body);
    void copyBodies(const BroadPhase& broad, size_t vertices);
    bool testPair(uint32_t p);
    const Contact* keptContact(uint32_t p, const Shape& a, const Shape& b);
    void markPairsOf(uint32_t pose, uint32_t p);
    void writeBack();

    std::vector<PoseCopy> poses_;
    std::vector<BodyCopy> bodies_;
    // The rotation caches of the pose copies: vertex i with the edge that starts there.
    struct Corner {
        Vec2 vertex;
        Vec2 normal;
        float offset;
    };
    std::vector<Corner> corners_;
    std::vector<Slot> table_;
    uint32_t stepCount_ = 0;
    std::vector<uint32_t> copyAt_;  // by sorted position: the body copy, or none
    std::vector<Pair> pairs_;       // in body copies
    // Each pose's pairs in pass order: pairsOf_[pairsOfStart_[k]] to pairsOf_[pairsOfStart_[k+1]].
    std::vector<uint32_t> pairsOfStart_;
    std::vector<uint32_t> pairsOf_;
    // Bit sets over the pairs: due in this pass, due in the next, touching at the last test.
    std::vector<uint64_t> due_;
    std::vector<uint64_t> dueNext_;
    std::vector<uint64_t> touching_;
    std::vector<int32_t> correctedIn_;  // by pair: the pass of its last correction, or 0
    // The edges of a - b of pairs tested again after touching: the difference of two copies
    // depends on their rotations only, which a step does not change, so a pair's edges are walked
    // once and then only the point is tested against them. By pair: the first edge and the count
    // (0: not kept yet; none: no room left).
    struct Kept {
        uint32_t first;
        uint32_t count;
    };
    std::vector<Kept> kept_;
    std::vector<DifferenceEdge> keptEdges_;
    int32_t pass_ = 0;
    Vec2 origin_{0.0f, 0.0f};  // the scratch polygon's position, which the query's point follows
};

}  // namespace scrapvolt
