#pragma once
// Test and resolve, the passes of World::step, on contiguous copies of the bodies in pairs.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "broad_phase.h"
#include "contact_walk.h"

namespace scrapvolt {

// One body of the step, by sorted place: its node and what the passes copy from it.
struct StepBody {
    WorldNode* node;
    Body* body;
    Polygon* polygon;
    Pose* pose;
    uint32_t label;  // the same for bodies with the same pose
};

// Asks for the cache lines of bytes from p on, ahead of their use (prefetchDistance places on).
constexpr size_t prefetchDistance = 12;
inline void fetchAhead(const void* p, size_t bytes) {
    const uintptr_t first = reinterpret_cast<uintptr_t>(p) & ~uintptr_t{63};
    for (uintptr_t line = first; line < reinterpret_cast<uintptr_t>(p) + bytes; line += 64) {
        __builtin_prefetch(reinterpret_cast<const void*>(line));
    }
}

class Solver {
  public:
    // Copies the bodies in pairs (refreshing their rotation caches), runs passes until one makes
    // no positional correction or maxPasses ran, writes back; returns the passes. vertices: at
    // least every polygon's vertex count; posesShared: some bodies share a pose (and a copy).
    int32_t solve(std::span<const StepBody> bodies, const std::vector<Pair>& pairs, size_t vertices,
                  bool posesShared);

    // The pairs that touched, in the order they first touched, with their last contact.
    std::vector<StepContact> contacts;
    // The most a pose was corrected in the step (|dx| + |dy|): a circle from the integration
    // grown by it holds the polygon where the step left it.
    float drift = 0.0f;

  private:
    // One per pose, shared by its bodies (on one polygon, or added twice: a correction moves both).
    // Only what a test reads, small for the walls' sweeping pairs; caches in corners_ from first.
    struct PoseCopy {
        float x, y;
        uint32_t first;
        int32_t count;
        float reach;   // the sum of |x| + |y| over the rotated vertices: bounds the rounding
        float extent;  // the largest |x| + |y|: no vertex lies further along a unit direction
    };
    struct PoseState {
        Pose* pose;
        uint32_t firstBody;  // the first body copy on this pose
        int32_t markedPass;  // the pass of the last correction that moved it, or 0
        uint32_t markedTo;   // then: its first pair after the corrected one
    };
    struct BodyCopy {
        Body* body;
        Vec2 velocity;
        float angularVelocity;
        float inverseMass, inverseInertia;
        uint32_t pose;
        uint32_t nextOfPose;  // the next body copy on the same pose, or none
        uint32_t lastPair;    // the body's last pair in pass order
        bool touched;         // in a contact: its motion may have changed
        bool sensor;
        int32_t correctedIn;  // the last pass that corrected its last pair, or 0
    };
    struct Corner {  // vertex i of a pose copy with the edge that starts there
        Vec2 vertex;
        Vec2 normal;
        float offset;
    };
    // A pair's edges of a - b, walked once and kept: they depend only on the step's rotations.
    struct Kept {
        uint32_t first;  // with count 0: none once walked without keeping
        uint32_t count;  // 0: not kept yet; none: no room
    };
    struct Shape;

    uint32_t copyOf(const StepBody& body, bool posesShared);
    void copyBodies(std::span<const StepBody> bodies, const std::vector<Pair>& pairs,
                    size_t vertices, bool posesShared);
    [[gnu::always_inline]] inline bool testPair(uint32_t p);
    void keep(Kept& kept, const Shape& a, const Shape& b);
    [[gnu::always_inline]] inline const Contact* keptContact(const Kept& kept, const Shape& a,
                                                             const Shape& b) const;
    [[gnu::always_inline]] inline void markPairsOf(uint32_t pose, uint32_t p);
    void writeBack();

    std::vector<PoseCopy> poses_;
    std::vector<PoseState> states_;  // by pose copy
    std::vector<BodyCopy> bodies_;
    std::vector<Corner> corners_;
    std::vector<uint32_t> copyOfPose_;  // by pose label: the pose copy, or none
    std::vector<uint32_t> copyAt_;      // by sorted position: the body copy, or none
    std::vector<Pair> pairs_;           // of body copies
    std::vector<Pair> posePairs_;       // of their pose copies
    // Each pose's pairs in pass order: pairsOf_[pairsOfStart_[k]] to pairsOf_[pairsOfStart_[k+1]].
    std::vector<uint32_t> pairsOfStart_, pairsOf_;
    std::vector<uint64_t> due_, dueNext_;  // by pair: due in this pass, in the next (bit sets)
    std::vector<Kept> kept_;
    std::vector<uint32_t> contactOf_;  // by pair: its place in contacts, or none
    std::vector<DifferenceEdge> keptEdges_;
    int32_t pass_ = 0;
    Vec2 origin_{0.0f, 0.0f};  // the scratch polygon's position, which the query's point follows
};

}  // namespace scrapvolt
