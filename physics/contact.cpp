// The contact query: the Minkowski difference built in the scratch polygon, the point test on it
// and the contact it gives.
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
    const float qx = px - x;
    const float qy = py - y;
    if (vertexCount == 0) {
        return -1;
    }
    NearestEdge<int32_t> nearest;
    float dist = 0.0f;
    for (int32_t i = 0; i < vertexCount; ++i) {
        dist = lineDistance(qx, qy, edges[i].rotatedNormal, edges[i].offset);
        if (dist > 0.0f) {
            return -1;  // outside this edge's line; a point on the line counts as inside
        }
        nearest.offer(dist, i);
    }
    nearest.finish(dist, vertexCount - 1);
    const int32_t k = nearest.edge;
    const float best = lineDistance(qx, qy, edges[k].rotatedNormal, edges[k].offset);
    contactResult.separation = separationOf(best, edges[k].rotatedNormal, cosAngle, negSinAngle);
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
