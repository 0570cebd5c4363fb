#include <algorithm>
#include <cmath>

#include <scrapvolt/physics/polygon.h>

namespace scrapvolt {

namespace {

// One candidate circle, local frame; the list runs from the newest candidate to the oldest.
struct BoundingCircleCandidate {
    float centreX;
    float centreY;
    float radiusSquared;
    BoundingCircleCandidate* next;
};

float distanceSquared(const Vec2& v, float cx, float cy) {
    const float dx = v.x - cx;
    const float dy = v.y - cy;
    return dx * dx + dy * dy;
}

// Lists every pair's circle (the pair as a diameter), then every non-degenerate triangle's
// circumcircle, takes the smallest enclosing one and releases the list. The minimal enclosing
// circle is one of the candidates; any other centre needs a radius at least as large to reach
// every vertex, so the least enlarged radius is the minimal one. A single vertex gives no
// candidate and is its own circle. Out of line: Polygon::boundingCircle, called every tick, then
// saves no registers.
[[gnu::noinline]] void chooseLocalCircle(const Vec2* v, int32_t n, Vec2& centre,
                                         float& radiusSquared) {
    BoundingCircleCandidate* head = nullptr;
    const auto push = [&](float cx, float cy, const Vec2& on) {
        head = new BoundingCircleCandidate{cx, cy, distanceSquared(on, cx, cy), head};
    };
    for (int32_t i = 0; i <= n - 2; ++i) {
        for (int32_t j = i + 1; j <= n - 1; ++j) {
            push((v[i].x + v[j].x) * 0.5f, (v[i].y + v[j].y) * 0.5f, v[j]);
        }
    }
    // The circumcentre is m2 + t (-e2.y, e2.x) on the bisector of vj vk, with t chosen so that it
    // also lies on the bisector of vi vj: e1 . (c - m1) = 0 gives t = e1 . (m1 - m2) / D. A
    // (nearly) degenerate triangle gives none.
    for (int32_t i = 0; i <= n - 3; ++i) {
        for (int32_t j = i + 1; j <= n - 2; ++j) {
            for (int32_t k = j + 1; k <= n - 1; ++k) {
                const Vec2 e1{v[j].x - v[i].x, v[j].y - v[i].y};
                const Vec2 e2{v[k].x - v[j].x, v[k].y - v[j].y};
                const Vec2 m1{(v[i].x + v[j].x) * 0.5f, (v[i].y + v[j].y) * 0.5f};
                const Vec2 m2{(v[j].x + v[k].x) * 0.5f, (v[j].y + v[k].y) * 0.5f};
                const float d = e2.x * e1.y - e2.y * e1.x;  // twice the signed area
                if (std::fabs(d) > 0.001f) {
                    const float c1 = -(e1.x * m1.x + e1.y * m1.y);
                    const float t = -(e1.x * m2.x + e1.y * m2.y + c1) / d;
                    push(m2.x - t * e2.y, m2.y + t * e2.x, v[j]);
                }
            }
        }
    }
    centre = v[0];
    radiusSquared = 0.0f;
    bool chosen = false;
    while (head != nullptr) {
        // Rounding the squared radius to 32 bits can leave a candidate's own defining vertices a
        // hair outside; enlarging it to hold every vertex instead of discarding it keeps the
        // minimal circle among the choices.
        float needed = head->radiusSquared;
        for (int32_t i = n - 1; i >= 0; --i) {
            needed = std::max(needed, distanceSquared(v[i], head->centreX, head->centreY));
        }
        // The smallest circle wins; on equal radii the one nearest the head (created last).
        if (!chosen || needed < radiusSquared) {
            chosen = true;
            radiusSquared = needed;
            centre = Vec2{head->centreX, head->centreY};
        }
        BoundingCircleCandidate* next = head->next;
        delete head;
        head = next;
    }
}

}  // namespace

BoundingCircle* Polygon::boundingCircle() {
    if (vertexCount == 0) {
        return nullptr;
    }
    if (worldCircle.radius < 0.0f) {
        float radiusSquared;
        chooseLocalCircle(localVertices, vertexCount, localCentre, radiusSquared);
        worldCircle.radius = std::sqrt(radiusSquared);
    }
    // World centre: the pose point plus the local centre turned by +angle, from the current
    // pose (the rotation cache may not have caught up with it yet). A centre at the local origin
    // (a rectangle, a regular polygon) turns to a signed zero at any finite angle, and adding a
    // signed zero leaves a finite non-zero coordinate as it is: no sine or cosine is needed.
    if (localCentre.x == 0.0f && localCentre.y == 0.0f && x != 0.0f && y != 0.0f &&
        std::isfinite(x) && std::isfinite(y) && std::isfinite(angle)) {
        worldCircle.centreX = x;
        worldCircle.centreY = y;
        return &worldCircle;
    }
    const float ca = std::cos(angle);
    const float ms = -std::sin(angle);
    worldCircle.centreX = (ms * localCentre.y + ca * localCentre.x) + x;
    worldCircle.centreY = (y - ms * localCentre.x) + ca * localCentre.y;
    return &worldCircle;
}

}  // namespace scrapvolt
