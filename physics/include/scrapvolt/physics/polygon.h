#pragma once

#include <cstdint>

#include <scrapvolt/physics/bounding_circle.h>
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

struct Polygon;

// One edge of a polygon: edge i runs from vertex i to vertex (i + 1) mod vertexCount.
struct PolygonEdge {
    Vec2 normal;         // unit outward normal, local frame
    float offset;        // -(normal . first vertex): normal . p + offset is p's signed distance
    Vec2 rotatedNormal;  // normal turned by the polygon's angle
    int32_t vertexIndex;
    Polygon* owner;
};

// A convex polygon, vertices wound clockwise (y up), placed in the world by its pose (the Pose
// base: x, y, angle, the record's first three fields). Edge normals, the rotation and the
// bounding circle are cached and refreshed explicitly.
struct Polygon : Pose {
    float cosAngle = 1.0f;
    float negSinAngle = 0.0f;
    Vec2 localCentre{0.0f, 0.0f};
    BoundingCircle worldCircle{0.0f, 0.0f, -1.0f};
    bool edgesStale = false;
    Vec2* localVertices = nullptr;    // malloc / realloc / free
    Vec2* rotatedVertices = nullptr;  // new[] / delete[]
    PolygonEdge* edges = nullptr;     // new[] / delete[]
    int32_t vertexCount = 0;
    int32_t capacity = 0;

    constexpr Polygon() : Pose{0.0f, 0.0f, 0.0f} {}
    ~Polygon();
    Polygon(const Polygon&) = delete;
    Polygon& operator=(const Polygon&) = delete;

    void clear();
    void reserve(int32_t n);
    void addVertex(float x, float y);
    Vec2& rotatedVertex(int32_t index) { return rotatedVertices[index]; }
    void recomputeEdges();
    void recomputeOffsets();
    void updateRotation();
    void draw();

    // Smallest enclosing circle placed at the current pose; null for a polygon without vertices.
    BoundingCircle* boundingCircle();

    // Fills minkowskiScratch with this polygon minus other (both rotation caches current).
    Polygon& minkowskiDifference(Polygon& other);
    // Edge of least penetration for a world point inside, or -1 outside.
    int32_t queryPoint(float px, float py);
    // The contact between this polygon (A) and other (B), or null.
    Contact* contact(Polygon& other);
};

}  // namespace scrapvolt
