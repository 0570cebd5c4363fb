#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include <scrapvolt/physics/polygon.h>

namespace scrapvolt {

namespace {

float distanceSquared(const Vec2& v, float cx, float cy) {
    const float dx = v.x - cx, dy = v.y - cy;
    return dx * dx + dy * dy;
}

// The circle is the smallest of the candidates: every pair's circle (the pair as a diameter) and
// every non-degenerate triangle's circumcircle, each enlarged to hold every vertex (rounding the
// squared radius to 32 bits can leave a candidate's own defining vertices a hair outside). The
// minimal enclosing circle is one of them: any other centre needs a larger radius to reach every
// vertex. On equal radii the candidate made last wins (triples after pairs, each in index order).
struct Choice {
    const Vec2* v;
    int32_t n;
    Vec2 centre;
    float radiusSquared = 0.0f;
    bool chosen = false;

    // Candidates come newest first: one replaces the choice only when strictly smaller.
    void consider(float cx, float cy, const Vec2& on) {
        float needed = distanceSquared(on, cx, cy);
        for (int32_t i = n - 1; i >= 0; --i) {
            needed = std::max(needed, distanceSquared(v[i], cx, cy));
        }
        if (!chosen || needed < radiusSquared) {
            chosen = true;
            radiusSquared = needed;
            centre = Vec2{cx, cy};
        }
    }
    // The candidates of the vertices at the ascending indices s[0..count), newest first. The
    // circumcentre is m2 + t (-e2.y, e2.x) on the bisector of vj vk, with t chosen so that it also
    // lies on the bisector of vi vj: e1 . (c - m1) = 0 gives t = e1 . (m1 - m2) / D. A (nearly)
    // degenerate triangle gives none.
    void considerAll(const int32_t* s, int32_t count) {
        for (int32_t a = count - 3; a >= 0; --a) {
            for (int32_t b = count - 2; b > a; --b) {
                for (int32_t c = count - 1; c > b; --c) {
                    const Vec2 &vi = v[s[a]], &vj = v[s[b]], &vk = v[s[c]];
                    const Vec2 e1{vj.x - vi.x, vj.y - vi.y};
                    const Vec2 e2{vk.x - vj.x, vk.y - vj.y};
                    const Vec2 m1{(vi.x + vj.x) * 0.5f, (vi.y + vj.y) * 0.5f};
                    const Vec2 m2{(vj.x + vk.x) * 0.5f, (vj.y + vk.y) * 0.5f};
                    const float d = e2.x * e1.y - e2.y * e1.x;  // twice the signed area
                    if (std::fabs(d) > 0.001f) {
                        const float c1 = -(e1.x * m1.x + e1.y * m1.y);
                        const float t = -(e1.x * m2.x + e1.y * m2.y + c1) / d;
                        consider(m2.x - t * e2.y, m2.y + t * e2.x, vj);
                    }
                }
            }
        }
        for (int32_t a = count - 2; a >= 0; --a) {
            for (int32_t b = count - 1; b > a; --b) {
                const Vec2 &vi = v[s[a]], &vj = v[s[b]];
                consider((vi.x + vj.x) * 0.5f, (vi.y + vj.y) * 0.5f, vj);
            }
        }
    }
};

// Up to this many vertices every candidate is weighed: a few thousand circles at most.
constexpr int32_t weighedLimit = 24;

struct Disc {
    double x, y, r2;
    int32_t support[3];
    int32_t count;

