#include <scrapvolt/physics/world.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fast_contact.h"
#include "step_scratch.h"

namespace scrapvolt {

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
    s.posesShared = false;
    uint32_t k = 0;
    size_t vertices = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next, ++k) {
        Body* body = node->body;
        s.bodies[k] = body;
        const Polygon* polygon = body->polygon;
        vertices += static_cast<size_t>(std::max(polygon->vertexCount, 0));
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
        } else {
            s.posesShared = true;
        }
        s.poseIndex[k] = s.table[h].index;
    }
    // Room for the copies of every body, so that steps after the first rarely need more.
    s.copies.reserve(n);
    s.vertexPool.reserve(vertices);
    s.normalPool.reserve(vertices);
    s.offsetPool.reserve(vertices);
}

constexpr size_t prefetchDistance = 8;

// The list keeps the last step's sorted order unless bodies were added since, so the last
// step's arrays tell which body comes k places on; a stale guess only costs a useless fetch.
void prefetchForIntegration(const StepScratch& s, size_t k) {
    if (k < s.shapes.size()) {
        __builtin_prefetch(s.bodies[k]);
        __builtin_prefetch(s.shapes[k].polygon);
    }
}

// Passes over the pairs until one makes no correction or the cap is reached; returns the count.
// This is the direct way, on the bodies themselves, for steps in which some bodies share a pose.
// Each pair goes through what Body::collide does after its circle pre-test, in the same order,
// except that a pair found apart is not queried again until one of its bodies has been
// corrected: the query depends only on the two poses and the rotation caches, and neither
// changes within a step unless a correction moves a body.
int32_t runPasses(StepScratch& s) {
    s.apartSince.assign(s.pairs.size(), 0);
    uint64_t clock = 0;
    int32_t passes = 0;
    bool quiet = false;
    while (!quiet && passes < World::maxPasses) {
        quiet = true;
        ++passes;
        const size_t count = s.pairs.size();
        for (size_t p = 0; p < count; ++p) {
            const StepScratch::Pair& pair = s.pairs[p];
            uint64_t& apartSince = s.apartSince[p];
            const uint32_t ia = s.poseIndex[pair.a];
            const uint32_t ib = s.poseIndex[pair.b];
            if (apartSince != 0 && s.correctedAt[ia] < apartSince &&
                s.correctedAt[ib] < apartSince) {
                continue;
            }
            Body& a = *s.bodies[pair.a];
            Body& b = *s.bodies[pair.b];
            refreshRotation(s, a, ia);
            refreshRotation(s, b, ib);
            ++clock;
            const Contact* found = fastContact(*a.polygon, *b.polygon);
            if (found == nullptr) {
                apartSince = clock;
                continue;
            }
            a.resolveContact(found->separation, found->point, found->normal, b);
            apartSince = 0;  // touching: the impulse acts again in the next pass
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
    if (scratch_ == nullptr) {
        scratch_ = new StepScratch;
    }
    uint32_t n = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        prefetchForIntegration(*scratch_, n + prefetchDistance);
        integrateNode(*node);
        ++n;
    }
    sortByMinX();
    gather(*scratch_, head, n);
    findPairs(*scratch_, n);
    if (copyBodies(*scratch_, n)) {
        lastPassCount = runCopiedPasses(*scratch_);
        writeBack(*scratch_, n);
    } else {
        lastPassCount = runPasses(*scratch_);
    }
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

}  // namespace scrapvolt
