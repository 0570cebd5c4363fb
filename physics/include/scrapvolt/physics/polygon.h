#pragma once

#include <cstdint>

#include <scrapvolt/physics/bounding_circle.h>
#include <scrapvolt/physics/contact.h>
#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

/// One edge of a polygon: edge i runs from vertex i to vertex (i + 1) mod vertexCount.
struct PolygonEdge {
    Vec2 normal;         ///< unit outward normal, local frame
    float offset;        ///< -(normal . first vertex): normal . p + offset is p's signed distance
    Vec2 rotatedNormal;  ///< normal turned by the polygon's angle
    int32_t vertexIndex;
    Polygon* owner;
};

/// A convex polygon placed in the world by its pose (its Pose base).
///
/// Winding: the vertices must run clockwise with y up (negative shoelace area), as
/// isConvexClockwise checks: every query takes the edge normals (-dy, dx) as pointing outwards,
/// so an anticlockwise or non-convex polygon gives meaningless contacts (an anticlockwise one
/// usually collides with nothing).
///
/// Caches, each refreshed only when asked: the edge normals (recomputeEdges, or updateRotation
/// when a vertex was added), the rotated vertices and normals (updateRotation: contact and
/// queryPoint answer for the angle of the last updateRotation, not the current one) and the
/// bounding circle (boundingCircle).
///
/// Storage grows 16 vertices at a time and is never shrunk; a polygon is not copyable.
struct Polygon : Pose {
    float cosAngle = 1.0f;
    float negSinAngle = 0.0f;
    Vec2 localCentre{0.0f, 0.0f};
    BoundingCircle worldCircle{0.0f, 0.0f, -1.0f};
    bool edgesStale = false;
    Vec2* localVertices = nullptr;    ///< malloc / realloc / free
    Vec2* rotatedVertices = nullptr;  ///< new[] / delete[]
    PolygonEdge* edges = nullptr;     ///< new[] / delete[]
    int32_t vertexCount = 0;
    int32_t capacity = 0;

    constexpr Polygon() : Pose{0.0f, 0.0f, 0.0f} {}
    ~Polygon();
    Polygon(const Polygon&) = delete;
    Polygon& operator=(const Polygon&) = delete;

    /// Drops every vertex (keeping the storage) and marks the caches stale.
    void clear();
    /// Makes room for n vertices at once, keeping the vertices; the caches are marked stale.
    void reserve(int32_t n);
    /// Appends a vertex in the local frame (clockwise order, see above).
    void addVertex(float x, float y);
    Vec2& rotatedVertex(int32_t index) { return rotatedVertices[index]; }
    void recomputeEdges();
    void recomputeOffsets();
    /// Brings the rotated vertices and normals to the current angle.
    void updateRotation();
    /// Draws the polygon filled at its pose, at z = 0 of the current model-view matrix: one
    /// GL_POLYGON inside glPushMatrix/glPopMatrix, anticlockwise as seen with y up (the front face
    /// under the shell's set-up), nothing without vertices. It sets the colour to white (left set)
    /// and nothing else: depth test, culling and blending are the caller's. Defined in the
    /// physics_draw library, which links OpenGL.
    void draw();

    /// True when the polygon has at least three vertices, all finite, wound clockwise with y up
    /// around an area above zero, and convex (no turn anticlockwise, and one turn around in all).
    bool isConvexClockwise() const;

    /// Smallest enclosing circle placed at the current pose; null for a polygon without vertices.
    BoundingCircle* boundingCircle();

    /// Fills minkowskiScratch with this polygon minus other (both rotation caches current).
    Polygon& minkowskiDifference(Polygon& other);
    /// Edge of least penetration for a world point inside, or -1 outside.
    int32_t queryPoint(float px, float py);
    /// The contact between this polygon (A) and other (B), or null when they do not overlap by
    /// more than 0.01 units. Uses both rotation caches as they are; the result is contactResult.
    Contact* contact(Polygon& other);
};

}  // namespace scrapvolt