    bool misses(const Vec2& p) const {
        const double dx = p.x - x, dy = p.y - y;
        return dx * dx + dy * dy > r2 * (1.0 + 1e-12);  // false for NaN: such a vertex is held
    }
};

Disc discOn(const Vec2* v, int32_t i, int32_t j) {
    const double x = 0.5 * (double(v[i].x) + v[j].x), y = 0.5 * (double(v[i].y) + v[j].y);
    const double dx = v[i].x - x, dy = v[i].y - y;
    return Disc{x, y, dx * dx + dy * dy, {i, j, 0}, 2};
}

// The circle through three vertices, or, for a (nearly) straight triple, the one on its two ends.
Disc discThrough(const Vec2* v, int32_t i, int32_t j, int32_t k) {
    const double bx = double(v[j].x) - v[i].x, by = double(v[j].y) - v[i].y;
    const double cx = double(v[k].x) - v[i].x, cy = double(v[k].y) - v[i].y;
    const double d = 2.0 * (bx * cy - by * cx);
    const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
    if (std::fabs(d) <= 1e-12 * (b2 + c2)) {
        const Disc discs[] = {discOn(v, i, j), discOn(v, i, k), discOn(v, j, k)};
        return *std::ranges::max_element(discs, {}, &Disc::r2);
    }
    const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
    return Disc{v[i].x + ux, v[i].y + uy, ux * ux + uy * uy, {i, j, k}, 3};
}

// Welzl's minimal enclosing circle, in double, in expected linear time: the vertices in a fixed
// shuffled order, each one found outside restarting the search with it on the circle.
Disc minimalDisc(const Vec2* v, int32_t n) {
    std::vector<int32_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    uint32_t state = 0x9E3779B9u;
    for (int32_t i = n - 1; i > 0; --i) {
        state = state * 1664525u + 1013904223u;
        std::swap(order[i], order[(state >> 8) % static_cast<uint32_t>(i + 1)]);
    }
    Disc disc{v[order[0]].x, v[order[0]].y, 0.0, {order[0], 0, 0}, 1};
    for (int32_t a = 1; a < n; ++a) {
        const int32_t i = order[a];
        if (!disc.misses(v[i])) {
            continue;
        }
        disc = Disc{v[i].x, v[i].y, 0.0, {i, 0, 0}, 1};
        for (int32_t b = 0; b < a; ++b) {
            const int32_t j = order[b];
            if (!disc.misses(v[j])) {
                continue;
            }
            disc = discOn(v, i, j);
            for (int32_t c = 0; c < b; ++c) {
                const int32_t k = order[c];
                disc = disc.misses(v[k]) ? discThrough(v, i, j, k) : disc;
            }
        }
    }
    return disc;
}

// With many vertices, only the candidates of the vertices on the minimal circle (to well beyond
// rounding) are weighed: a candidate's radius and enlargement grow with its centre's distance
// from the minimal circle's. (Inner vertices make equal candidates only where they face each
// other across the centre, as along a box's sides; the choice among such equals may then differ
// in the last bits.) With more than weighedLimit on the circle (a regular polygon), the circle's
// own two or three. Out of line: Polygon::boundingCircle, called every tick, saves no registers.
[[gnu::noinline]] void chooseLocalCircle(Choice& choice) {
    if (choice.n <= weighedLimit) {
        int32_t all[weighedLimit];
        std::iota(all, all + choice.n, 0);
        choice.considerAll(all, choice.n);
        return;
    }
    const Disc disc = minimalDisc(choice.v, choice.n);
    const double r = std::sqrt(disc.r2);
    const double band = 0x1p-8 * r + 0x1p-16 * std::max(std::fabs(disc.x), std::fabs(disc.y));
    int32_t near[weighedLimit];
    int32_t count = 0;
    for (int32_t i = 0; i < choice.n && count <= weighedLimit; ++i) {
        const double dx = choice.v[i].x - disc.x, dy = choice.v[i].y - disc.y;
        if (std::sqrt(dx * dx + dy * dy) >= r - band) {
            count < weighedLimit ? void(near[count] = i) : void();
            ++count;
        }
    }
    if (count > weighedLimit || count < disc.count) {
        count = disc.count;
        std::copy(disc.support, disc.support + count, near);
        std::sort(near, near + count);
    }
    choice.considerAll(near, count);
}

}  // namespace

BoundingCircle* Polygon::boundingCircle() {
    if (vertexCount == 0) {
        return nullptr;
    }
    if (worldCircle.radius < 0.0f) {
        // A single vertex gives no candidate and is its own circle.
        Choice choice{localVertices, vertexCount, localVertices[0]};
        chooseLocalCircle(choice);
        localCentre = choice.centre;
        worldCircle.radius = std::sqrt(choice.radiusSquared);
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
