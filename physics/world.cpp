#include "world.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fast_contact.h"

// Work arrays of one step, indexed by position in the sorted list. They keep their capacity from
// step to step, so a step allocates only when the world has grown since the last one.
struct StepScratch {
    struct Pair {
        uint32_t a;  // sorted positions, a < b: a's body takes the role A
        uint32_t b;
        // Query clock of the test that last found this pair apart, or 0 when it must be tested.
        uint64_t apartSince;
    };
    struct Slot {  // one entry of the open-addressing table from pose to pose index
        const Pose* pose;
        uint32_t step;
        uint32_t index;
    };

    std::vector<Body*> bodies;
    // Each body's polygon and its vertex and edge arrays, fetched into the cache ahead of use.
    struct Shape {
        const Polygon* polygon;
        const void* vertices;
        const void* edges;
    };
    std::vector<Shape> shapes;
    std::vector<float> maxX;
    std::vector<float> minX;
    std::vector<float> centreX;
    std::vector<float> centreY;
    std::vector<float> radius;
    // Bodies that share one pose (a polygon bound to two bodies, or a body added twice) share
    // one index here, since a correction of either moves both.
    std::vector<uint32_t> poseIndex;
    std::vector<uint64_t> correctedAt;   // by pose index: query clock of the last correction
    std::vector<uint8_t> rotationFresh;  // by pose index: rotation cache refreshed in this step
    std::vector<Pair> pairs;
    std::vector<Slot> table;
    // The broad phase's bands: each body's first and last band ({1, 0} for a large body), each
    // band's members in sorted order, the large bodies in sorted order (ended by n).
    float bandHeight = 1.0f;
    std::vector<std::pair<int32_t, int32_t>> bandOf;
    std::vector<uint32_t> bandStart;
    std::vector<uint32_t> bandFill;
    std::vector<uint32_t> bandMembers;
    std::vector<uint32_t> large;
    std::vector<uint32_t> found;
    struct Key {
        float minX;
        WorldNode* node;
    };
    std::vector<Key> keys;  // the sort's array
    uint32_t stepCount = 0;
};

namespace {

// Key order of the sort: numbers ascending, NaN after every number and equal to any other NaN.
// It is a strict weak order whatever the keys are, so the insertion walk always stops.
bool keyBefore(float a, float b) {
    return a < b || (std::isnan(b) && !std::isnan(a));
}

void integrateNode(WorldNode& node) {
    Body& body = *node.body;
    body.integrate();
    if (body.circle == nullptr) {
        // A polygon without vertices has no circle: a NaN interval sorts last and overlaps
        // nothing, so the body takes part in no test.
        node.minX = std::numeric_limits<float>::quiet_NaN();
        node.maxX = node.minX;
        return;
    }
    node.minX = body.circle->centreX - body.circle->radius;
    node.maxX = body.circle->radius + body.circle->centreX;
}

// As Body::collide refreshes a moved body's rotation cache. Angles do not change within a step,
// so a cache refreshed once in this step already holds what a refresh would compute again.
void refreshRotation(StepScratch& s, Body& body, uint32_t poseIndex) {
    if (body.moved) {
        if (!s.rotationFresh[poseIndex]) {
            body.polygon->updateRotation();
            s.rotationFresh[poseIndex] = 1;
        }
        body.moved = false;
    }
}

// Copies the sorted list into the scratch arrays and gives each distinct pose an index.
void gather(StepScratch& s, WorldNode* head, uint32_t n) {
    s.bodies.resize(n);
    s.shapes.resize(n);
    s.minX.resize(n);
    s.maxX.resize(n);
    s.centreX.resize(n);
    s.centreY.resize(n);
    s.radius.resize(n);
    s.poseIndex.resize(n);
    s.correctedAt.assign(n, 0);
    s.rotationFresh.assign(n, 0);
    // Room for a few pairs per body, so that steps after the first rarely need more.
    s.pairs.reserve(8 * static_cast<size_t>(n));
    uint32_t tableSize = 16;
    while (tableSize < 2 * n) {
        tableSize *= 2;
    }
    if (s.table.size() < tableSize) {
        s.table.assign(tableSize, StepScratch::Slot{nullptr, 0, 0});
    }
    const uint32_t mask = static_cast<uint32_t>(s.table.size()) - 1;
    if (++s.stepCount == 0) {  // after 2^32 steps: no old entry may pass for a new one
        s.table.assign(s.table.size(), StepScratch::Slot{nullptr, 0, 0});
        s.stepCount = 1;
    }
    const uint32_t step = s.stepCount;  // table entries of earlier steps count as empty
    uint32_t k = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next, ++k) {
        Body* body = node->body;
        s.bodies[k] = body;
        const Polygon* polygon = body->polygon;
        s.shapes[k] = StepScratch::Shape{polygon, polygon->rotatedVertices, polygon->edges};
        s.minX[k] = node->minX;
        s.maxX[k] = node->maxX;
        const BoundingCircle* c = body->circle;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        s.centreX[k] = c != nullptr ? c->centreX : nan;
        s.centreY[k] = c != nullptr ? c->centreY : nan;
        s.radius[k] = c != nullptr ? c->radius : nan;
        const auto key = reinterpret_cast<uintptr_t>(body->pose);
        uint32_t h = static_cast<uint32_t>((key >> 4) * 0x9E3779B97F4A7C15u >> 32) & mask;
        while (s.table[h].step == step && s.table[h].pose != body->pose) {
            h = (h + 1) & mask;
        }
        if (s.table[h].step != step) {
            s.table[h] = StepScratch::Slot{body->pose, step, k};
        }
        s.poseIndex[k] = s.table[h].index;
    }
}

