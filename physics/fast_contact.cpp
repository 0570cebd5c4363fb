#include "fast_contact.h"

#include <algorithm>
#include <cmath>

#include <scrapvolt/physics/polygon.h>

namespace scrapvolt {

namespace {

// The walk emits at most maxVertices * maxVertices edges.
constexpr int32_t maxVertices = fastContactMaxVertices;
constexpr float minimumSeparationSquared = 0.0001f;

// b's vertex furthest against a's edge i (the highest index among equal ones), computed as
// Polygon::minkowskiDifference computes it.
int32_t supportVertex(const ShapeView& a, int32_t i, const ShapeView& b) {
    const Vec2 rn = a.normals[i];
    const float offset = a.offsets[i];
    const auto value = [&](int32_t j) {
        const Vec2 v = b.vertices[j];
        return offset - (static_cast<double>(v.y) * rn.y + static_cast<double>(v.x) * rn.x);
    };
    // The last vertex is taken first, whatever its value (NaN too); selects, not branches, since
    // which vertex wins is as good as random.
    int32_t taken = b.vertexCount - 1;
    double best = value(taken);
    for (int32_t j = b.vertexCount - 2; j >= 0; --j) {
        const double s = value(j);
        const bool better = s > best;
        taken = better ? j : taken;
        best = better ? s : best;
    }
    return taken;
}

struct Edge {
    float dist;
    Vec2 normal;
    bool ofA;       // a's edge, touched by b's vertex index; else b's edge, by a's vertex
    int32_t index;  // the touching vertex
};

// True when some edge of a has every vertex of b beyond its line by more than rounding can
// bridge, so that the query's distance for that edge is positive and the query finds no contact.
//
// The query's distance for a's edge i is n . (d - (va_i - vb_s)) for d = b's position minus
// a's and the support vertex s, computed in floats: each of its few roundings is at most
// 2^-24 times a magnitude bounded by S = |dx| + |dy| + reach(a) + reach(b) (|n| <= 1), about
// 8 * 2^-24 * S in all; the gap computed here, the least of n . (d - va_i + vb_j) over j, errs
// by as much. 1e-5 * S is twenty times the two together. NaN or infinite input makes the margin
// NaN or infinite, and nothing is rejected. The query's point is d only while the scratch
// polygon lies at the origin.
bool certainlyApart(const ShapeView& a, const ShapeView& b) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float margin = 1e-5f * (std::fabs(dx) + std::fabs(dy) + a.reach + b.reach) + 1e-30f;
    // n . (d - va_i) for each edge. b's vertices lie within b.extent of its pose point, so an
    // edge whose value passes b.extent by the margin separates whatever b's vertices are: for
    // pairs well apart that settles it at the first such edge. Otherwise the edge where the
    // value is largest is the likeliest to separate, so it is tried first against b's vertices.
    const float clear = b.extent + margin;
    float outside[maxVertices] = {};
    for (int32_t i = 0; i < a.vertexCount; ++i) {
        const Vec2 n = a.normals[i];
        outside[i] = n.x * (dx - a.vertices[i].x) + n.y * (dy - a.vertices[i].y);
        if (outside[i] > clear) {
            return true;
        }
    }
    int32_t first = 0;
    for (int32_t i = 1; i < a.vertexCount; ++i) {
        first = outside[i] > outside[first] ? i : first;
    }
    const auto separates = [&](int32_t i) {
        const Vec2 n = a.normals[i];
        float nearest = n.x * b.vertices[0].x + n.y * b.vertices[0].y;
        for (int32_t j = 1; j < b.vertexCount; ++j) {
            nearest = std::min(nearest, n.x * b.vertices[j].x + n.y * b.vertices[j].y);
        }
        return outside[i] + nearest > margin;
    };
    if (separates(first)) {
        return true;
    }
    for (int32_t i = 0; i < a.vertexCount; ++i) {
        if (i != first && separates(i)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool scratchAtOrigin() {
    return minkowskiScratch.x == 0.0f && minkowskiScratch.y == 0.0f;
}

const Contact* fastContact(const ShapeView& a, const ShapeView& b, bool tryRejection) {
    const int32_t nA = a.vertexCount;
    const int32_t nB = b.vertexCount;
    if (nA == 0 || nB == 0 || (tryRejection && certainlyApart(a, b))) {
        return nullptr;
    }
    // The point the query tests: b's pose relative to a's, in the scratch polygon's frame.
    const float qx = (b.x - a.x) - minkowskiScratch.x;
    const float qy = (b.y - a.y) - minkowskiScratch.y;
    Edge edges[maxVertices * maxVertices];
    int32_t count = 0;
    // One edge of the difference: vertex p with its normal; its line offset and the point's
    // distance as Polygon::recomputeOffsets and Polygon::queryPoint compute them.
    const auto emit = [&](const Vec2& p, const Vec2& n, bool ofA, int32_t index) {
        const float offset =
            static_cast<float>(-(static_cast<double>(n.y) * p.y + static_cast<double>(n.x) * p.x));
        const float dist = (qx * n.x + qy * n.y) + offset;
        edges[count++] = Edge{dist, n, ofA, index};
        return dist > 0.0f;  // beyond this line: outside, whatever the other edges say
    };
    const Vec2* va = a.vertices;
    const Vec2* vb = b.vertices;
    // Supports are found as the walk needs them: an early exit spares the rest.
    const int32_t lastSupport = supportVertex(a, nA - 1, b);
    int32_t j = lastSupport;
    for (int32_t i = 0; i < nA; ++i) {
        const int32_t support = i == nA - 1 ? lastSupport : supportVertex(a, i, b);
        while (j != support) {
            const Vec2 n = b.normals[j];
            if (emit(Vec2{va[i].x - vb[j].x, va[i].y - vb[j].y}, Vec2{-n.x, -n.y}, false, i)) {
                return nullptr;
            }
            j = j + 1 == nB ? 0 : j + 1;  // (j + 1) mod nB, without a division
        }
        if (emit(Vec2{va[i].x - vb[j].x, va[i].y - vb[j].y}, a.normals[i], true, j)) {
            return nullptr;
        }
    }
    // The nearest line wins; among equal distances the highest index, taken first.
    float best = 1.0f;
    int32_t k = -1;
    for (int32_t e = count - 1; e >= 0; --e) {
        if (edges[e].dist > best || best > 0.0f) {
            best = edges[e].dist;
            k = e;
        }
    }
    const Edge& edge = edges[k];
    const Vec2 s{best * edge.normal.x, best * edge.normal.y};
    const float c = 1.0f;  // the scratch polygon's rotation: none
    const float m = 0.0f;
    contactResult.separation = Vec2{s.y * m - s.x * c, -(s.x * m) - s.y * c};
    const ShapeView& owner = edge.ofA ? b : a;
    const Vec2& v = owner.vertices[edge.index];
    contactResult.point = Vec2{owner.x + v.x, owner.y + v.y};
    contactResult.normal = edge.normal;
    const Vec2 r = contactResult.separation;
    if (r.x * r.x + r.y * r.y > minimumSeparationSquared) {
        return &contactResult;
    }
    return nullptr;
}

// Copies each polygon's caches into arrays laid out as a view expects.
const Contact* fastContact(Polygon& a, Polygon& b) {
    if (a.vertexCount > maxVertices || b.vertexCount > maxVertices) {
        return a.contact(b);
    }
    struct Copy {
        Vec2 normals[maxVertices];
        float offsets[maxVertices];
        ShapeView view(const Polygon& p) {
            for (int32_t i = 0; i < p.vertexCount; ++i) {
                normals[i] = p.edges[i].rotatedNormal;
                offsets[i] = p.edges[i].offset;
            }
            const VertexBounds bounds = vertexBounds(p.rotatedVertices, p.vertexCount);
            return ShapeView{p.x,     p.y,     p.vertexCount, p.rotatedVertices,
                             normals, offsets, bounds.reach,  bounds.extent};
        }
    };
    Copy copyA;
    Copy copyB;
    return fastContact(copyA.view(a), copyB.view(b), scratchAtOrigin());
}

}  // namespace scrapvolt
