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
    // immovable ones in a gap narrower than itself is pushed to and fro for ever, and a jam
    // (bodies packed tighter than they fit) never settles within a step however many passes it
    // gets: each pass only hands the overlap on to the neighbours. A step cut short leaves a
    // small overlap that later steps remove, so a low cap costs little accuracy and bounds the
    // time of a jammed step. Measured need of unjammed scenes: the arena settles in at most 2
    // passes (100000 ticks); "topdown-squares" takes up to 7 passes plain and up to 127 with
    // kick100 over the benchmark's 1100 steps at N = 5000, which this cap keeps bit for bit.
    // A capped step in the benchmark's jam (196 squares packed tighter than they fit, nearly
    // every pair corrected in every pass, about 920 pair tests a pass) takes about 4.1 ms
    // (median of three runs on a quiet 2-core 2.1 GHz machine), against about 100 ms when the
    // cap was 1024 and every pass queried every pair.
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
    // and circles overlap until a pass makes no positional correction (or maxPasses). The
    // results are those of sweeping the whole list and calling Body::collide on each such pair
    // in every pass, bit for bit; the work is less: the pairs are found once per step, the
    // bodies in pairs are copied into contiguous arrays for the passes and written back after,
    // a pair found apart is tested again only once one of its bodies has been corrected, and
    // pairs clearly apart are rejected before the full contact query. Nothing is allocated once
    // the working arrays have grown to the world's size.
    void step();
    // Insertion sort by minX, ascending; NaN keys go last.
    void sortByMinX();

  private:
    StepScratch* scratch_ = nullptr;  // the step's working arrays, grown and then reused
};

}  // namespace scrapvolt
