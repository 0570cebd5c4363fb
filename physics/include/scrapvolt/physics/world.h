#pragma once

#include <cstdint>

#include <scrapvolt/physics/body.h>

namespace scrapvolt {

/// One body's place in a world's list; made by World::add, freed by remove and clear.
struct WorldNode {
    Body* body;
    WorldNode* next;
    float minX;  ///< left end of the body's bounding-circle interval on x, as of the last step
    float maxX;  ///< right end
};

struct StepScratch;

/// The bodies stepped together, as a singly linked list kept sorted by minX between steps.
///
/// The world refers to its bodies and does not own them: each must stay alive, and bound to its
/// polygon, until it is removed or the world is cleared or destroyed. Add each body once, after
/// its polygon has its vertices (builds without NDEBUG assert both; contains and
/// Polygon::isConvexClockwise are the checks). A body added twice, or two bodies bound to one
/// polygon, share a pose that every pass pushes both ways, so such a step runs to maxPasses.
/// A body whose polygon has no vertices is integrated and takes part in no test.
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
    int32_t lastPassCount = 0;  ///< passes the last step ran (0 when it had under two bodies)

    constexpr World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    /// Puts the body at the front of the list (the next step sorts it in).
    void add(Body& body);
    /// Takes the body's node out of the list (the first one, should it have been added twice);
    /// the other bodies keep their order. False, and nothing changed, when it is not in the world.
    bool remove(Body& body);
    /// True when the body is in the list.
    bool contains(const Body& body) const;
    /// Frees every node; the bodies themselves are not touched.
    void clear();
    /// One tick. With fewer than two bodies it does nothing at all (a lone body is not even
    /// integrated) and lastPassCount is 0. Otherwise it integrates every body once
    /// (Body::integrate), sorts the list by minX, then repeats passes over the pairs whose x
    /// intervals overlapped after integration, calling Body::collide on each (the body earlier in
    /// the list as A), until a pass makes no positional correction or maxPasses have run. Results
    /// are bit for bit those of that plain sweep; the work is less (pairs found once, bodies copied
    /// into contiguous arrays for the passes, a pair found apart tested again only after one of its
    /// bodies was corrected). No bounce, no friction, no gravity, no sleeping. The rotation caches
    /// of tested bodies are refreshed; contactResult may be overwritten. Nothing is allocated
    /// once the working arrays have grown to the world's size.
    void step();
    /// The step's insertion sort by minX, ascending (not stable: a node moved back goes before
    /// equal keys); NaN keys go last.
    void sortByMinX();

  private:
    StepScratch* scratch_ = nullptr;  // the step's working arrays, grown and then reused
};

}  // namespace scrapvolt
