#include "world.h"

#include <cmath>
#include <limits>

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

// One sweep over the sorted list: each node is tested against the nodes after it whose interval
// starts strictly left of its right end. True when no pair was corrected.
bool sweep(WorldNode* head) {
    bool quiet = true;
    for (WorldNode* i = head; i != nullptr && i->next != nullptr; i = i->next) {
        for (WorldNode* j = i->next; j != nullptr && j->minX < i->maxX; j = j->next) {
            if (i->body->collide(*j->body)) {
                quiet = false;
            }
        }
    }
    return quiet;
}

}  // namespace

World::~World() {
    clear();
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
    for (WorldNode* node = head; node != nullptr; node = node->next) {
        integrateNode(*node);
    }
    sortByMinX();
    // Intervals and circles stay as integrated: later passes only see the poses that positional
    // corrections have moved, through the contact query.
    bool quiet = false;
    while (!quiet && lastPassCount < maxPasses) {
        quiet = sweep(head);
        ++lastPassCount;
    }
}

// A node already in order stays; one out of order goes in front of the first node whose key is
// not below its own, so equal keys do not keep their order. Nearly sorted lists (the previous
// tick's order) cost about linear time.
void World::sortByMinX() {
    if (head == nullptr) {
        return;
    }
    WorldNode* p = head;
    WorldNode* q = p->next;
    while (q != nullptr) {
        if (!keyBefore(q->minX, p->minX)) {
            p = q;
        } else {
            p->next = q->next;
            // Stops at p at the latest, since q comes before p.
            WorldNode** link = &head;
            while (keyBefore((*link)->minX, q->minX)) {
                link = &(*link)->next;
            }
            q->next = *link;
            *link = q;
        }
        q = p->next;
    }
}
