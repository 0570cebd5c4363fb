#pragma once
// The broad phase of World::step: the sort by minX and the overlapping pairs, in pass order.
#include <scrapvolt/physics/world.h>

#include <algorithm>
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
    std::vector<uint32_t> large;  // sorted places of the large bodies, ended by the body count

    // Fills pairs: for each body in sorted order, those after it whose interval starts strictly
    // left of its right end and whose circle meets its own as Body::collide tests; fixed per step.
    void findPairs();

    // After findPairs: visit(k) once for each ordinary body at sorted place k whose interval
    // meets [x0, x1] and whose circle's height meets [y0, y1] (as does every circle that meets
    // the rectangle). The large bodies are in large.
    template <typename Visit>
    void near(double x0, double x1, double y0, double y1, Visit visit) const;
    // The band of a height in the layout of the last findPairs.
    int32_t bandAt(double y) const {
        return static_cast<int32_t>(
            std::clamp((y - used_.low) * (1.0 / used_.height), 0.0, used_.bands - 1.0));
    }
    struct Layout {
        double height;
        double low;
        int32_t bands;
        double widest = 0.0;  // the largest ordinary circle's diameter
    };
    const Layout& layout() const { return used_; }

  private:
    Layout used_{1.0, 0.0, 1};
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
    std::vector<uint32_t> found;
    size_t nextLarge = 0;
    double height_ = 1.0;  // of a band
    double low_ = 0.0;     // bottom of band 0
    int32_t bands_ = 1;
};

template <typename Visit>
void BroadPhase::near(double x0, double x1, double y0, double y1, Visit visit) const {
    // The circles' own floats: no float lies between a bound and its rounding, so the tests pass
    // the same circles as in double (or, at a bound rounded inwards, a few more).
    const float left = static_cast<float>(x0), right = static_cast<float>(x1);
    const float bottom = static_cast<float>(y0), top = static_cast<float>(y1);
    // No ordinary circle further left (past rounding) reaches x0.
    const double start = x0 - (1.01 * used_.widest + 1e-6 * std::max(x0, -x0));
    const int32_t first = bandAt(y0), last = bandAt(y1);
    for (int32_t band = first; band <= last; ++band) {
        const uint32_t* m = bandMembers.data() + bandStart[band];
        const uint32_t* end = bandMembers.data() + bandStart[band + 1];
        m = std::partition_point(m, end, [&](uint32_t k) { return sorted[k].minX < start; });
        for (; m != end && sorted[*m].minX <= right; ++m) {
            // Once: in the first band of the rectangle's that the body is in.
            const StepCircle& c = sorted[*m];
            if (c.maxX >= left && c.circle.centreY + c.circle.radius >= bottom &&
                c.circle.centreY - c.circle.radius <= top &&
                (band == first || bandsOf[*m].low == band)) {
                visit(*m);
            }
        }
    }
}

}  // namespace scrapvolt
