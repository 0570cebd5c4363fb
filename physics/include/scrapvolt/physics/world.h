#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <scrapvolt/physics/body.h>

namespace scrapvolt {

/// One body's place in a world's list; made by World::add, freed by remove and clear.
struct WorldNode {
    Body* body;
    WorldNode* next;
    float minX;  ///< left end of the body's bounding-circle interval on x, as of the last step
    float maxX;  ///< right end
    int32_t vertexCount;  ///< the polygon's when the body was added; it must keep them
};

/// A pair of bodies that touched during a step: the contact query found them overlapping in at
/// least one of its passes, whether or not a correction followed (two immovable bodies touch
/// too). point and normal are those of the pair's last contact in the step (Contact).
struct StepContact {
    Body* bodyA;  ///< the body earlier in the sorted list, A in Body::collide
    Body* bodyB;
    Vec2 point;
    Vec2 normal;  ///< unit, from A towards B
    bool sensor;  ///< one of the bodies is a sensor: reported, not resolved
};

/// What World::rayCast found: the body, the point where the segment enters its polygon, that
/// edge's unit outward normal and the point's fraction of the way from `from` to `to`, in [0, 1].
struct RayHit {
    Body* body;
    Vec2 point;
    Vec2 normal;
    float fraction;
};

struct StepScratch;

/// The bodies stepped together, as a singly linked list kept sorted by minX between steps.
///
/// The world refers to its bodies and does not own them: each must stay alive, and bound to its
/// polygon, until it is removed or the world is cleared or destroyed. Add each body once, after
/// its polygon has its vertices, and keep their count while the body is in (builds without
/// NDEBUG assert all three; contains and Polygon::isConvexClockwise are the checks). A body added
/// twice, or two bodies bound to one polygon, share a pose that every pass pushes both ways: such
/// a step runs to maxPasses. A body whose polygon has no vertices is integrated, never tested.
struct World {
    // Upper bound on a step's passes: a movable body squeezed between immovable ones in a gap
    // narrower than itself is pushed to and fro for ever, and a jam never settles. A step cut
    // short leaves a small overlap for later steps. The arena needs at most 2, topdown-squares
    // at N = 5000 up to 7 plain and 127 with kick100.
    static constexpr int32_t maxPasses = 128;

    WorldNode* head = nullptr;
    int32_t lastPassCount = 0;  ///< passes the last step ran

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
    /// One tick. Under two bodies it does nothing (not even integrate): 0 passes, no contacts.
    /// Otherwise: integrates every body once, sorts the list by minX, then repeats passes over
    /// the pairs whose x intervals overlap, calling Body::collide (the earlier body as A), until a
    /// pass makes no positional correction or maxPasses ran; bit for bit the results of that plain
    /// sweep. No bounce, friction, gravity or sleeping. Refreshes the rotation caches of tested
    /// bodies. Allocates nothing once grown to the world's size.
    void step();
    /// The pairs that touched during the last step, in the order they first touched (storage
    /// grown with the world, then reused). add leaves a span as it was; step and clear refill and
    /// empty the list, and remove drops the body's pairs and moves later ones up, so an older span
    /// reads pairs shifted and, past the new end, stale: collect the bodies, then remove them.
    std::span<const StepContact> contacts() const;
    /// Queries answer for the poses as of the last step, add, remove or Body::setPose (a pose
    /// written otherwise is seen from the next of these), and for bodies whose categoryBits meet
    /// maskBits. They report each body once, in no promised order, append to out and change
    /// nothing a step reads. Right after a step they read its sorted intervals and bands; after
    /// an add, remove or setPose they test every body until the next step.
    /// Every body whose polygon contains the point (one within rounding of an edge: either way).
    void queryPoint(Vec2 point, std::vector<Body*>& out, uint64_t maskBits = ~0ull) {
        queryBox(point, point, out, maskBits);
    }
    /// Every body whose polygon overlaps or touches the box; an inverted box holds nothing.
    void queryBox(Vec2 lower, Vec2 upper, std::vector<Body*>& out, uint64_t maskBits = ~0ull);
    /// The first polygon the segment enters, nearest `from`; a polygon the segment starts inside
    /// is not hit. False, hit untouched, when there is none.
    bool rayCast(Vec2 from, Vec2 to, RayHit& hit, uint64_t maskBits = ~0ull);

    /// The step's insertion sort by minX, ascending (not stable: a node moved back goes before
    /// equal keys); NaN keys go last.
    void sortByMinX();

  private:
    StepScratch* layout();  // the last step's arrays, unless a body changed since

    StepScratch* scratch_ = nullptr;  // the step's working arrays, grown and then reused
    uint64_t changes_ = 0;            // steps, adds, removes and clears
};

}  // namespace scrapvolt
