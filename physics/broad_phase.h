#pragma once
// The broad phase of World::step: the sort by minX and the overlapping pairs, in pass order.
#include <scrapvolt/physics/world.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scrapvolt {

// A body's interval and circle: all the broad phase reads, kept small for the walls' long sweeps.
struct StepCircle {
    float minX;
    float maxX;
    BoundingCircle circle;
};

// Whether a pair's circles are not apart: Body::collide's test and the broad phase's. Circles
// that touch are not apart, and neither are circles whose distance is NaN (a body beyond the
// finite numbers): the comparison that would call them apart is false, so the pair is tested.
inline bool circlesOverlap(const BoundingCircle& a, const BoundingCircle& b) {
    const float dx = b.centreX - a.centreX;
    const float dy = b.centreY - a.centreY;
    const float r = b.radius + a.radius;
    return !(r * r < dx * dx + dy * dy);
}

// Two positions in the sorted list, a < b: a's body takes the role A.
struct Pair {
    uint32_t a;
    uint32_t b;
};

struct SortKey {
    float minX;
    uint32_t index;  // the node's place in the list before the sort
};

// World::sortByMinX's order: a key out of order goes in front of the first key not below its
// own. About linear on the previous tick's order.
void insertionSort(std::vector<SortKey>& keys);

struct BroadPhase {
    std::vector<StepCircle> sorted;  // by sorted position
    std::vector<Pair> pairs;

    // Fills pairs: for each body in sorted order, those after it whose interval starts strictly
    // left of its right end and whose circle meets its own as Body::collide tests; fixed per step.
    void findPairs();

  private:
    void fillBands();
    // Each leaves the pairs of the body at sorted place i in found, in pass order, and counts them.
    uint32_t pairsOfLarge(uint32_t i);
    uint32_t pairsOfOrdinary(uint32_t i);

    // Ordinary bodies (finite circles of the bands' size) are listed in horizontal bands by sorted
    // position, large ones swept against all. Any layout (the last step's) gives the same pairs.
    struct Bands {
        int32_t low;
        int32_t high;
    };
    std::vector<Bands> bandsOf;       // by sorted position; low > high: large
    std::vector<uint32_t> bandStart;  // members of band b: bandMembers[bandStart[b], next start)
    std::vector<uint32_t> cursor;     // by band: its first member after the body at hand
    std::vector<uint32_t> bandMembers;
    std::vector<uint32_t> large;  // sorted positions, ended by the body count
    std::vector<uint32_t> found;
    size_t nextLarge = 0;
    double height_ = 1.0;  // of a band
    double low_ = 0.0;     // bottom of band 0
    int32_t bands_ = 1;
};

}  // namespace scrapvolt
