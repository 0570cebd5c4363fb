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

BoundingCircleCandidate* push(BoundingCircleCandidate* head, float cx, float cy, const Vec2& on) {
    const float dx = cx - on.x;
    const float dy = cy - on.y;
    return new BoundingCircleCandidate{cx, cy, dy * dy + dx * dx, head};
}

// Circles with each pair of vertices as a diameter.
BoundingCircleCandidate* pushPairs(BoundingCircleCandidate* head, const Vec2* v, int32_t n) {
    for (int32_t i = 0; i <= n - 2; ++i) {
        for (int32_t j = i + 1; j <= n - 1; ++j) {
            const float cx = (v[i].x + v[j].x) * 0.5f;
            const float cy = (v[i].y + v[j].y) * 0.5f;
            head = push(head, cx, cy, v[j]);
        }
    }
    return head;
}

// Circumcircle of vi, vj, vk, or the head unchanged for a (nearly) degenerate triangle. The
// centre is m2 + t (-e2.y, e2.x) on the bisector of vj vk, with t chosen so that it also lies
// on the bisector of vi vj: e1 . (c - m1) = 0 gives t = e1 . (m1 - m2) / D.
BoundingCircleCandidate* pushCircumcircle(BoundingCircleCandidate* head, const Vec2& vi,
                                          const Vec2& vj, const Vec2& vk) {
    const Vec2 e1{vj.x - vi.x, vj.y - vi.y};
    const Vec2 e2{vk.x - vj.x, vk.y - vj.y};
    const Vec2 m1{(vi.x + vj.x) * 0.5f, (vi.y + vj.y) * 0.5f};
    const Vec2 m2{(vj.x + vk.x) * 0.5f, (vj.y + vk.y) * 0.5f};
    const float d = e2.x * e1.y - e2.y * e1.x;  // twice the signed area
    if (!(std::fabs(d) > 0.001f)) {
        return head;
    }
    const float c1 = -(e1.x * m1.x + e1.y * m1.y);
    const float t = -(e1.x * m2.x + e1.y * m2.y + c1) / d;
    return push(head, m2.x - t * e2.y, m2.y + t * e2.x, vj);
}

BoundingCircleCandidate* pushTriples(BoundingCircleCandidate* head, const Vec2* v, int32_t n) {
    for (int32_t i = 0; i <= n - 3; ++i) {
        for (int32_t j = i + 1; j <= n - 2; ++j) {
            for (int32_t k = j + 1; k <= n - 1; ++k) {
                head = pushCircumcircle(head, v[i], v[j], v[k]);
            }
        }
    }
    return head;
}

// Squared radius the candidate needs to hold every vertex: its own, or more when a vertex lies
// outside it. Rounding the squared radius to 32 bits can leave a candidate's own defining
// vertices a hair outside; enlarging instead of discarding keeps the minimal circle among the
// choices, and the enlarged circle holds every vertex.
float enclosingRadiusSquared(const BoundingCircleCandidate& c, const Vec2* v, int32_t n) {
    float needed = c.radiusSquared;
    for (int32_t i = n - 1; i >= 0; --i) {
        const float d = distanceSquared(v[i], c.centreX, c.centreY);
        if (d > needed) {
            needed = d;
        }
    }
    return needed;
}

// Builds the candidate list (every pair's circle, then every non-degenerate triangle's
// circumcircle), takes the smallest enclosing one and releases the list. The minimal enclosing
// circle is one of the candidates; any other centre needs a radius at least as large to reach
// every vertex, so the least enlarged radius is the minimal one. A single vertex gives no
// candidate and is its own circle.
void chooseLocalCircle(const Vec2* v, int32_t n, Vec2& centre, float& radiusSquared) {
    BoundingCircleCandidate* head = pushTriples(pushPairs(nullptr, v, n), v, n);
    centre = v[0];
    radiusSquared = 0.0f;
    bool chosen = false;
    // The smallest circle wins; on equal radii the one nearest the head (created last).
    while (head != nullptr) {
        const float needed = enclosingRadiusSquared(*head, v, n);
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