bool circlesOverlap(const StepScratch& s, uint32_t i, uint32_t j) {
    const float dx = s.centreX[j] - s.centreX[i];
    const float dy = s.centreY[j] - s.centreY[i];
    const float rr = s.radius[j] + s.radius[i];
    return dx * dx + dy * dy <= rr * rr;  // as Body::collide tests them
}

// Puts every body with a finite circle of ordinary size into the horizontal bands its circle
// (with a margin far above rounding) reaches, each band listing its bodies in sorted order.
// Others (large, like walls, or not finite) are listed apart and swept against every body.
void fillBands(StepScratch& s, uint32_t n) {
    double radiusSum = 0.0;
    uint32_t finite = 0;
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (uint32_t k = 0; k < n; ++k) {
        if (std::isfinite(s.centreX[k]) && std::isfinite(s.centreY[k]) &&
            std::isfinite(s.radius[k])) {
            radiusSum += s.radius[k];
            ++finite;
        }
    }
    const double average = finite > 0 ? radiusSum / finite : 1.0;
    s.bandHeight = static_cast<float>(4.0 * average) + 1e-3f;
    s.large.clear();
    s.large.reserve(n + 1);
    s.bandOf.resize(n);
    // Room for the most bands and memberships there can be, so that later steps allocate nothing.
    s.bandStart.reserve(4096 + 3);
    s.bandFill.reserve(4096 + 2);
    s.bandMembers.reserve(6 * static_cast<size_t>(n));
    s.found.reserve(n);
    for (uint32_t k = 0; k < n; ++k) {
        const float r = s.radius[k];
        const bool ordinary = std::isfinite(s.centreX[k]) && std::isfinite(s.centreY[k]) &&
                              std::isfinite(r) && r <= 2.0f * s.bandHeight;
        if (!ordinary) {
            s.large.push_back(k);
            s.bandOf[k] = {1, 0};
            continue;
        }
        low = std::min(low, s.centreY[k] - r);
        high = std::max(high, s.centreY[k] + r);
        s.bandOf[k] = {0, 0};
    }
    s.large.push_back(n);  // end mark
    if (!(low <= high)) {
        s.bandStart.assign(2, 0);
        return;
    }
    float height = s.bandHeight;
    while ((high - low) / height > 4096.0f) {
        height *= 2.0f;
    }
    const auto bandAt = [&](float y) {
        return static_cast<int32_t>(std::floor((y - low) / height));
    };
    const int32_t bands = bandAt(high) + 2;
    s.bandStart.assign(static_cast<size_t>(bands) + 1, 0);
    for (uint32_t k = 0; k < n; ++k) {
        if (s.bandOf[k].first != 0 || s.bandOf[k].second != 0) {
            continue;
        }
        const float margin = 0.01f * height + 1e-5f * (std::fabs(s.centreY[k]) + s.radius[k]);
        const int32_t first = std::max(0, bandAt(s.centreY[k] - s.radius[k] - margin));
        const int32_t last = std::min(bands - 1, bandAt(s.centreY[k] + s.radius[k] + margin));
        s.bandOf[k] = {first, last};
        for (int32_t b = first; b <= last; ++b) {
            ++s.bandStart[b + 1];
        }
    }
    for (int32_t b = 0; b < bands; ++b) {
        s.bandStart[b + 1] += s.bandStart[b];
    }
    s.bandMembers.resize(s.bandStart[bands]);
    s.bandFill.assign(s.bandStart.begin(), s.bandStart.end() - 1);
    for (uint32_t k = 0; k < n; ++k) {
        if (s.bandOf[k].first == 1 && s.bandOf[k].second == 0) {
            continue;  // large
        }
        for (int32_t b = s.bandOf[k].first; b <= s.bandOf[k].second; ++b) {
            s.bandMembers[s.bandFill[b]++] = k;
        }
    }
}

