#pragma once
// What World::step keeps from step to step, and the queries read after it.
#include <array>
#include <cstdint>
#include <vector>

#include "broad_phase.h"
#include "solver.h"

namespace scrapvolt {

extern uint64_t poseWrites;  // Body::setPose calls, body.cpp

// The step's working arrays, kept from step to step: a step allocates only as the world grows.
struct StepScratch {
    // By place in the list: a body's record and its circle and interval as integration left them.
    struct Listed {
        StepBody body;
        StepCircle circle;
    };
    std::vector<Listed> listed;
    std::vector<SortKey> keys;
    // By sorted place, as broad's circles: what integrate expects the next step's list to be.
    std::vector<StepBody> bodies;
    BroadPhase broad;
    size_t vertices = 0;  // of every body's polygon
    // Labels are kept while the list and the bodies' poses stay as they were, else found again.
    bool posesShared = false;
    bool listKept = false;
    bool filtered = false;  // some body's mask or category may keep a pair from being tested
    std::vector<uint32_t> seen;
    Solver solver;
    // World::changes_ and poseWrites as the last step left them: while both hold, the queries
    // read the step's circles and bands.
    uint64_t changes = 0;
    uint64_t poseWrites = 0;
    // The large bodies' bounds (lower x, lower y, upper x, upper y) where they are, by place in
    // broad.large: made by the first query after the step whose changes count is boundsOf.
    std::vector<std::array<float, 4>> largeBounds;
    uint64_t boundsOf = ~uint64_t{0};
};

}  // namespace scrapvolt
