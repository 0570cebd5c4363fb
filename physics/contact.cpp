// The contact query: the Minkowski difference built in the scratch polygon, the point test on it
// and the contact it gives.
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/polygon.h>

#include "contact_walk.h"

namespace scrapvolt {

constinit Contact contactResult{};
constinit Polygon minkowskiScratch;

namespace {

// Vertices the walk emits: one per edge of a, plus one per step of b's support index, counted
// forward around b (nA + nB for convex clockwise input; more when rounding steps a support
// back). Reserving them all keeps every edge record written in place.
int32_t walkLength(const Polygon& a, int32_t nB) {
    int32_t count = a.vertexCount;
    int32_t j = a.edges[a.vertexCount - 1].vertexIndex;
    for (int32_t i = 0; i < a.vertexCount; ++i) {
        const int32_t next = a.edges[i].vertexIndex;
        count += ((next - j) % nB + nB) % nB;
        j = next;
    }
    return count;
}

}  // namespace

Polygon& Polygon::minkowskiDifference(Polygon& other) {
    Polygon& m = minkowskiScratch;
    const PolygonShape a{*this};
    const PolygonShape b{other};
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        edges[i].vertexIndex = supportVertex(a, i, b);
    }
    m.clear();
    if (vertexCount > 0 && other.vertexCount > 0) {
        const int32_t length = walkLength(*this, other.vertexCount);
        m.reserve(std::max(length, vertexCount + other.vertexCount));
    }
    walkDifference(
        a, b, [&](int32_t i) { return edges[i].vertexIndex; },
        [&](const Vec2& p, const Vec2& n, bool ofA, int32_t index) {
            m.addVertex(p.x, p.y);
            PolygonEdge& edge = m.edges[m.vertexCount - 1];
            edge.normal = n;
            edge.rotatedNormal = n;
            edge.owner = ofA ? &other : this;
            edge.vertexIndex = index;
            return false;
        });
    // The edges just written are the difference's; rebuilding them from the vertices would lose
    // the owners.
    m.edgesStale = false;
    m.recomputeOffsets();
    m.cosAngle = 1.0f;
    m.negSinAngle = 0.0f;
    return m;
}

int32_t Polygon::queryPoint(float px, float py) {
    if (edgesStale) {
        recomputeEdges();
    }
    const float qx = px - x;
    const float qy = py - y;
    if (vertexCount == 0) {
        return -1;
    }
    NearestEdge<int32_t> nearest;
    float dist = 0.0f;
    for (int32_t i = 0; i < vertexCount; ++i) {
        const PolygonEdge& edge = edges[i];
        dist = (qx * edge.rotatedNormal.x + qy * edge.rotatedNormal.y) + edge.offset;
        if (dist > 0.0f) {
            return -1;  // outside this edge's line; a point on the line counts as inside
        }
        nearest.offer(dist, i);
    }
    nearest.finish(dist, vertexCount - 1);
    const int32_t k = nearest.edge;
    contactResult.separation =
        separationOf(nearest.best, edges[k].rotatedNormal, cosAngle, negSinAngle);
    return k;
}

Contact* Polygon::contact(Polygon& other) {
    Polygon& m = minkowskiDifference(other);
    // A and B overlap exactly when B's pose point, relative to A's, lies in A - B.
    const int32_t k = m.queryPoint(other.x - x, other.y - y);
    if (k < 0) {
        return nullptr;
    }
    const PolygonEdge& edge = m.edges[k];
    const Vec2& v = edge.owner->rotatedVertex(edge.vertexIndex);
    contactResult.point = Vec2{edge.owner->x + v.x, edge.owner->y + v.y};
    contactResult.normal = edge.rotatedNormal;
    return deepEnough(contactResult.separation) ? &contactResult : nullptr;
}

}  // namespace scrapvolt
