#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <scrapvolt/physics/contact.h>

namespace scrapvolt {

struct Polygon;

// What the contact query reads of a polygon: its pose position and its rotation caches (the
// rotated vertices, the rotated edge normals and the edges' line offsets), with the vertices'
// reach, which bounds the query's rounding.
struct ShapeView {
    float x;
    float y;
    int32_t vertexCount;
    const Vec2* vertices;
    const Vec2* normals;
    const float* offsets;
    float reach;  // vertexBounds(vertices, vertexCount)
    float extent;
};

// Two bounds of a polygon's rotated vertices, in one walk over them:
// - reach: the sum of |x| + |y| over the vertices, at least the largest of them, and NaN or
//   infinite when a vertex is; it bounds the query's rounding;
// - extent: the largest |x| + |y|, at least (to within a rounding of 2^-24 of it, far below the
//   query's margin) any vertex's distance from the pose point, so that no vertex lies further
//   along a unit direction. A NaN vertex may be passed over; its NaN reach turns the rejection
//   off.
struct VertexBounds {
    float reach;
    float extent;
};
inline VertexBounds vertexBounds(const Vec2* vertices, int32_t count) {
    VertexBounds bounds{0.0f, 0.0f};
    for (int32_t i = 0; i < count; ++i) {
        const float size = std::fabs(vertices[i].x) + std::fabs(vertices[i].y);
        bounds.reach += size;
        bounds.extent = std::max(bounds.extent, size);
    }
    return bounds;
}

// Polygons with more vertices than this go to the query itself.
inline constexpr int32_t fastContactMaxVertices = 16;

// The answer of a.contact(b), bit for bit, found without building the Minkowski difference: its
// edges are generated in the same order, each point-to-line distance computed as the query
// computes it, and the walk stops at the first edge whose line the point lies beyond. Leaves the
// support indices of a's edges and the scratch polygon as they were; writes contactResult as the
// query does when the point lies inside. Both rotation caches must be current.
const Contact* fastContact(Polygon& a, Polygon& b);
// The same on views of at most fastContactMaxVertices vertices each. With tryRejection a cheap
// test runs before the walk; the caller asks for it only while the scratch polygon lies at the
// origin (the query's point is then b's position relative to a's), and not for pairs found
// touching before, where it seldom succeeds. The answer is the same either way.
const Contact* fastContact(const ShapeView& a, const ShapeView& b, bool tryRejection);

// Whether the scratch polygon lies at the origin, as the engine leaves it.
bool scratchAtOrigin();

}  // namespace scrapvolt
