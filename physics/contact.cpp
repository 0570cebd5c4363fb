#include <scrapvolt/physics/contact.h>

#include <scrapvolt/physics/polygon.h>

namespace scrapvolt {

constinit Contact contactResult{};
constinit Polygon minkowskiScratch;

namespace {

// Overlaps with a squared depth up to this (0.01 squared) are not contacts.
constexpr float minimumSeparationSquared = 0.0001f;

// For each edge of a, the index of b's vertex furthest against the edge's rotated normal (the
// support vertex), stored in the edge's vertexIndex; among equal values the highest index wins.
void findSupportVertices(Polygon& a, const Polygon& b) {
    for (int32_t i = a.vertexCount - 1; i >= 0; --i) {
        PolygonEdge& edge = a.edges[i];
        const Vec2 rn = edge.rotatedNormal;
        int32_t taken = -1;
        double best = 0.0;
        for (int32_t j = b.vertexCount - 1; j >= 0; --j) {
            const Vec2 v = b.rotatedVertices[j];
            const double s =
                edge.offset - (static_cast<double>(v.y) * rn.y + static_cast<double>(v.x) * rn.x);
            if (taken < 0 || s > best) {
                taken = j;
                best = s;
            }
        }
        edge.vertexIndex = taken;
    }
}

// Vertices the merge walk emits: one per edge of a, plus one per step of b's support index,
// counted forward around b. Convex clockwise input goes once around b (nA + nB in all); rounding
// on nearly parallel edges can make a support index step back, and the walk then goes around b
// once more. The count is at most nA * nB, which also bounds the walk.
int32_t walkLength(const Polygon& a, int32_t nB) {
    const int32_t nA = a.vertexCount;
    int32_t count = nA;
    int32_t j = a.edges[nA - 1].vertexIndex;
    for (int32_t i = 0; i < nA; ++i) {
        const int32_t next = a.edges[i].vertexIndex;
        count += ((next - j) % nB + nB) % nB;
        j = next;
    }
    return count;
}

// Appends vertex p to m with the edge that starts there. The storage was reserved for the whole
// walk, so no growth can discard the edge records already written.
void emitEdge(Polygon& m, const Vec2& p, const Vec2& normal, Polygon* owner, int32_t index) {
    m.addVertex(p.x, p.y);
    PolygonEdge& edge = m.edges[m.vertexCount - 1];
    edge.normal = normal;
    edge.rotatedNormal = normal;
    edge.owner = owner;
    edge.vertexIndex = index;
}

Vec2 difference(const Vec2& a, const Vec2& b) {
    return Vec2{a.x - b.x, a.y - b.y};
}

Vec2 negated(const Vec2& v) {
    return Vec2{-v.x, -v.y};
}

}  // namespace

Polygon& Polygon::minkowskiDifference(Polygon& other) {
    Polygon& m = minkowskiScratch;
    const int32_t nA = vertexCount;
    const int32_t nB = other.vertexCount;
    findSupportVertices(*this, other);
    m.clear();
    if (nA > 0 && nB > 0) {
        const int32_t length = walkLength(*this, nB);
        m.reserve(length > nA + nB ? length : nA + nB);
        const Vec2* a = rotatedVertices;
        const Vec2* b = other.rotatedVertices;
        // Both polygons are clockwise: as A's edge normal turns, B's support vertex moves
        // forward, so merging the two edge sequences in normal order walks M's boundary.
        int32_t j = edges[nA - 1].vertexIndex;
        for (int32_t i = 0; i < nA; ++i) {
            while (j != edges[i].vertexIndex) {
                emitEdge(m, difference(a[i], b[j]), negated(other.edges[j].rotatedNormal), this, i);
                j = (j + 1) % nB;
            }
            emitEdge(m, difference(a[i], b[j]), edges[i].rotatedNormal, &other, j);
        }
    }
    // The edges just written are M's; rebuilding them from the vertices would lose the owners.
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
    float best = 1.0f;
    int32_t k = -1;
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        const PolygonEdge& edge = edges[i];
        const float dist = (qx * edge.rotatedNormal.x + qy * edge.rotatedNormal.y) + edge.offset;
        if (dist > 0.0f) {
            return -1;  // outside this edge's line; a point on the line counts as inside
        }
        // The nearest line wins; among equal distances the highest index, tested first.
        if (dist > best || best > 0.0f) {
            best = dist;
            k = i;
        }
    }
    if (k < 0) {
        return -1;
    }
    // Separation: -best times the edge normal (depth -best >= 0), turned back by -angle.
    const Vec2 s{best * edges[k].rotatedNormal.x, best * edges[k].rotatedNormal.y};
    const float c = cosAngle;
    const float m = negSinAngle;
    contactResult.separation = Vec2{s.y * m - s.x * c, -(s.x * m) - s.y * c};
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
    const Vec2 s = contactResult.separation;
    if (s.x * s.x + s.y * s.y > minimumSeparationSquared) {
        return &contactResult;
    }
    return nullptr;
}

}  // namespace scrapvolt
