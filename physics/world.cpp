#include "world.h"

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
    const uint32_t step = ++s.stepCount;  // table entries of earlier steps count as empty
    uint32_t k = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next, ++k) {
        Body* body = node->body;
        s.bodies[k] = body;
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

// The pairs a pass tests, in the order it tests them: for each body in sorted order, the bodies
// after it whose interval starts strictly left of its right end and whose circle overlaps or
// touches its own. Intervals and circles keep their integrated values through every pass, so
// this list is the same for all of them; pairs it leaves out would fail the circle pre-test of
// Body::collide, which has no effect.
void findPairs(StepScratch& s, uint32_t n) {
    s.pairs.clear();
    const float* minX = s.minX.data();
    const float* cx = s.centreX.data();
    const float* cy = s.centreY.data();
    const float* r = s.radius.data();
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const float maxX = s.maxX[i];
        for (uint32_t j = i + 1; j < n && minX[j] < maxX; ++j) {
            const float dx = cx[j] - cx[i];
            const float dy = cy[j] - cy[i];
            const float rr = r[j] + r[i];
            if (dx * dx + dy * dy <= rr * rr) {
                s.pairs.push_back(StepScratch::Pair{i, j, 0});
            }
        }
    }
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
        for (StepScratch::Pair& pair : s.pairs) {
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
