#pragma once

#include <cstdint>

#include "contact.h"

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
    float reach;   // reachOf(vertices, vertexCount)
    float extent;  // extentOf(vertices, vertexCount)
};

// Sum of |x| + |y| over the vertices: at least the largest of them, and NaN or infinite when a
// vertex is.
float reachOf(const Vec2* vertices, int32_t count);
// Largest |x| + |y| of the vertices: at least (to within rounding far below the query's margin)
// any vertex's distance from the pose point, so no vertex lies further along a unit direction.
// A NaN vertex may be passed over; its NaN reach turns the rejection off.
float extentOf(const Vec2* vertices, int32_t count);

// Polygons with more vertices than this go to the query itself.
inline constexpr int32_t fastContactMaxVertices = 16;

// The answer of a.contact(b), bit for bit, found without building the Minkowski difference: its
// edges are generated in the same order, each point-to-line distance computed as the query
// computes it, and the walk stops at the first edge whose line the point lies beyond. Leaves the
// support indices of a's edges and the scratch polygon as they were; writes contactResult as the
// query does when the point lies inside. Both rotation caches must be current.
const Contact* fastContact(Polygon& a, Polygon& b);
// The same on views of at most fastContactMaxVertices vertices each. likelyTouching skips the
// cheap rejection that runs before the walk, which seldom succeeds on pairs found touching
// before; the answer is the same either way.
const Contact* fastContact(const ShapeView& a, const ShapeView& b, bool likelyTouching = false);
