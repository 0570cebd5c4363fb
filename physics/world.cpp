// The world's list and its step: integrate, sort and find pairs (broad_phase.cpp), test and
// resolve on copies (solver.cpp), write back.
#include <scrapvolt/physics/world.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "broad_phase.h"
#include "solver.h"

namespace scrapvolt {

// The step's working arrays, by stage; they keep their capacity from step to step, so a step
// allocates only when the world has grown since the last one.
struct StepScratch {
    // Integration, in list order: each node, its body's circle, and the sort's keys.
    std::vector<WorldNode*> nodes;
    std::vector<const BoundingCircle*> circles;
    std::vector<SortKey> keys;
    size_t vertices = 0;  // of every body's polygon
    // The last step's sorted order, which is this step's list order unless bodies were added:
    // what integration fetches into the cache ahead of use (a stale guess costs a useless fetch).
    struct Ahead {
        const void* node;
        const void* body;
        const void* polygon;
    };
    std::vector<Ahead> ahead;
    BroadPhase broad;
    Solver solver;
};

namespace {

constexpr size_t prefetchDistance = 8;

// Integrates every body in list order and takes its interval from its circle.
void integrate(StepScratch& s, WorldNode* head) {
    size_t k = 0;
    s.nodes.clear();
    s.circles.clear();
    s.keys.clear();
    s.vertices = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next, ++k) {
        if (k + prefetchDistance < s.ahead.size()) {
            const StepScratch::Ahead& ahead = s.ahead[k + prefetchDistance];
            __builtin_prefetch(ahead.node);
            __builtin_prefetch(ahead.body);
            __builtin_prefetch(ahead.polygon);
        }
        Body& body = *node->body;
        body.integrate();
        s.vertices += static_cast<size_t>(std::max(body.polygon->vertexCount, 0));
        const BoundingCircle* c = body.circle;
        // A polygon without vertices has no circle: a NaN interval sorts last and overlaps
        // nothing, so the body takes part in no test.
        node->minX =
            c != nullptr ? c->centreX - c->radius : std::numeric_limits<float>::quiet_NaN();
        node->maxX = c != nullptr ? c->radius + c->centreX : node->minX;
        s.nodes.push_back(node);
        s.circles.push_back(c);
        s.keys.push_back(SortKey{node->minX, static_cast<uint32_t>(k)});
    }
}

// Relinks the list in the keys' order, writing only the links that changed.
WorldNode* relink(const std::vector<WorldNode*>& nodes, const std::vector<SortKey>& keys) {
    for (size_t k = 0; k + 1 < keys.size(); ++k) {
        WorldNode* node = nodes[keys[k].index];
        if (node->next != nodes[keys[k + 1].index]) {
            node->next = nodes[keys[k + 1].index];
        }
    }
    nodes[keys.back().index]->next = nullptr;
    return nodes[keys[0].index];
}

// The bodies in sorted order with their intervals and circles. Circles are read only now: a
// polygon bound to two bodies has one circle, which its later integration moves.
void gather(StepScratch& s) {
    const size_t n = s.keys.size();
    s.broad.sorted.resize(n);
    s.ahead.resize(n);
    for (size_t k = 0; k < n; ++k) {
        if (k + prefetchDistance < n) {
            __builtin_prefetch(s.circles[s.keys[k + prefetchDistance].index]);
        }
        const uint32_t i = s.keys[k].index;
        const WorldNode& node = *s.nodes[i];
        const BoundingCircle* c = s.circles[i];
        const float nan = std::numeric_limits<float>::quiet_NaN();
        s.broad.sorted[k] = StepBody{node.body,
                                     node.minX,
                                     node.maxX,
                                     c != nullptr ? c->centreX : nan,
                                     c != nullptr ? c->centreY : nan,
                                     c != nullptr ? c->radius : nan};
        s.ahead[k] = StepScratch::Ahead{&node, node.body, node.body->polygon};
    }
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
    StepScratch& s = *scratch_;
    integrate(s, head);
    insertionSort(s.keys);
    head = relink(s.nodes, s.keys);
    gather(s);
    s.broad.findPairs();
    lastPassCount = s.solver.solve(s.broad, s.vertices);
}

void World::sortByMinX() {
    if (head == nullptr) {
        return;
    }
    if (scratch_ == nullptr) {
        scratch_ = new StepScratch;
    }
    StepScratch& s = *scratch_;
    s.nodes.clear();
    s.keys.clear();
    s.vertices = 0;
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        s.keys.push_back(SortKey{node->minX, static_cast<uint32_t>(s.nodes.size())});
        s.nodes.push_back(node);
    }
    insertionSort(s.keys);
    head = relink(s.nodes, s.keys);
}

}  // namespace scrapvolt
