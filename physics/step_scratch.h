#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <scrapvolt/physics/world.h>
#include "fast_contact.h"

namespace scrapvolt {

// Work arrays of one step, indexed by position in the sorted list. They keep their capacity from
// step to step, so a step allocates only when the world has grown since the last one.
struct StepScratch {
    struct Pair {
        uint32_t a;  // sorted positions, a < b: a's body takes the role A
        uint32_t b;
    };
    struct Slot {  // one entry of the open-addressing table from pose to pose index
        const Pose* pose;
        uint32_t step;
        uint32_t index;
    };

    std::vector<Body*> bodies;
    // Each body's polygon and its vertex and edge arrays, fetched into the cache ahead of use.
    struct Shape {
        const Polygon* polygon;
        const void* vertices;
        const void* edges;
    };
    std::vector<Shape> shapes;
    std::vector<float> maxX;
    std::vector<float> minX;
    std::vector<float> centreX;
    std::vector<float> centreY;
    std::vector<float> radius;
    // Bodies that share one pose (a polygon bound to two bodies, or a body added twice) share
    // one index here, since a correction of either moves both.
    std::vector<uint32_t> poseIndex;
    std::vector<uint64_t> correctedAt;   // by pose index: query clock of the last correction
    std::vector<uint8_t> rotationFresh;  // by pose index: rotation cache refreshed in this step
    std::vector<Pair> pairs;
    // Direct passes, by pair: query clock of the test that last found it apart, or 0 when it
    // must be tested.
    std::vector<uint64_t> apartSince;
    std::vector<Slot> table;
    bool posesShared = false;  // some pose is shared by two bodies in this step

    // The step's copies of the bodies that take part in a pair, by sorted position: the passes
    // read and write these instead of the bodies scattered through memory, and the step writes
    // them back at its end.
    struct BodyCopy {
        // What the contact query reads: the pose position (which corrections move) and the
        // rotation caches in the pools, from shape.vertices on.
        ShapeView shape;
        Vec2 velocity;
        float angularVelocity;
        float inverseMass;
        float inverseInertia;
        bool moved;  // the body's flag as the passes leave it
        // Marking after corrections: the pass of the body's last correction, and the first of
        // its pairs (an index into pairsOf) that lay after that correction's pair.
        int32_t markedPass;
        uint32_t markedTo;
    };
    std::vector<BodyCopy> copies;
    std::vector<Vec2> vertexPool;
    std::vector<Vec2> normalPool;
    std::vector<float> offsetPool;
    // Each body's pairs in pass order: pairsOf[pairsOfStart[k]] to pairsOf[pairsOfStart[k + 1]].
    std::vector<uint32_t> pairsOfStart;
    std::vector<uint32_t> pairsOf;
    // Bit sets over the pairs: those to test in this pass and in the next.
    std::vector<uint64_t> due;
    std::vector<uint64_t> dueNext;
    // Bit set over the pairs: found touching at the last test.
    std::vector<uint64_t> touching;
    int32_t pass = 0;  // the pass under way, from 1
    bool scratchAtOrigin = true;
    // The broad phase's bands: each body's first and last band ({1, 0} for a large body), each
    // band's members in sorted order, the large bodies in sorted order (ended by n).
    float bandHeight = 1.0f;
    std::vector<std::pair<int32_t, int32_t>> bandOf;
    std::vector<uint32_t> bandStart;
    std::vector<uint32_t> bandFill;
    std::vector<uint32_t> bandMembers;
    std::vector<uint32_t> large;
    std::vector<uint32_t> found;
    struct Key {
        float minX;
        WorldNode* node;
    };
    std::vector<Key> keys;  // the sort's array
    uint32_t stepCount = 0;
};

// Fills s.pairs with the pairs a pass tests, in the order it tests them (see broad_phase.cpp),
// from the sorted arrays that World::step has gathered.
void findPairs(StepScratch& s, uint32_t n);

// The passes on the step's copies (see copied_passes.cpp): copyBodies refreshes the rotation
// caches of the bodies in pairs and copies them, or returns false when the copies cannot stand
// for the bodies (poses shared); runCopiedPasses returns the pass count; writeBack stores the
// copies' poses, velocities and moved flags in the bodies.
bool copyBodies(StepScratch& s, uint32_t n);
int32_t runCopiedPasses(StepScratch& s);
void writeBack(StepScratch& s, uint32_t n);

}  // namespace scrapvolt
