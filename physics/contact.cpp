// The contact query: the Minkowski difference built in the scratch polygon, the point test, and
// the contact, found by the step's walk over the difference.
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/polygon.h>

#include "contact_walk.h"

namespace scrapvolt {

constinit Contact contactResult{};
constinit Polygon minkowskiScratch;

Polygon& Polygon::minkowskiDifference(Polygon& other) {
    Polygon& m = minkowskiScratch;
    const PolygonShape a{*this};
    const PolygonShape b{other};
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        edges[i].vertexIndex = supportVertex(a, i, b);
    }
    m.clear();
    m.reserve(vertexCount + other.vertexCount);
    // The vertices first, then the edge records: storage that grows (a walk longer than nA + nB,
    // when rounding steps a support back) keeps only the vertices.
    const auto support = [&](int32_t i) { return edges[i].vertexIndex; };
    walkDifference(a, b, support, [&](const Vec2& p, const Vec2&, bool, int32_t) {
        m.addVertex(p.x, p.y);
        return false;
    });
    int32_t k = 0;
    walkDifference(a, b, support, [&](const Vec2& p, const Vec2& n, bool ofA, int32_t index) {
        m.edges[k++] = PolygonEdge{n, lineOffset(n, p), n, index, ofA ? &other : this};
        return false;
    });
    // The edges just written are the difference's: rebuilt from the vertices, they lose the owners.
    m.edgesStale = false;
    m.cosAngle = 1.0f;
    m.negSinAngle = 0.0f;
    return m;
}

int32_t Polygon::queryPoint(float px, float py) {
    if (edgesStale) {
        recomputeEdges();
    }
    const Vec2 q{px - x, py - y};
    NearestEdge<int32_t> search;
    for (int32_t i = 0; i < vertexCount; ++i) {
        if (search.beyond(lineDistance(q.x, q.y, edges[i].rotatedNormal, edges[i].offset), i)) {
            return -1;  // a point on the line counts as inside
        }
    }
    if (vertexCount == 0) {
        return -1;
    }
    const PolygonEdge& e = edges[search.nearest()];
    const float best = lineDistance(q.x, q.y, e.rotatedNormal, e.offset);
    contactResult.separation = separationOf(best, e.rotatedNormal, cosAngle, negSinAngle);
    return search.nearest();
}

// A and B overlap exactly when B's pose point, relative to A's, lies in A - B: the walk over the
// difference just built gives the edges its point test would offer, in the same order.
Contact* Polygon::contact(Polygon& other) {
    const Polygon& m = minkowskiDifference(other);
    const bool found = walkContact(PolygonShape{*this}, PolygonShape{other}, Vec2{m.x, m.y});
    return found ? &contactResult : nullptr;
}

}  // namespace scrapvolt
