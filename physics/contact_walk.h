#pragma once
// The one walk over the Minkowski difference A - B, for the contact query (built in the scratch
// polygon) and the step (on copies, not built): support, edge order, ties and depth written once.
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/polygon.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace scrapvolt {

// -(n . p), summed in double and rounded once: n . q + offset is q's distance from p's line.
inline float lineOffset(const Vec2& n, const Vec2& p) {
    return static_cast<float>(-(static_cast<double>(n.y) * p.y + static_cast<double>(n.x) * p.x));
}

// -best times the nearest edge's normal, turned back by -angle (c = cos, m = -sin).
inline Vec2 separationOf(float best, const Vec2& normal, float c, float m) {
    const Vec2 s{best * normal.x, best * normal.y};
    return Vec2{s.y * m - s.x * c, -(s.x * m) - s.y * c};
}

// A polygon's rotation caches as the walk reads them.
struct PolygonShape {
    const Polygon& polygon;
    int32_t count() const { return polygon.vertexCount; }
    float x() const { return polygon.x; }
    float y() const { return polygon.y; }
    Vec2 vertex(int32_t i) const { return polygon.rotatedVertices[i]; }
    Vec2 normal(int32_t i) const { return polygon.edges[i].rotatedNormal; }
    float offset(int32_t i) const { return polygon.edges[i].offset; }
};

// b's vertex furthest against a's edge i, the highest index among equal ones (the last vertex is
// taken first, NaN too); -1 when b has none. Selects, not branches: the winner is near random.
template <typename Shape>
int32_t supportVertex(const Shape& a, int32_t i, const Shape& b) {
    const Vec2 rn = a.normal(i);
    const float offset = a.offset(i);
    const auto value = [&](int32_t j) {
        const Vec2 v = b.vertex(j);
        return offset - (static_cast<double>(v.y) * rn.y + static_cast<double>(v.x) * rn.x);
    };
    int32_t taken = b.count() - 1;
    if (taken < 0) {
        return -1;
    }
    double best = value(taken);
    for (int32_t j = taken - 1; j >= 0; --j) {
        const double s = value(j);
        const bool better = s > best;
        taken = better ? j : taken;
        best = better ? s : best;
    }
    return taken;
}

// The edge of least penetration for a point inside, among edges offered in index order; a point
// beyond an edge's line (distance positive) is outside: the search ends there. Least magnitude
// (NaN's is above infinity's), so the greatest distance, the highest index among equal ones; NaN
// wins only at the last edge. Compared as integers and chosen by selects, since which edge wins
// is near random. The caller computes the chosen edge's distance again, as it did when offering.
template <typename Edge>
struct NearestEdge {
    Edge edge{};
    Edge last{};
    float lastDistance = 0.0f;
    uint32_t least = UINT32_MAX;  // the magnitude of edge's distance

    // True when the point lies beyond e: no edge is nearest, ask no more.
    bool beyond(float distance, const Edge& e) {
        const uint32_t magnitude = std::bit_cast<uint32_t>(distance) & 0x7FFFFFFFu;
        edge = magnitude <= least ? e : edge;
        least = magnitude <= least ? magnitude : least;
        last = e;
        lastDistance = distance;
        return distance > 0.0f;
    }
    // Once every edge was offered.
    const Edge& nearest() const { return std::isnan(lastDistance) ? last : edge; }
};

// The contact query's point: b's pose relative to a's, less the scratch polygon's position
// (origin), where Polygon::contact puts a - b.
template <typename Shape>
Vec2 differencePoint(const Shape& a, const Shape& b, const Vec2& origin) {
    return Vec2{(b.x() - a.x()) - origin.x, (b.y() - a.y()) - origin.y};
}

// Walks the edges of a - b as Polygon::minkowskiDifference lays them out, a's edges merged with
// b's reversed ones; support(i): b's support vertex for a's edge i. emit(vertex, normal, ofA,
// index) gets each edge's first vertex and b's vertex on a's edge (ofA), else a's; true stops the
// walk. True when it went all the way round (never without vertices). b's support moves forward
// (both are clockwise): should rounding step it back, the walk goes around b once more.
template <typename Shape, typename Support, typename Emit>
bool walkDifference(const Shape& a, const Shape& b, Support support, Emit emit) {
    const int32_t nA = a.count(), nB = b.count();
    if (nA == 0 || nB == 0) {
        return false;
    }
    const int32_t lastSupport = support(nA - 1);  // found as the walk needs them: exits spare some
    int32_t j = lastSupport;
    for (int32_t i = 0; i < nA; ++i) {
        const int32_t s = i == nA - 1 ? lastSupport : support(i);
        const Vec2 va = a.vertex(i);
        while (j != s) {
            const Vec2 vb = b.vertex(j);
            const Vec2 n = b.normal(j);
            if (emit(Vec2{va.x - vb.x, va.y - vb.y}, Vec2{-n.x, -n.y}, false, i)) {
                return false;
            }
            j = j + 1 == nB ? 0 : j + 1;
        }
        const Vec2 vb = b.vertex(j);
        if (emit(Vec2{va.x - vb.x, va.y - vb.y}, a.normal(i), true, j)) {
            return false;
        }
    }
    return true;
}

// An edge of a - b as the contact reads it (index: b's vertex on a's edge, ofA; else a's).
struct DifferenceEdge {
    float offset;
    Vec2 normal;
    bool ofA;
    int32_t index;
};

// walkDifference finding b's support as it goes, visit given each edge as a DifferenceEdge.
template <typename Shape, typename Visit>
bool forEachDifferenceEdge(const Shape& a, const Shape& b, Visit visit) {
    return walkDifference(
        a, b, [&](int32_t i) { return supportVertex(a, i, b); },
        [&](const Vec2& p, const Vec2& n, bool ofA, int32_t index) {
            return visit(DifferenceEdge{lineOffset(n, p), n, ofA, index});
        });
}

// The signed distance of the query's point q from an edge's line; positive beyond it.
inline float lineDistance(float qx, float qy, const Vec2& normal, float offset) {
    return (qx * normal.x + qy * normal.y) + offset;
}

// The contact for the nearest edge, written to contactResult; null when its squared depth is at
// most 0.0001 (0.01 squared): too shallow to be a contact.
template <typename Shape>
const Contact* writeContact(const Shape& a, const Shape& b, float best, const DifferenceEdge& e) {
    contactResult.separation = separationOf(best, e.normal, 1.0f, 0.0f);
    const Shape& owner = e.ofA ? b : a;
    const Vec2 v = owner.vertex(e.index);
    contactResult.point = Vec2{owner.x() + v.x, owner.y() + v.y};
    contactResult.normal = e.normal;
    const Vec2& s = contactResult.separation;
    return s.x * s.x + s.y * s.y > 0.0001f ? &contactResult : nullptr;
}

// The contact of a and b that Polygon::contact answers, written to contactResult, walking a - b
// without building it. The first edge the point lies beyond ends the walk and the support search.
template <typename Shape>
const Contact* walkContact(const Shape& a, const Shape& b, const Vec2& origin) {
    const Vec2 q = differencePoint(a, b, origin);
    NearestEdge<DifferenceEdge> search;
    const bool inside = forEachDifferenceEdge(a, b, [&](const DifferenceEdge& e) {
        return search.beyond(lineDistance(q.x, q.y, e.normal, e.offset), e);
    });
    if (!inside) {
        return nullptr;
    }
    const DifferenceEdge& e = search.nearest();
    return writeContact(a, b, lineDistance(q.x, q.y, e.normal, e.offset), e);
}

}  // namespace scrapvolt