// The pairs a pass tests, in the order it tests them: for each body in sorted order, the bodies
// after it whose interval starts strictly left of its right end and whose circle overlaps or
// touches its own. Intervals and circles keep their integrated values through every pass, so
// this list is the same for all of them; pairs it leaves out would fail the circle pre-test of
// Body::collide, which has no effect. Bodies whose circles overlap share a band, so an
// ordinary body looks only at its bands' members and at the large bodies.
void findPairs(StepScratch& s, uint32_t n) {
    s.pairs.clear();
    fillBands(s, n);
    const float* minX = s.minX.data();
    std::vector<uint32_t>& found = s.found;
    size_t nextLarge = 0;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const float maxX = s.maxX[i];
        while (s.large[nextLarge] <= i) {
            ++nextLarge;
        }
        const std::pair<int32_t, int32_t> bands = s.bandOf[i];
        if (bands.first == 1 && bands.second == 0) {  // large: against every body
            for (uint32_t j = i + 1; j < n && minX[j] < maxX; ++j) {
                if (circlesOverlap(s, i, j)) {
                    s.pairs.push_back(StepScratch::Pair{i, j, 0});
                }
            }
            continue;
        }
        found.clear();
        for (int32_t b = bands.first; b <= bands.second; ++b) {
            const uint32_t* begin = s.bandMembers.data() + s.bandStart[b];
            const uint32_t* end = s.bandMembers.data() + s.bandStart[b + 1];
            for (const uint32_t* m = std::upper_bound(begin, end, i); m != end && minX[*m] < maxX;
                 ++m) {
                if (circlesOverlap(s, i, *m)) {
                    found.push_back(*m);
                }
            }
        }
        for (size_t l = nextLarge; s.large[l] < n && minX[s.large[l]] < maxX; ++l) {
            if (circlesOverlap(s, i, s.large[l])) {
                found.push_back(s.large[l]);
            }
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        for (const uint32_t j : found) {
            s.pairs.push_back(StepScratch::Pair{i, j, 0});
        }
    }
}

constexpr size_t prefetchDistance = 8;

void prefetch(const StepScratch& s, uint32_t k) {
    const StepScratch::Shape& shape = s.shapes[k];
    __builtin_prefetch(s.bodies[k]);
    __builtin_prefetch(shape.polygon);
    __builtin_prefetch(reinterpret_cast<const char*>(shape.polygon) + 64);
    __builtin_prefetch(shape.vertices);
    __builtin_prefetch(shape.edges);
    __builtin_prefetch(reinterpret_cast<const char*>(shape.edges) + 64);
}

