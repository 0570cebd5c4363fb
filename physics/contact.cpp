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

namespace {

// Polygon::queryPoint for the point q relative to the polygon's position.
int32_t nearestEdgeAt(Polygon& m, Vec2 q) {
    if (m.edgesStale) {
        m.recomputeEdges();
    }
    NearestEdge<int32_t> search;
    for (int32_t i = 0; i < m.vertexCount; ++i) {
        if (search.beyond(lineDistance(q.x, q.y, m.edges[i].rotatedNormal, m.edges[i].offset), i)) {
            return -1;  // a point on the line counts as inside
        }
    }
    if (m.vertexCount == 0) {
        return -1;
    }
    const PolygonEdge& e = m.edges[search.nearest()];
    const float best = lineDistance(q.x, q.y, e.rotatedNormal, e.offset);
    contactResult.separation = separationOf(best, e.rotatedNormal, m.cosAngle, m.negSinAngle);
    return search.nearest();
}

}  // namespace

int32_t Polygon::queryPoint(float px, float py) {
    return nearestEdgeAt(*this, Vec2{px - x, py - y});
}

Contact* Polygon::contact(Polygon& other) {
    Polygon& m = minkowskiDifference(other);
    // A and B overlap exactly when B's pose point, relative to A's, lies in A - B.
    const int32_t k =
        nearestEdgeAt(m, differencePoint(PolygonShape{*this}, PolygonShape{other}, Vec2{m.x, m.y}));
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
