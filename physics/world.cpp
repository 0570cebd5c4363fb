// The world's list and its step: integrate, sort, pair (broad_phase.cpp), solve (solver.cpp).
#include <scrapvolt/physics/world.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numeric>
#include <vector>

#include "step_scratch.h"

namespace scrapvolt {

namespace {

// Integrates every body in list order and takes its interval from its circle.
void integrate(StepScratch& s, WorldNode* head) {
    s.listed.clear();
    s.keys.clear();
    s.vertices = 0;
    s.listKept = true;
    s.filtered = false;
    const std::vector<StepBody>& ahead = s.bodies;
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        const size_t k = s.listed.size();
        s.listKept = s.listKept && k < ahead.size() && ahead[k].node == node &&
                     ahead[k].pose == node->body->pose;
        if (k + prefetchDistance < ahead.size()) {
            __builtin_prefetch(ahead[k + prefetchDistance].node);
            fetchAhead(ahead[k + prefetchDistance].body, sizeof(Body));
            fetchAhead(ahead[k + prefetchDistance].polygon, sizeof(Polygon));
        }
        Body& body = *node->body;
        assert(body.polygon->vertexCount == node->vertexCount &&
               "a body's polygon keeps its vertex count while the body is in a world");
        body.integrate();
        s.filtered = s.filtered || body.maskBits != ~uint64_t{0} || body.categoryBits == 0;
        s.vertices += static_cast<size_t>(std::max(body.polygon->vertexCount, 0));
        // No vertices, no circle: a NaN interval sorts last and overlaps nothing, so no test.
        const BoundingCircle c =
            body.circle != nullptr ? *body.circle : BoundingCircle{NAN, NAN, NAN};
        node->minX = c.centreX - c.radius;
        node->maxX = c.radius + c.centreX;
        const uint32_t label = s.listKept ? ahead[k].label : 0;
        s.listed.push_back(
            {{node, &body, body.polygon, body.pose, label}, {node->minX, node->maxX, c}});
        s.keys.push_back(SortKey{node->minX, static_cast<uint32_t>(k)});
    }
    s.listKept = s.listKept && s.listed.size() == ahead.size();
}

// Labels each node with the place of the first node of its pose, in list order.
void labelPoses(StepScratch& s) {
    s.seen.resize(s.listed.size());
    std::iota(s.seen.begin(), s.seen.end(), 0u);
    const auto pose = [&](uint32_t k) { return std::pair{s.listed[k].body.pose, k}; };
    std::ranges::sort(s.seen, {}, pose);
    s.posesShared = false;
    for (size_t r = 0; r < s.seen.size(); ++r) {
        const bool same = r > 0 && pose(s.seen[r - 1]).first == pose(s.seen[r]).first;
        s.posesShared = s.posesShared || same;
        s.listed[s.seen[r]].body.label = same ? s.listed[s.seen[r - 1]].body.label : s.seen[r];
    }
}

// Sorts the keys and relinks the list in their order; an unchanged stretch keeps its links.
WorldNode* sortList(StepScratch& s) {
    insertionSort(s.keys);
    const auto node = [&](size_t k) { return s.listed[s.keys[k].index].body.node; };
    for (size_t k = 0; k + 1 < s.keys.size(); ++k) {
        if (s.keys[k + 1].index != s.keys[k].index + 1) {
            node(k)->next = node(k + 1);
        }
    }
    if (s.keys.back().index + 1 != s.keys.size()) {
        node(s.keys.size() - 1)->next = nullptr;
    }
    return node(0);
}

// Drops the last step's contacts of one body, or all of them (body null).
void dropContacts(StepScratch* s, const Body* body) {
    if (s != nullptr) {
        std::erase_if(s->solver.contacts, [&](const StepContact& c) {
            return body == nullptr || c.bodyA == body || c.bodyB == body;
        });
    }
}

}  // namespace

World::~World() {
    clear();
    delete scratch_;
}

void World::add(Body& body) {
    assert(!contains(body) && "a body is added to a world once");
    assert((body.polygon->vertexCount == 0 || body.polygon->isConvexClockwise()) &&
           "a body's polygon is convex and wound clockwise (with y up) when it is added");
    head = new WorldNode{&body, head, 0.0f, 0.0f, body.polygon->vertexCount};
    ++changes_;
}

bool World::remove(Body& body) {
    for (WorldNode** link = &head; *link != nullptr; link = &(*link)->next) {
        if ((*link)->body == &body) {
            WorldNode* node = *link;
            *link = node->next;
            delete node;
            dropContacts(scratch_, &body);
            ++changes_;
            return true;
        }
    }
    return false;
}

bool World::contains(const Body& body) const {
    const WorldNode* node = head;
    while (node != nullptr && node->body != &body) {
        node = node->next;
    }
    return node != nullptr;
}

void World::clear() {
    dropContacts(scratch_, nullptr);
    ++changes_;
    while (head != nullptr) {
        WorldNode* next = head->next;
        delete head;
        head = next;
    }
}

void World::step() {
    lastPassCount = 0;
    ++changes_;  // the queries' view of the last step is out of date until this one ends
    if (head == nullptr || head->next == nullptr) {
        dropContacts(scratch_, nullptr);
        return;
    }
    StepScratch& s = scratch_ != nullptr ? *scratch_ : *(scratch_ = new StepScratch);
    integrate(s, head);
    if (!s.listKept) {
        labelPoses(s);
    }
    head = sortList(s);
    // The bodies and circles in sorted order; a circle two bodies share may have moved: reread.
    const size_t n = s.keys.size();
    s.bodies.resize(n);
    s.broad.sorted.resize(n);
    for (size_t k = 0; k < n; ++k) {
        const StepScratch::Listed& b = s.listed[s.keys[k].index];
        s.bodies[k] = b.body;
        s.broad.sorted[k] = b.circle;
        if (s.posesShared && b.body.body->circle != nullptr) {
            s.broad.sorted[k].circle = *b.body.body->circle;
        }
    }
    s.broad.findPairs();
    if (s.filtered) {
        std::erase_if(s.broad.pairs, [&](const Pair& p) {
            return !s.bodies[p.a].body->collidesWith(*s.bodies[p.b].body);
        });
    }
    lastPassCount = s.solver.solve(s.bodies, s.broad.pairs, s.vertices, s.posesShared);
    s.changes = changes_;
    s.poseWrites = poseWrites;
}

std::span<const StepContact> World::contacts() const {
    return scratch_ != nullptr ? scratch_->solver.contacts : std::span<const StepContact>{};
}

void World::sortByMinX() {
    if (head == nullptr) {
        return;
    }
    StepScratch& s = scratch_ != nullptr ? *scratch_ : *(scratch_ = new StepScratch);
    s.listed.clear();
    s.keys.clear();
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        s.keys.push_back(SortKey{node->minX, static_cast<uint32_t>(s.listed.size())});
        s.listed.push_back({{node, node->body, nullptr, nullptr, 0}, {}});
    }
    head = sortList(s);
}

}  // namespace scrapvolt
