// The world's queries: candidates from the last step's sorted intervals and bands (their circles
// grown by the step's corrections), or every body after a change by hand, then exact tests on
// each candidate polygon at its current pose.
#include <scrapvolt/physics/world.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <vector>

#include "step_scratch.h"

namespace scrapvolt {

namespace {

// The candidate polygon, turned as Polygon::updateRotation turns it (its caches left alone) and
// placed: grown to the largest polygon, then reused.
std::vector<Vec2> corners;

int32_t place(const Polygon& p) {
    const float c = std::cos(p.angle), m = -std::sin(p.angle);
    corners.resize(static_cast<size_t>(p.vertexCount));
    Vec2* out = corners.data();
    for (int32_t i = 0; i < p.vertexCount; ++i) {
        const Vec2 l = p.localVertices[i];
        out[i] = Vec2{(l.y * m + l.x * c) + p.x, (l.y * c - m * l.x) + p.y};
    }
    return p.vertexCount;
}

// A circle that holds a body's polygon where it is now.
struct Candidate {
    Body* body;
    const Polygon* polygon;  // the body's
    float x, y, radius;
};

// Edge i of the placed polygon: its first vertex and its outward normal, not unit.
struct Edge {
    Vec2 a;
    double nx, ny;
};
inline Edge edgeOf(const Vec2* c, int32_t i, int32_t n) {
    const Vec2 a = c[i], b = c[i + 1 == n ? 0 : i + 1];
    return Edge{a, -(double{b.y} - a.y), double{b.x} - a.x};
}

// The placed polygon's bounds: lower x, lower y, upper x, upper y (NaN corners left out).
std::array<float, 4> boundsOf(int32_t n) {
    std::array<float, 4> b{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const Vec2& c : std::span(corners.data(), static_cast<size_t>(n))) {
        b = {std::min(b[0], c.x), std::min(b[1], c.y), std::max(b[2], c.x), std::max(b[3], c.y)};
    }
    return b;
}

// Separating axes: the box's two, then (unless the polygon lies within one of the box's spans)
// each edge's normal against the box's corner furthest back.
bool meetsBox(int32_t n, Vec2 lower, Vec2 upper) {
    const auto [loX, loY, hiX, hiY] = boundsOf(n);
    if (hiX < lower.x || loX > upper.x || hiY < lower.y || loY > upper.y) {
        return false;
    }
    if ((loX >= lower.x && hiX <= upper.x) || (loY >= lower.y && hiY <= upper.y)) {
        return true;  // the polygon has a point at every height (width) of its, and so in the box
    }
    for (int32_t i = 0; i < n; ++i) {
        const Edge e = edgeOf(corners.data(), i, n);
        const double sx = e.nx > 0.0 ? lower.x : upper.x;
        const double sy = e.ny > 0.0 ? lower.y : upper.y;
        if (e.nx * (sx - e.a.x) + e.ny * (sy - e.a.y) > 0.0) {
            return false;
        }
    }
    return true;
}

// Whether the polygon holds the disc of radius d about its pose point: at any angle it holds the
// disc that its edges' lines leave clear (their offsets, as the edges were last computed).
bool holdsDisc(const Polygon& p, double d) {
    bool holds = !p.edgesStale;
    for (int32_t i = 0; i < p.vertexCount && holds; ++i) {
        holds = -p.edges[i].offset > d;
    }
    return holds;
}

// The segment from + t d, t in [0, 1], clipped by each edge's half-plane: the fraction where it
// enters (at the last entering edge), or 2 when it misses or starts inside.
double entering(int32_t n, Vec2 from, double dx, double dy, int32_t& edge) {
    double enter = -INFINITY, leave = INFINITY;
    edge = -1;
    const Vec2* c = corners.data();
    for (int32_t i = 0; i < n; ++i) {
        const Edge e = edgeOf(c, i, n);
        const double distance = e.nx * (double{from.x} - e.a.x) + e.ny * (double{from.y} - e.a.y);
        const double along = e.nx * dx + e.ny * dy;
        if (along < 0.0 && -distance / along > enter) {
            enter = -distance / along;
            edge = i;
        } else if (along > 0.0) {
            leave = std::min(leave, -distance / along);
        } else if (along == 0.0 && !(distance <= 0.0)) {
            return 2.0;  // parallel and beyond the edge's line (or NaN)
        }
    }
    return edge >= 0 && enter >= 0.0 && enter <= std::min(leave, 1.0) ? enter : 2.0;
}

// The large bodies' bounds where they are now, by place in the step's large list: made by the
// first query after the step and kept until the next, grown by the rounding of a test against them.
const std::array<float, 4>* boundsOfLarge(StepScratch& s) {
    if (s.boundsOf != s.changes) {
        s.boundsOf = s.changes;
        s.largeBounds.clear();
        for (size_t i = 0; i + 1 < s.broad.large.size(); ++i) {  // without the end mark
            auto [loX, loY, hiX, hiY] = boundsOf(place(*s.bodies[s.broad.large[i]].polygon));
            const float m = 1e-5f * (std::fabs(loX) + std::fabs(loY) + hiX - loX + hiY - loY);
            s.largeBounds.push_back({loX - m, loY - m, hiX + m, hiY + m});
        }
    }
    return s.largeBounds.data();
}

// visit(candidate) for each body whose polygon may meet the rectangle: from the step's bands s and
// its large bodies' bounds, else the list from head. In batches: bodies and polygons, then
// vertices, are fetched together so that their misses overlap.
template <typename Visit>
void forEachNear(StepScratch* s, const WorldNode* head, double x0, double x1, double y0, double y1,
                 Visit visit) {
    Candidate held[16];
    int n = 0;
    const auto flush = [&] {
        std::for_each(held, held + n, [](auto c) {
            __builtin_prefetch(c.polygon->localVertices);  // placed by a ray and some boxes
            __builtin_prefetch(c.polygon->edges);          // read by every box
        });
        std::for_each(held, held + n, visit);
        n = 0;
    };
    const auto hold = [&](const Candidate& c) {
        __builtin_prefetch(c.body);
        __builtin_prefetch(c.polygon);
        __builtin_prefetch(&c.polygon->vertexCount);  // and its storage's addresses, further on
        held[n++] = c;
        if (n == 16) {
            flush();
        }
    };
    if (s != nullptr) {
        const float drift = s->solver.drift;
        const auto take = [&](uint32_t k) {
            const BoundingCircle& c = s->broad.sorted[k].circle;
            const float margin = 1e-5f * (c.radius + std::fabs(c.centreX) + std::fabs(c.centreY));
            const StepBody& b = s->bodies[k];
            hold(Candidate{b.body, b.polygon, c.centreX, c.centreY, c.radius + drift + margin});
        };
        const std::array<float, 4>* bounds = boundsOfLarge(*s);
        for (size_t i = 0; i + 1 < s->broad.large.size(); ++i) {
            if (bounds[i][0] <= x1 && bounds[i][1] <= y1 && bounds[i][2] >= x0 &&
                bounds[i][3] >= y0) {
                take(s->broad.large[i]);
            }
        }
        s->broad.near(x0 - drift, x1 + drift, y0 - drift, y1 + drift, take);
    }
    for (const WorldNode* node = s ? nullptr : head; node != nullptr; node = node->next) {
        const Polygon& p = *node->body->polygon;
        double r = 0.0;  // about the pose point, at any angle
        for (int32_t i = 0; i < p.vertexCount; ++i) {
            r = std::max(r, std::hypot(double{p.localVertices[i].x}, p.localVertices[i].y));
        }
        r += 1e-5 * (r + std::fabs(p.x) + std::fabs(p.y));
        hold(Candidate{node->body, &p, p.x, p.y, static_cast<float>(r)});
    }
    flush();
}

}  // namespace

StepScratch* World::layout() {
    StepScratch* s = scratch_;
    return s != nullptr && s->changes == changes_ && s->poseWrites == poseWrites ? s : nullptr;
}

void World::queryBox(Vec2 lower, Vec2 upper, std::vector<Body*>& out, uint64_t maskBits) {
    if (!(lower.x <= upper.x && lower.y <= upper.y)) {
        return;
    }
    // The pose point's distance from the box, against the reach of the polygon's vertices from
    // it (through the candidate's circle) and the disc it holds (less the rounding of its offsets).
    const auto visit = [&](const Candidate& c) {
        const Polygon& p = *c.polygon;
        const double dx = p.x - std::clamp(p.x, lower.x, upper.x);
        const double dy = p.y - std::clamp(p.y, lower.y, upper.y);
        const double d = std::sqrt(dx * dx + dy * dy);
        const float reach = std::fabs(p.x - c.x) + std::fabs(p.y - c.y) + c.radius;
        if (d > reach || p.vertexCount == 0 || (c.body->categoryBits & maskBits) == 0) {
            return;
        }
        if (holdsDisc(p, d + 1e-6 * reach) || meetsBox(place(p), lower, upper)) {
            out.push_back(c.body);
        }
    };
    forEachNear(layout(), head, lower.x, upper.x, lower.y, upper.y, visit);
}

// The segment in pieces, one band of the last step's layout at a time from `from` on, until the
// best hit lies before the end of a piece; a candidate may come up in more than one piece.
bool World::rayCast(Vec2 from, Vec2 to, RayHit& hit, uint64_t maskBits) {
    const double dx = double{to.x} - from.x, dy = double{to.y} - from.y;
    const double length2 = dx * dx + dy * dy;
    double best = 2.0;
    const auto consider = [&](const Candidate& c) {
        // The circle's distance from the segment first.
        const double ex = c.x - double{from.x}, ey = c.y - double{from.y};
        const double t = length2 > 0.0 ? std::clamp((ex * dx + ey * dy) / length2, 0.0, 1.0) : 0.0;
        const double px = ex - t * dx, py = ey - t * dy;
        int32_t edge = -1;
        if (px * px + py * py > double{c.radius} * c.radius || c.polygon->vertexCount == 0 ||
            (c.body->categoryBits & maskBits) == 0) {
            return;
        }
        const int32_t n = place(*c.polygon);
        const double f = entering(n, from, dx, dy, edge);
        if (f < best) {
            best = f;
            const Edge e = edgeOf(corners.data(), edge, n);
            const double inverse = 1.0 / std::sqrt(e.nx * e.nx + e.ny * e.ny);
            hit = RayHit{
                c.body,
                Vec2{static_cast<float>(from.x + f * dx), static_cast<float>(from.y + f * dy)},
                Vec2{static_cast<float>(e.nx * inverse), static_cast<float>(e.ny * inverse)},
                static_cast<float>(f)};
        }
    };
    if (!std::isfinite(length2) || !std::isfinite(from.x) || !std::isfinite(from.y)) {
        return false;
    }
    StepScratch* s = layout();
    const BroadPhase::Layout band = s ? s->broad.layout() : BroadPhase::Layout{INFINITY, 0.0, 1};
    const int32_t step = dy > 0.0 ? 1 : dy < 0.0 ? -1 : 0;
    int32_t b = s ? s->broad.bandAt(from.y) : 0;
    // A piece spans at most a band's height across (or a 64th of the segment), so that along a
    // band too a hit near `from` ends the walk early.
    const double across = std::max(band.height / std::fabs(dx), 1.0 / 64);
    for (double t = 0.0; t <= 1.0 && best > t && b >= 0 && b < band.bands;) {
        // Where the segment leaves band b (the end bands reach out for ever).
        const bool last = step == 0 || b + step < 0 || b + step >= band.bands;
        const double edgeY = band.low + (b + (step > 0)) * band.height;
        const double leave = last ? 1.0 : std::clamp((edgeY - from.y) / dy, t, 1.0);
        const double end = std::min(leave, t + across);
        const double x[2] = {from.x + t * dx, from.x + end * dx};
        const double y[2] = {from.y + t * dy, from.y + end * dy};
        forEachNear(s, head, std::min(x[0], x[1]), std::max(x[0], x[1]), std::min(y[0], y[1]),
                    std::max(y[0], y[1]), consider);
        b += end == leave ? step : 0;
        t = end == leave && last ? 2.0 : end;
    }
    return best <= 1.0;
}

}  // namespace scrapvolt
