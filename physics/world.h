#pragma once

#include <cstdint>

#include "body.h"

struct WorldNode {
    Body* body;
    WorldNode* next;
    float minX;  // left end of the body's bounding-circle interval on x
    float maxX;  // right end
};

// The bodies stepped together, as a singly linked list kept sorted by minX between steps.
struct World {
    // Upper bound on the passes of one step. Without it a movable body squeezed between two
    // immovable ones in a gap narrower than itself would be pushed to and fro for ever. Measured
    // need: the arena settles in at most 2 passes (100000 ticks); "topdown-squares" takes up to 7
    // plain and up to 127 with kick100 over the benchmark's 1100 steps, and up to 973 when
    // kick100 runs 4000 steps at N = 1000 and packs the squares against the walls. A step cut
    // short leaves a small overlap for the next step; at 1024 only jams beyond those are cut,
    // and a squeezed body costs the arena well under a millisecond per tick.
    static constexpr int32_t maxPasses = 1024;

    WorldNode* head = nullptr;
    int32_t lastPassCount = 0;  // passes the last step ran (0 when it had under two bodies)

    constexpr World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void add(Body& body);
    void clear();
    void step();
    // Insertion sort by minX, ascending; NaN keys go last.
    void sortByMinX();
};
