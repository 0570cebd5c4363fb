#include <scrapvolt/physics/polygon.h>

#include "contact_walk.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace scrapvolt {

Polygon::~Polygon() {
    std::free(localVertices);
    delete[] rotatedVertices;
    delete[] edges;
}

void Polygon::clear() {
    vertexCount = 0;
    edgesStale = true;
    worldCircle.radius = -1.0f;
}

// Keeps the local vertices only: the rest are caches, marked stale for updateRotation and
// recomputeEdges to rebuild. Never shrinks: refilling a polygon of its size allocates nothing.
void Polygon::reserve(int32_t n) {
    if (n <= capacity) {
        return;
    }
    capacity = n;
    edgesStale = true;
    localVertices = static_cast<Vec2*>(std::realloc(localVertices, sizeof(Vec2) * size_t(n)));
    delete[] rotatedVertices;
    rotatedVertices = new Vec2[n];
    delete[] edges;
    edges = new PolygonEdge[n];
}

void Polygon::addVertex(float vx, float vy) {
    edgesStale = true;
    worldCircle.radius = -1.0f;
    if (vertexCount >= capacity) {
        reserve(capacity + 16);  // the storage grows 16 vertices at a time
    }
    localVertices[vertexCount] = Vec2{vx, vy};
    rotatedVertices[vertexCount] = Vec2{vx, vy};
    ++vertexCount;
}

void Polygon::recomputeEdges() {
    edgesStale = false;
    const int32_t n = vertexCount;
    for (int32_t i = n - 1; i >= 0; --i) {
        const Vec2 a = localVertices[i];
        const Vec2 b = localVertices[(i + 1) % n];
        PolygonEdge& edge = edges[i];
        // (-dy, dx) points out of the polygon for clockwise winding. Normalised in double: the
        // stored unit normal is then the correctly rounded one. An edge of length 0 (or NaN) has
        // no direction: a zero normal keeps every distance to its line at 0 instead of NaN.
        const double nx = -(b.y - a.y), ny = b.x - a.x;
        const double lengthSquared = nx * nx + ny * ny;
        const double inverseLength = 1.0 / std::sqrt(lengthSquared);
        edge.normal = lengthSquared > 0.0 ? Vec2{static_cast<float>(inverseLength * nx),
                                                 static_cast<float>(inverseLength * ny)}
                                          : Vec2{0.0f, 0.0f};
        edge.offset = lineOffset(edge.normal, a);
        edge.owner = this;
        edge.vertexIndex = 0;
    }
}

void Polygon::recomputeOffsets() {
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        edges[i].offset = lineOffset(edges[i].normal, localVertices[i]);
    }
}

bool Polygon::isConvexClockwise() const {
    const int32_t n = vertexCount;
    if (n < 3) {
        return false;
    }
    double twiceArea = 0.0, turning = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const Vec2 a = localVertices[i];
        const Vec2 b = localVertices[(i + 1) % n];
        const Vec2 c = localVertices[(i + 2) % n];
        const double ux = double{b.x} - a.x, uy = double{b.y} - a.y;
        const double vx = double{c.x} - b.x, vy = double{c.y} - b.y;
        // A turn anticlockwise beyond the rounding of float vertices on a smooth outline (a sine
        // of 1e-5), or a coordinate that is not finite.
        const double cross = ux * vy - uy * vx;
        if (!(cross <= 1e-5 * std::sqrt((ux * ux + uy * uy) * (vx * vx + vy * vy)))) {
            return false;
        }
        twiceArea += double{a.x} * b.y - double{b.x} * a.y;
        turning += std::atan2(cross, ux * vx + uy * vy);
    }
    // Clockwise turns only, adding up to one turn around (a star turns twice), around an area.
    return twiceArea < 0.0 && std::fabs(turning + 2.0 * std::numbers::pi) < 1e-6;
}

void Polygon::updateRotation() {
    if (edgesStale) {
        recomputeEdges();
    }
    const float c = std::cos(angle), m = -std::sin(angle);
    cosAngle = c;
    negSinAngle = m;
    // Rotation by +angle: (x cos - y sin, x sin + y cos), written with m = -sin.
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        const Vec2 l = localVertices[i];
        rotatedVertices[i] = Vec2{l.y * m + l.x * c, l.y * c - m * l.x};
        const Vec2 nrm = edges[i].normal;
        edges[i].rotatedNormal = Vec2{nrm.y * m + nrm.x * c, nrm.y * c - m * nrm.x};
    }
}

}  // namespace scrapvolt
