// Copies give the step's results: the first pass tests every pair, refreshing each body's rotation
// before its first test, once (angles do not change in a step); passes change only positions,
// velocities and moved flags. A pair found apart stays apart until a pose of it moves: a later
// pass tests those touching in the pass before (the impulse acts again) or moved since tested.
#include "solver.h"

#include <bit>
#include <cmath>
#include <numeric>

#include "contact_resolution.h"

namespace scrapvolt {

// A pose copy as the contact walk reads it.
struct Solver::Shape {
    const PoseCopy& copy;
    const Corner* corners;
    int32_t count() const { return copy.count; }
    float x() const { return copy.x; }
    float y() const { return copy.y; }
    Vec2 vertex(int32_t i) const { return corners[i].vertex; }
    Vec2 normal(int32_t i) const { return corners[i].normal; }
    float offset(int32_t i) const { return corners[i].offset; }
};

namespace {

constexpr uint32_t none = UINT32_MAX;

void setBit(std::vector<uint64_t>& bits, uint32_t k) {
    bits[k >> 6] |= uint64_t{1} << (k & 63);
}

// True when the walk would find the point beyond some edge of a - b: no contact. First, cheaply,
// an edge of a with b's pose point beyond its line by more than b's extent (every vertex of b is
// beyond) and than rounding bridges: the walk's distance n . (q - (va_i - vb_s)) in floats errs by
// about 8 * 2^-24 * S, S = |qx| + |qy| + reach(a) + reach(b), as does this value; the margin
// 1e-5 * S is twenty times both (NaN or infinite input: none). Then a's edge facing b, as walked.
template <typename Shape>
bool certainlyApart(const Shape& a, const Shape& b, const Vec2& origin) {
    const Vec2 q = differencePoint(a, b, origin);
    const float margin =
        1e-5f * (std::fabs(q.x) + std::fabs(q.y) + a.copy.reach + b.copy.reach) + 1e-30f;
    int32_t facing = 0;
    float most = -INFINITY;
    for (int32_t i = 0; i < a.count(); ++i) {
        const Vec2 n = a.normal(i);
        const float beyond = n.x * (q.x - a.vertex(i).x) + n.y * (q.y - a.vertex(i).y);
        if (beyond > b.copy.extent + margin) {
            return true;
        }
        facing = beyond > most ? i : facing;
        most = beyond > most ? beyond : most;
    }
    const Vec2 va = a.vertex(facing);
    const Vec2 vb = b.vertex(supportVertex(a, facing, b));
    const Vec2 n = a.normal(facing);
    return lineDistance(q.x, q.y, n, lineOffset(n, Vec2{va.x - vb.x, va.y - vb.y})) > 0.0f;
}

}  // namespace

uint32_t Solver::copyOf(const StepBody& step, bool posesShared) {
    Body* body = step.body;
    uint32_t index = posesShared ? copyOfPose_[step.label] : none;
    if (index == none) {
        Polygon& polygon = *step.polygon;
        polygon.updateRotation();
        const uint32_t first = static_cast<uint32_t>(corners_.size());
        const int32_t count = polygon.vertexCount;
        float reach = 0.0f, extent = 0.0f;
        for (int32_t i = 0; i < count; ++i) {
            const Vec2 v = polygon.rotatedVertices[i];
            corners_.push_back(Corner{v, polygon.edges[i].rotatedNormal, polygon.edges[i].offset});
            reach += std::fabs(v.x) + std::fabs(v.y);
            extent = std::max(extent, std::fabs(v.x) + std::fabs(v.y));
        }
        index = static_cast<uint32_t>(poses_.size());
        copyOfPose_[posesShared ? step.label : 0] = index;
        poses_.push_back(PoseCopy{step.pose->x, step.pose->y, first, count, reach, extent});
        states_.push_back(PoseState{step.pose, none, 0, 0});
    }
    PoseState& state = states_[index];
    for (uint32_t b = state.firstBody; b != none; b = bodies_[b].nextOfPose) {
        if (bodies_[b].body == body) {
            return b;  // added twice
        }
    }
    bodies_.push_back(BodyCopy{body, body->velocity, body->angularVelocity, body->inverseMass,
                               body->inverseInertia, index, state.firstBody, none, false,
                               body->sensor, 0});
    body->moved = false;  // as its first test leaves it; write-back sets it again where due
    state.firstBody = static_cast<uint32_t>(bodies_.size() - 1);
    return state.firstBody;
}

// The copies in sorted order, the pairs in copies, each pose's pairs in pass order.
void Solver::copyBodies(std::span<const StepBody> bodies, const std::vector<Pair>& pairs,
                        size_t vertices, bool posesShared) {
    const size_t n = bodies.size();
    // Emptied, with room for every body and pair: later steps allocate only when the world grew.
    const auto empty = [](size_t size, auto&... v) { ((v.clear(), v.reserve(size)), ...); };
    empty(n + 1, copyOfPose_, copyAt_, pairsOfStart_, poses_, states_, bodies_);
    empty(pairs.capacity(), kept_, contactOf_, contacts);
    empty(pairs.capacity() / 64 + 1, due_, dueNext_);
    empty(vertices, corners_);
    empty(48 * n, keptEdges_);  // enough for a jam, where every body touches several others
    pairs_.reserve(pairs.capacity());
    posePairs_.reserve(pairs.capacity());
    pairsOf_.reserve(2 * pairs.capacity());
    copyAt_.assign(n, none);
    for (const Pair& pair : pairs) {
        copyAt_[pair.a] = 0;
        copyAt_[pair.b] = 0;
    }
    copyOfPose_.assign(posesShared ? n : 1, none);
    for (size_t k = 0; k < n; ++k) {
        // The bodies lie scattered in memory: fetched a few places ahead, in two hops.
        if (k + 2 * prefetchDistance < n) {
            fetchAhead(bodies[k + 2 * prefetchDistance].body, sizeof(Body));
            fetchAhead(bodies[k + 2 * prefetchDistance].polygon, sizeof(Polygon));
        }
        if (k + prefetchDistance < n && copyAt_[k + prefetchDistance] != none) {
            const Polygon& polygon = *bodies[k + prefetchDistance].polygon;
            const size_t count = static_cast<size_t>(polygon.vertexCount);
            fetchAhead(polygon.localVertices, count * sizeof(Vec2));
            fetchAhead(polygon.rotatedVertices, count * sizeof(Vec2));
            fetchAhead(polygon.edges, count * sizeof(PolygonEdge));
        }
        if (copyAt_[k] != none) {
            copyAt_[k] = copyOf(bodies[k], posesShared);
        }
    }
    pairs_.resize(pairs.size());
    posePairs_.resize(pairs.size());
    pairsOfStart_.assign(poses_.size() + 1, 0);
    for (size_t p = 0; p < pairs_.size(); ++p) {
        pairs_[p] = Pair{copyAt_[pairs[p].a], copyAt_[pairs[p].b]};
        posePairs_[p] = Pair{bodies_[pairs_[p].a].pose, bodies_[pairs_[p].b].pose};
        bodies_[pairs_[p].a].lastPair = static_cast<uint32_t>(p);
        bodies_[pairs_[p].b].lastPair = static_cast<uint32_t>(p);
        ++pairsOfStart_[posePairs_[p].a];
        ++pairsOfStart_[posePairs_[p].b];
    }
    pairsOf_.resize(2 * pairs_.size());
    std::partial_sum(pairsOfStart_.begin(), pairsOfStart_.end(), pairsOfStart_.begin());
    // Filled from the back: each range ascending, its start moved from its end to its first.
    for (size_t p = pairs_.size(); p-- > 0;) {
        pairsOf_[--pairsOfStart_[posePairs_[p].a]] = static_cast<uint32_t>(p);
        pairsOf_[--pairsOfStart_[posePairs_[p].b]] = static_cast<uint32_t>(p);
    }
}

// After a correction at pair p moved the pose: its later pairs are due in this pass, its earlier
// ones (p too) in the next. After a second correction in a pass, only those from markedTo move on.
void Solver::markPairsOf(uint32_t pose, uint32_t p) {
    PoseState& copy = states_[pose];
    const bool again = copy.markedPass == pass_;
    uint32_t r = again ? copy.markedTo : pairsOfStart_[pose];
    for (; r != pairsOfStart_[pose + 1] && pairsOf_[r] <= p; ++r) {
        setBit(dueNext_, pairsOf_[r]);
    }
    copy.markedPass = pass_;
    copy.markedTo = r;
    for (; !again && r != pairsOfStart_[pose + 1]; ++r) {
        setBit(due_, pairsOf_[r]);
    }
}

// What Body::collide does after its circle pre-test; true when it made a positional correction.
bool Solver::testPair(uint32_t p) {
    const Pair poses = posePairs_[p];
    PoseCopy &poseA = poses_[poses.a], &poseB = poses_[poses.b];
    const Shape shapeA{poseA, corners_.data() + poseA.first};
    const Shape shapeB{poseB, corners_.data() + poseB.first};
    const Contact* found = nullptr;
    Kept& kept = kept_[p];
    if (kept.count != 0 && kept.count != none) {
        found = keptContact(kept, shapeA, shapeB);
    } else if (!certainlyApart(shapeA, shapeB, origin_)) {
        found = walkContact(shapeA, shapeB, origin_);
        // Touching, or walked before (too shallow, or near): most likely tested again.
        if (kept.count == 0 && (found != nullptr || kept.first == none)) {
            keep(kept, shapeA, shapeB);
        } else if (kept.count == 0) {
            kept.first = none;
        }
    }
    if (found == nullptr) {
        return false;
    }
    BodyCopy &a = bodies_[pairs_[p].a], &b = bodies_[pairs_[p].b];
    if (contactOf_[p] == none) {
        contactOf_[p] = static_cast<uint32_t>(contacts.size());
        contacts.push_back({a.body, b.body, {}, {}, a.sensor || b.sensor});
    }
    contacts[contactOf_[p]].point = found->point;
    contacts[contactOf_[p]].normal = found->normal;
    if (a.sensor || b.sensor) {
        return false;  // reported only: tested again when one of its poses moves
    }
    setBit(dueNext_, p);  // touching: the impulse acts again in the next pass
    a.touched = true;
    b.touched = true;
    const auto at = [](const PoseCopy& c) { return std::bit_cast<uint64_t>(Vec2{c.x, c.y}); };
    const uint64_t before[2] = {at(poseA), at(poseB)};
    if (!resolveContactMotion(
            {poseA.x, poseA.y, a.velocity, a.angularVelocity, a.inverseMass, a.inverseInertia},
            {poseB.x, poseB.y, b.velocity, b.angularVelocity, b.inverseMass, b.inverseInertia},
            found->separation, found->point, found->normal)) {
        return false;
    }
    a.correctedIn = p == a.lastPair ? pass_ : a.correctedIn;
    b.correctedIn = p == b.lastPair ? pass_ : b.correctedIn;
    // Only a moved pose changes its pairs' answers (a wall keeps its place, bit for bit).
    if (at(poseA) != before[0]) {
        markPairsOf(poses.a, p);
    }
    if (at(poseB) != before[1]) {
        markPairsOf(poses.b, p);
    }
    return true;
}

// Walks a - b once more, keeping its edges while there is room.
void Solver::keep(Kept& kept, const Shape& a, const Shape& b) {
    kept.first = static_cast<uint32_t>(keptEdges_.size());
    const bool fits = forEachDifferenceEdge(a, b, [&](const DifferenceEdge& e) {
        if (keptEdges_.size() == keptEdges_.capacity()) {
            return true;
        }
        keptEdges_.push_back(e);
        return false;
    });
    kept.count = fits ? static_cast<uint32_t>(keptEdges_.size()) - kept.first : none;
    keptEdges_.resize(fits ? keptEdges_.size() : kept.first);
}

// As walkContact, from the kept edges.
const Contact* Solver::keptContact(const Kept& kept, const Shape& a, const Shape& b) const {
    const DifferenceEdge* edges = keptEdges_.data() + kept.first;
    const Vec2 q = differencePoint(a, b, origin_);
    NearestEdge<uint32_t> search;
    for (uint32_t e = 0; e < kept.count; ++e) {
        if (search.beyond(lineDistance(q.x, q.y, edges[e].normal, edges[e].offset), e)) {
            return nullptr;
        }
    }
    const DifferenceEdge& e = edges[search.nearest()];
    return writeContact(a, b, lineDistance(q.x, q.y, e.normal, e.offset), e);
}

// Writes back to the bodies that touched (no other was corrected): poses that moved, motions and
// moved flags. In the plain step each test clears both flags and each correction sets them: a
// flag ends set when the body's last pair was corrected in the last pass.
void Solver::writeBack() {
    for (const BodyCopy& copy : bodies_) {
        if (!copy.touched) {
            continue;
        }
        const PoseState& state = states_[copy.pose];
        if (state.markedPass != 0) {  // moved
            drift = std::max(drift, std::fabs(poses_[copy.pose].x - state.pose->x) +
                                        std::fabs(poses_[copy.pose].y - state.pose->y));
            state.pose->x = poses_[copy.pose].x;
            state.pose->y = poses_[copy.pose].y;
        }
        copy.body->velocity = copy.velocity;
        copy.body->angularVelocity = copy.angularVelocity;
        copy.body->moved = copy.correctedIn == pass_;
    }
}

int32_t Solver::solve(std::span<const StepBody> bodies, const std::vector<Pair>& pairs,
                      size_t vertices, bool posesShared) {
    copyBodies(bodies, pairs, vertices, posesShared);
    drift = 0.0f;
    origin_ = Vec2{minkowskiScratch.x, minkowskiScratch.y};  // nothing in a step moves it
    const uint32_t count = static_cast<uint32_t>(pairs_.size());
    const size_t words = (static_cast<size_t>(count) + 63) / 64;
    due_.assign(words, ~uint64_t{0});
    if (count % 64 != 0) {
        due_.back() = (uint64_t{1} << (count % 64)) - 1;
    }
    dueNext_.assign(words, 0);
    kept_.assign(count, Kept{0, 0});
    contactOf_.assign(count, none);
    pass_ = 0;
    for (bool quiet = false; !quiet && pass_ < World::maxPasses;) {
        quiet = true;
        ++pass_;
        for (size_t w = 0; w < words; ++w) {
            // Reread after each test: a correction may mark later pairs of this word.
            while (due_[w] != 0) {
                const uint32_t p = static_cast<uint32_t>(w * 64 + std::countr_zero(due_[w]));
                due_[w] &= due_[w] - 1;
                quiet = !testPair(p) && quiet;
            }
        }
        due_.swap(dueNext_);
        std::fill(dueNext_.begin(), dueNext_.end(), 0);
    }
    writeBack();
    return pass_;
}

}  // namespace scrapvolt
