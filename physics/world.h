#pragma once

#include <cstdint>

#include "body.h"

struct WorldNode {
    Body* body;
    WorldNode* next;
    float minX;  // left end of the body's bounding-circle interval on x
    float maxX;  // right end
};

struct StepScratch;

// The bodies stepped together, as a singly linked list kept sorted by minX between steps.
struct World {
    // Upper bound on the passes of one step. Without it a movable body squeezed between two
    // immovable ones in a gap narrower than itself is pushed to and fro for ever. Measured need:
    // the arena settles in at most 2 passes (100000 ticks); "topdown-squares" takes up to 7
    // passes plain and up to 127 with kick100 over the benchmark's 1100 steps. Only jams need
    // more: kick100 run for 4000 steps packs rows of squares against the walls, which then take
    // up to 973 passes at N = 1000 and 2107 at N = 5000. A step cut short leaves a small overlap
    // that later steps remove. A capped step costs 1024 passes over the step's touching pairs:
    // in the benchmark's jam (196 squares packed tighter than they fit, so that nearly every
    // pair is corrected in every pass) a capped step takes about 20 ms (median, 2-core 2.1 GHz
    // machine); a single squeezed body among resting ones costs far less, since pairs found
    // apart are not queried again until one of their bodies moves.
    static constexpr int32_t maxPasses = 1024;

    WorldNode* head = nullptr;
    int32_t lastPassCount = 0;  // passes the last step ran (0 when it had under two bodies)

    constexpr World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void add(Body& body);
    void clear();
    // Integrates every body, sorts the list, then repeats passes over the pairs whose intervals
    // and circles overlap until a pass makes no positional correction (or maxPasses).
    void step();
    // Insertion sort by minX, ascending; NaN keys go last.
    void sortByMinX();

  private:
    StepScratch* scratch_ = nullptr;  // the step's working arrays, grown and then reused
};
