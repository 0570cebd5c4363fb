#pragma once

#include <cstdint>

#include <scrapvolt/physics/body.h>

namespace scrapvolt {

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
    // immovable ones in a gap narrower than itself is pushed to and fro for ever, and a jam never
    // settles within a step: each pass only hands the overlap on. A step cut short leaves a small
    // overlap that later steps remove. Unjammed scenes need far fewer: the arena at most 2,
    // "topdown-squares" at N = 5000 up to 7 plain and 127 with kick100.
    static constexpr int32_t maxPasses = 128;

    WorldNode* head = nullptr;
    int32_t lastPassCount = 0;  // passes the last step ran (0 when it had under two bodies)

    constexpr World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void add(Body& body);
    void clear();
    // Integrates every body, sorts the list, then repeats passes over the pairs whose intervals
    // and circles overlap until a pass makes no positional correction (or maxPasses), with the
    // results of calling Body::collide on each such pair in every pass, bit for bit. Allocates
    // nothing once its working arrays have grown to the world's size.
    void step();
    // Insertion sort by minX, ascending; NaN keys go last.
    void sortByMinX();

  private:
    StepScratch* scratch_ = nullptr;  // the step's working arrays, grown and then reused
};

}  // namespace scrapvolt