// Passes over the pairs until one makes no correction or the cap is reached; returns the count.
// Each pair goes through what Body::collide does after its circle pre-test, in the same order,
// except that a pair found apart is not queried again until one of its bodies has been
// corrected: the query depends only on the two poses and the rotation caches, and neither
// changes within a step unless a correction moves a body.
int32_t runPasses(StepScratch& s) {
    uint64_t clock = 0;
    int32_t passes = 0;
    bool quiet = false;
    while (!quiet && passes < World::maxPasses) {
        quiet = true;
        ++passes;
        const size_t count = s.pairs.size();
        for (size_t p = 0; p < count; ++p) {
            // Bodies lie scattered in memory: ask for a pair's data a few pairs before its test.
            if (p + prefetchDistance < count) {
                const StepScratch::Pair& ahead = s.pairs[p + prefetchDistance];
                if (ahead.apartSince == 0) {
                    prefetch(s, ahead.a);
                    prefetch(s, ahead.b);
                }
            }
            StepScratch::Pair& pair = s.pairs[p];
            const uint32_t ia = s.poseIndex[pair.a];
            const uint32_t ib = s.poseIndex[pair.b];
            if (pair.apartSince != 0 && s.correctedAt[ia] < pair.apartSince &&
                s.correctedAt[ib] < pair.apartSince) {
                continue;
            }
            Body& a = *s.bodies[pair.a];
            Body& b = *s.bodies[pair.b];
            refreshRotation(s, a, ia);
            refreshRotation(s, b, ib);
            ++clock;
            const Contact* found = fastContact(*a.polygon, *b.polygon);
            if (found == nullptr) {
                pair.apartSince = clock;
                continue;
            }
            a.resolveContact(found->separation, found->point, found->normal, b);
            pair.apartSince = 0;  // touching: the impulse acts again in the next pass
            if (a.moved && b.moved) {
                quiet = false;
                s.correctedAt[ia] = clock;
                s.correctedAt[ib] = clock;
            }
        }
    }
    return passes;
}

}  // namespace

World::~World() {
    clear();
    delete scratch_;
}

void World::add(Body& body) {
    head = new WorldNode{&body, head, 0.0f, 0.0f};
}

void World::clear() {
    while (head != nullptr) {
        WorldNode* next = head->next;
        delete head;
        head = next;
    }
}

void World::step() {
    lastPassCount = 0;
    if (head == nullptr || head->next == nullptr) {
        return;
    }
    uint32_t n = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        integrateNode(*node);
        ++n;
    }
    sortByMinX();
    if (scratch_ == nullptr) {
        scratch_ = new StepScratch;
    }
    gather(*scratch_, head, n);
    findPairs(*scratch_, n);
    lastPassCount = runPasses(*scratch_);
}

// A node already in order stays; one out of order goes in front of the first node whose key is
// not below its own, so equal keys do not keep their order. The list is copied into an array,
// where that place is found by walking back from the end of the sorted part (the part is sorted,
// so the nodes passed are exactly those not below the key), and then relinked. Nearly sorted
// lists (the previous tick's order) cost about linear time.
void World::sortByMinX() {
    if (head == nullptr) {
        return;
    }
    if (scratch_ == nullptr) {
        scratch_ = new StepScratch;
    }
    std::vector<StepScratch::Key>& keys = scratch_->keys;
    keys.clear();
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        const StepScratch::Key q{node->minX, node};
        size_t k = keys.size();
        if (k > 0 && keyBefore(q.minX, keys[k - 1].minX)) {
            keys.push_back(q);
            while (k > 0 && !keyBefore(keys[k - 1].minX, q.minX)) {
                keys[k] = keys[k - 1];
                --k;
            }
            keys[k] = q;
        } else {
            keys.push_back(q);
        }
    }
    head = keys[0].node;
    for (size_t k = 0; k + 1 < keys.size(); ++k) {
        keys[k].node->next = keys[k + 1].node;
    }
    keys.back().node->next = nullptr;
}
