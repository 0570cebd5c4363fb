// The passes of World::step on contiguous copies of the bodies in candidate pairs, testing only
// the pairs that a correction may have changed.
//
// Why the copies give the same results: every pair is tested in the first pass, so every body
// in a pair has its rotation cache refreshed before its first test, once (its angle does not
// change within a step); the passes change only poses, velocities and moved flags, which the
// copies carry and the step writes back. Bodies in no pair are not touched. A body's moved flag
// ends as its last test left it: cleared by the test, set again by a positional correction.
//
// Why only some pairs are tested: a pair found apart gives the same answer until one of its two
// bodies is corrected, since the query reads only their poses and rotation caches. So a pass
// tests the pairs found touching in the pass before, and those with a body corrected since their
// last test: a correction at pair p marks the body's later pairs for this pass and its earlier
// pairs for the next. Pairs are kept in bit sets, walked in pass order.
#include <bit>
#include <cmath>

#include "contact_impulse.h"
#include "fast_contact.h"
#include "step_scratch.h"

namespace scrapvolt {

namespace {

using BodyCopy = StepScratch::BodyCopy;

void setBit(std::vector<uint64_t>& bits, uint32_t k) {
    bits[k >> 6] |= uint64_t{1} << (k & 63);
}

// Each body's pairs, in pass order, as ranges of one array.
void listPairsOfBodies(StepScratch& s, uint32_t n) {
    s.pairsOfStart.assign(static_cast<size_t>(n) + 1, 0);
    for (const StepScratch::Pair& pair : s.pairs) {
        ++s.pairsOfStart[pair.a];
        ++s.pairsOfStart[pair.b];
    }
    for (uint32_t k = 1; k <= n; ++k) {  // now each start holds the end of its range
        s.pairsOfStart[k] += s.pairsOfStart[k - 1];
    }
    s.pairsOf.reserve(2 * s.pairs.capacity());  // grows with the pair list only
    s.pairsOf.resize(2 * s.pairs.size());
    // Filled from the back, each range ends ascending and its start moves to its beginning.
    for (size_t p = s.pairs.size(); p-- > 0;) {
        const StepScratch::Pair& pair = s.pairs[p];
        s.pairsOf[--s.pairsOfStart[pair.a]] = static_cast<uint32_t>(p);
        s.pairsOf[--s.pairsOfStart[pair.b]] = static_cast<uint32_t>(p);
    }
}

constexpr uint32_t prefetchDistance = 8;

void prefetchBody(const StepScratch& s, uint32_t k) {
    const StepScratch::Shape& shape = s.shapes[k];
    __builtin_prefetch(s.bodies[k]);
    __builtin_prefetch(shape.polygon);
    __builtin_prefetch(shape.vertices);
    __builtin_prefetch(shape.edges);
    __builtin_prefetch(static_cast<const char*>(shape.edges) + 64);
}

// The query on two copies; a polygon too large for the views is asked itself, with its pose
// brought up to date first.
const Contact* contactOf(const StepScratch& s, uint32_t ia, uint32_t ib, bool likelyTouching) {
    const ShapeView& a = s.copies[ia].shape;
    const ShapeView& b = s.copies[ib].shape;
    if (a.vertexCount <= fastContactMaxVertices && b.vertexCount <= fastContactMaxVertices) {
        return fastContact(a, b, !likelyTouching && s.scratchAtOrigin);
    }
    Body& bodyA = *s.bodies[ia];
    Body& bodyB = *s.bodies[ib];
    bodyA.pose->x = a.x;
    bodyA.pose->y = a.y;
    bodyB.pose->x = b.x;
    bodyB.pose->y = b.y;
    return bodyA.polygon->contact(*bodyB.polygon);
}

// Body::resolveContact on two copies; returns whether it made a positional correction.
bool resolve(BodyCopy& a, BodyCopy& b, const Contact& contact) {
    return resolveContactMotion(
        {a.shape.x, a.shape.y, a.velocity, a.angularVelocity, a.inverseMass, a.inverseInertia},
        {b.shape.x, b.shape.y, b.velocity, b.angularVelocity, b.inverseMass, b.inverseInertia},
        contact.separation, contact.point, contact.normal);
}

// After a correction at pair p: the body's other pairs are due again, later ones in this pass.
// Pair p itself goes to the next pass, where it is already (touching), so no test singles it out.
// The body's pairs are in ascending order, so a second correction in the same pass need only
// move to the next pass those tested since the first: the later ones are still due in this one.
void markPairsOf(StepScratch& s, uint32_t body, uint32_t p) {
    BodyCopy& copy = s.copies[body];
    const uint32_t* const pairs = s.pairsOf.data();
    uint32_t r = s.pairsOfStart[body];
    const uint32_t end = s.pairsOfStart[body + 1];
    uint64_t* const dueNext = s.dueNext.data();
    const bool again = copy.markedPass == s.pass;
    if (again) {
        r = copy.markedTo;
    }
    for (; r != end && pairs[r] <= p; ++r) {
        dueNext[pairs[r] >> 6] |= uint64_t{1} << (pairs[r] & 63);
    }
    copy.markedPass = s.pass;
    copy.markedTo = r;
    if (!again) {
        uint64_t* const due = s.due.data();
        for (; r != end; ++r) {
            due[pairs[r] >> 6] |= uint64_t{1} << (pairs[r] & 63);
        }
    }
}

// Tests pair p; true when it made a positional correction.
bool testPair(StepScratch& s, uint32_t p) {
    const StepScratch::Pair pair = s.pairs[p];
    BodyCopy& a = s.copies[pair.a];
    BodyCopy& b = s.copies[pair.b];
    a.moved = false;
    b.moved = false;
    // A pair found touching at its last test most likely touches still: the query skips its
    // rejection test, which would only cost time.
    uint64_t& touching = s.touching[p >> 6];
    const uint64_t bit = uint64_t{1} << (p & 63);
    const Contact* found = contactOf(s, pair.a, pair.b, (touching & bit) != 0);
    if (found == nullptr) {
        touching &= ~bit;
        return false;
    }
    touching |= bit;
    setBit(s.dueNext, p);  // touching: the impulse acts again in the next pass
    if (!resolve(a, b, *found)) {
        return false;
    }
    a.moved = true;
    b.moved = true;
    markPairsOf(s, pair.a, p);
    markPairsOf(s, pair.b, p);
    return true;
}

}  // namespace

bool copyBodies(StepScratch& s, uint32_t n) {
    if (s.posesShared) {
        return false;
    }
    listPairsOfBodies(s, n);
    s.copies.resize(n);
    uint32_t vertices = 0;
    for (uint32_t k = 0; k < n; ++k) {
        if (s.pairsOfStart[k] != s.pairsOfStart[k + 1]) {
            const Body& body = *s.bodies[k];
            if (body.pose != static_cast<const Pose*>(body.polygon)) {
                return false;
            }
            vertices += static_cast<uint32_t>(body.polygon->vertexCount);
        }
    }
    if (s.vertexPool.size() < vertices) {
        s.vertexPool.resize(vertices);
        s.normalPool.resize(vertices);
        s.offsetPool.resize(vertices);
    }
    uint32_t first = 0;
    for (uint32_t k = 0; k < n; ++k) {
        // Bodies lie scattered in memory: ask for a body's data a few bodies before its copy.
        if (k + prefetchDistance < n) {
            prefetchBody(s, k + prefetchDistance);
        }
        if (s.pairsOfStart[k] == s.pairsOfStart[k + 1]) {
            continue;
        }
        Body& body = *s.bodies[k];
        Polygon& polygon = *body.polygon;
        polygon.updateRotation();
        const int32_t count = polygon.vertexCount;
        for (int32_t i = 0; i < count; ++i) {
            s.vertexPool[first + i] = polygon.rotatedVertices[i];
            s.normalPool[first + i] = polygon.edges[i].rotatedNormal;
            s.offsetPool[first + i] = polygon.edges[i].offset;
        }
        const Vec2* vertices = s.vertexPool.data() + first;
        const VertexBounds bounds = vertexBounds(vertices, count);
        s.copies[k] = BodyCopy{
            ShapeView{body.pose->x, body.pose->y, count, vertices, s.normalPool.data() + first,
                      s.offsetPool.data() + first, bounds.reach, bounds.extent},
            body.velocity,
            body.angularVelocity,
            body.inverseMass,
            body.inverseInertia,
            false,
            0,
            0};
        first += static_cast<uint32_t>(count);
    }
    return true;
}

int32_t runCopiedPasses(StepScratch& s) {
    const uint32_t count = static_cast<uint32_t>(s.pairs.size());
    const size_t words = (static_cast<size_t>(count) + 63) / 64;
    s.due.reserve(s.pairs.capacity() / 64 + 1);  // grows with the pair list only
    s.dueNext.reserve(s.pairs.capacity() / 64 + 1);
    s.due.assign(words, ~uint64_t{0});
    if (count % 64 != 0) {
        s.due.back() = (uint64_t{1} << (count % 64)) - 1;
    }
    s.dueNext.assign(words, 0);
    s.touching.reserve(s.pairs.capacity() / 64 + 1);
    s.touching.assign(words, 0);
    s.scratchAtOrigin = scratchAtOrigin();  // nothing in a step moves it
    s.pass = 0;
    bool quiet = false;
    while (!quiet && s.pass < World::maxPasses) {
        quiet = true;
        ++s.pass;
        for (size_t w = 0; w < words; ++w) {
            // Reread after each test: a correction may mark later pairs of this word.
            while (s.due[w] != 0) {
                const uint32_t p = static_cast<uint32_t>(w * 64 + std::countr_zero(s.due[w]));
                s.due[w] &= s.due[w] - 1;
                if (testPair(s, p)) {
                    quiet = false;
                }
            }
        }
        s.due.swap(s.dueNext);
        std::fill(s.dueNext.begin(), s.dueNext.end(), 0);
    }
    return s.pass;
}

void writeBack(StepScratch& s, uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) {
        if (s.pairsOfStart[k] == s.pairsOfStart[k + 1]) {
            continue;
        }
        const BodyCopy& c = s.copies[k];
        Body& body = *s.bodies[k];
        body.pose->x = c.shape.x;
        body.pose->y = c.shape.y;
        body.velocity = c.velocity;
        body.angularVelocity = c.angularVelocity;
        body.moved = c.moved;
    }
}

}  // namespace scrapvolt
