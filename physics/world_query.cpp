// The world's queries: a uniform grid of circles around the bodies' pose points, built by the
// first query after a change, then exact tests on each candidate polygon at its current pose.
#include <scrapvolt/physics/world.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace scrapvolt {

extern uint64_t poseWrites;  // body.cpp

namespace {

// Beyond this a circle is not put in the grid (as in the broad phase): tested by every query.
constexpr double gridLimit = 1e18;

}  // namespace

struct QueryIndex {
    // A circle around the body's pose point that holds its polygon at any angle, with room for
    // the rounding of the turned vertices.
    struct Entry {
        Body* body;
        float x;
        float y;
        float radius;
    };
    std::vector<Entry> entries;
    std::vector<uint32_t> large;      // entries not in the grid: too big, or not finite
    std::vector<uint32_t> cellStart;  // cell c holds members[cellStart[c], cellStart[c + 1])
    std::vector<uint32_t> members;
    std::vector<Vec2> corners;  // the polygon at hand, turned and placed
    double x0 = 0.0;            // the grid's lower left corner and its cells' side
    double y0 = 0.0;
    double side = 1.0;
    int32_t columns = 1;
    int32_t rows = 1;
    uint64_t changes = ~uint64_t{0};  // the world's count and poseWrites when built
    uint64_t poses = ~uint64_t{0};

    // Cells of a coordinate, clamped to the grid (never called with NaN).
    int32_t column(double x) const {
        return static_cast<int32_t>(std::clamp(std::floor((x - x0) / side), 0.0, columns - 1.0));
    }
    int32_t row(double y) const {
        return static_cast<int32_t>(std::clamp(std::floor((y - y0) / side), 0.0, rows - 1.0));
    }
    bool gridded(const Entry& e) const {
        return std::fabs(e.x) <= gridLimit && std::fabs(e.y) <= gridLimit && e.radius <= side;
    }
    template <typename Visit>
    void forEachCell(const Entry& e, Visit visit) const {
        for (int32_t j = row(e.y - e.radius); j <= row(e.y + e.radius); ++j) {
            for (int32_t i = column(e.x - e.radius); i <= column(e.x + e.radius); ++i) {
                visit(static_cast<size_t>(j) * columns + i);
            }
        }
    }
    void build(WorldNode* head);
    // The polygon of e's body at its pose, in corners; its vertex count.
    int32_t place(const Entry& e);
};

void deleteQueryIndex(QueryIndex* index) {
    delete index;
}

// Cells about the bodies' mean diameter, and not many more cells than bodies.
void QueryIndex::build(WorldNode* head) {
    entries.clear();
    large.clear();
    double sum = 0.0;
    double low[2] = {INFINITY, INFINITY};
    double high[2] = {-INFINITY, -INFINITY};
    for (const WorldNode* node = head; node != nullptr; node = node->next) {
        const Polygon& p = *node->body->polygon;
        if (p.vertexCount <= 0) {
            continue;
        }
        // The polygon's own circle when it is known, else its furthest vertex.
        double r = p.worldCircle.radius + std::hypot(p.localCentre.x, p.localCentre.y);
        if (p.worldCircle.radius < 0.0f) {
            r = 0.0;
            for (int32_t i = 0; i < p.vertexCount; ++i) {
                r = std::max(r, std::hypot(double{p.localVertices[i].x}, p.localVertices[i].y));
            }
        }
        const float x = p.x;
        const float y = p.y;
        r += 1e-5 * (r + std::fabs(x) + std::fabs(y));
        entries.push_back(Entry{node->body, x, y, static_cast<float>(r)});
        if (std::fabs(x) <= gridLimit && std::fabs(y) <= gridLimit && r <= gridLimit) {
            sum += r;
            low[0] = std::min(low[0], x - r);
            low[1] = std::min(low[1], y - r);
            high[0] = std::max(high[0], x + r);
            high[1] = std::max(high[1], y + r);
        }
    }
    const double width = std::max(high[0] - low[0], 0.0);
    const double height = std::max(high[1] - low[1], 0.0);
    const double n = static_cast<double>(entries.size());
    side = std::max(
        {2.0 * sum / n, std::sqrt(width * height / n), width / 4096.0, height / 4096.0, 1e-30});
    x0 = sum > 0.0 ? low[0] : 0.0;
    y0 = sum > 0.0 ? low[1] : 0.0;
    columns = sum > 0.0 ? static_cast<int32_t>(width / side) + 1 : 1;
    rows = sum > 0.0 ? static_cast<int32_t>(height / side) + 1 : 1;
    // Counted, summed to the ends of the cells, then filled from the back to their starts.
    cellStart.assign(static_cast<size_t>(columns) * rows + 1, 0);
    for (uint32_t k = 0; k < entries.size(); ++k) {
        if (gridded(entries[k])) {
            forEachCell(entries[k], [&](size_t c) { ++cellStart[c]; });
        } else {
            large.push_back(k);
        }
    }
    std::partial_sum(cellStart.begin(), cellStart.end(), cellStart.begin());
    members.resize(cellStart.back());
    for (uint32_t k = static_cast<uint32_t>(entries.size()); k-- > 0;) {
        if (gridded(entries[k])) {
            forEachCell(entries[k], [&](size_t c) { members[--cellStart[c]] = k; });
        }
    }
}

// Turned as Polygon::updateRotation turns them, without touching the polygon's caches.
int32_t QueryIndex::place(const Entry& e) {
    const Polygon& p = *e.body->polygon;
    const float c = std::cos(p.angle);
    const float m = -std::sin(p.angle);
    corners.resize(static_cast<size_t>(p.vertexCount));
    for (int32_t i = 0; i < p.vertexCount; ++i) {
        const Vec2 l = p.localVertices[i];
        corners[i] = Vec2{(l.y * m + l.x * c) + p.x, (l.y * c - m * l.x) + p.y};
    }
    return p.vertexCount;
}

namespace {

// Edge i of a placed polygon: its first vertex and its outward normal, not unit.
struct Edge {
    Vec2 a;
    double nx;
    double ny;
};
Edge edgeOf(const std::vector<Vec2>& corners, int32_t i, int32_t n) {
    const Vec2 a = corners[i];
    const Vec2 b = corners[i + 1 == n ? 0 : i + 1];
    return Edge{a, -(double{b.y} - a.y), double{b.x} - a.x};
}

// Separating axes: the box's two, then each edge's normal against the box's corner furthest back.
bool meetsBox(const std::vector<Vec2>& corners, int32_t n, Vec2 lower, Vec2 upper) {
    Vec2 lo = corners[0];
    Vec2 hi = corners[0];
    for (int32_t i = 1; i < n; ++i) {
        lo = Vec2{std::min(lo.x, corners[i].x), std::min(lo.y, corners[i].y)};
        hi = Vec2{std::max(hi.x, corners[i].x), std::max(hi.y, corners[i].y)};
    }
    if (hi.x < lower.x || lo.x > upper.x || hi.y < lower.y || lo.y > upper.y) {
        return false;
    }
    for (int32_t i = 0; i < n; ++i) {
        const Edge e = edgeOf(corners, i, n);
        const double sx = e.nx > 0.0 ? lower.x : upper.x;
        const double sy = e.ny > 0.0 ? lower.y : upper.y;
        if (e.nx * (sx - e.a.x) + e.ny * (sy - e.a.y) > 0.0) {
            return false;
        }
    }
    return true;
}

// The segment from + t d, t in [0, 1], clipped by each edge's half-plane: the fraction where it
// enters (the last entering edge), or above 1 when it misses or starts inside.
double entering(const std::vector<Vec2>& corners, int32_t n, Vec2 from, double dx, double dy,
                int32_t& edge) {
    double enter = -INFINITY;
    double leave = INFINITY;
    edge = -1;
    for (int32_t i = 0; i < n; ++i) {
        const Edge e = edgeOf(corners, i, n);
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

}  // namespace

const QueryIndex& World::queryIndex() {
    QueryIndex& q = query_ != nullptr ? *query_ : *(query_ = new QueryIndex);
    if (q.changes != changes_ || q.poses != poseWrites) {
        q.build(head);
        q.changes = changes_;
        q.poses = poseWrites;
    }
    return q;
}

void World::queryPoint(Vec2 point, std::vector<Body*>& out, uint64_t maskBits) {
    queryBox(point, point, out, maskBits);
}

void World::queryBox(Vec2 lower, Vec2 upper, std::vector<Body*>& out, uint64_t maskBits) {
    if (!(lower.x <= upper.x && lower.y <= upper.y)) {
        return;
    }
    QueryIndex& q = const_cast<QueryIndex&>(queryIndex());
    const auto consider = [&](const QueryIndex::Entry& e) {
        const double dx = e.x - std::clamp(e.x, lower.x, upper.x);
        const double dy = e.y - std::clamp(e.y, lower.y, upper.y);
        if (dx * dx + dy * dy <= double{e.radius} * e.radius &&
            (e.body->categoryBits & maskBits) != 0 &&
            meetsBox(q.corners, q.place(e), lower, upper)) {
            out.push_back(e.body);
        }
    };
    for (const uint32_t k : q.large) {
        consider(q.entries[k]);
    }
    const int32_t i0 = q.column(lower.x);
    const int32_t j0 = q.row(lower.y);
    for (int32_t j = j0; j <= q.row(upper.y); ++j) {
        for (int32_t i = i0; i <= q.column(upper.x); ++i) {
            const size_t c = static_cast<size_t>(j) * q.columns + i;
            for (uint32_t m = q.cellStart[c]; m != q.cellStart[c + 1]; ++m) {
                const QueryIndex::Entry& e = q.entries[q.members[m]];
                // Once, in the first cell the box and the circle share.
                if ((i == i0 || q.column(e.x - e.radius) == i) &&
                    (j == j0 || q.row(e.y - e.radius) == j)) {
                    consider(e);
                }
            }
        }
    }
}

// The cells along the segment in order (clipped to the grid), until one ends beyond the best hit.
bool World::rayCast(Vec2 from, Vec2 to, RayHit& hit, uint64_t maskBits) {
    QueryIndex& q = const_cast<QueryIndex&>(queryIndex());
    const double dx = double{to.x} - from.x;
    const double dy = double{to.y} - from.y;
    const double length2 = dx * dx + dy * dy;
    double best = 2.0;
    const auto consider = [&](const QueryIndex::Entry& e) {
        const double ex = e.x - double{from.x};
        const double ey = e.y - double{from.y};
        const double t = length2 > 0.0 ? std::clamp((ex * dx + ey * dy) / length2, 0.0, 1.0) : 0.0;
        const double px = ex - t * dx;
        const double py = ey - t * dy;
        int32_t edge = -1;
        if (!(px * px + py * py <= double{e.radius} * e.radius) ||
            (e.body->categoryBits & maskBits) == 0) {
            return;
        }
        const int32_t n = q.place(e);
        const double f = entering(q.corners, n, from, dx, dy, edge);
        if (f < best) {
            best = f;
            const Edge ed = edgeOf(q.corners, edge, n);
            const double inverse = 1.0 / std::hypot(ed.nx, ed.ny);
            hit = RayHit{
                e.body,
                Vec2{static_cast<float>(from.x + f * dx), static_cast<float>(from.y + f * dy)},
                Vec2{static_cast<float>(ed.nx * inverse), static_cast<float>(ed.ny * inverse)},
                static_cast<float>(f)};
        }
    };
    for (const uint32_t k : q.large) {
        consider(q.entries[k]);
    }
    // Clipped to the grid's rectangle on each axis.
    double t0 = 0.0;
    double t1 = 1.0;
    const double start[2] = {from.x, from.y};
    const double d[2] = {dx, dy};
    const double lo[2] = {q.x0, q.y0};
    const double hi[2] = {q.x0 + q.columns * q.side, q.y0 + q.rows * q.side};
    for (int axis = 0; axis < 2; ++axis) {
        if (d[axis] == 0.0 && !(start[axis] >= lo[axis] && start[axis] <= hi[axis])) {
            return best <= 1.0;
        }
        if (d[axis] != 0.0) {
            const double ta = (lo[axis] - start[axis]) / d[axis];
            const double tb = (hi[axis] - start[axis]) / d[axis];
            t0 = std::max(t0, std::min(ta, tb));
            t1 = std::min(t1, std::max(ta, tb));
        }
    }
    if (!(t0 <= t1)) {
        return best <= 1.0;
    }
    int32_t i = q.column(from.x + t0 * dx);
    int32_t j = q.row(from.y + t0 * dy);
    const int32_t stepX = dx > 0.0 ? 1 : dx < 0.0 ? -1 : 0;
    const int32_t stepY = dy > 0.0 ? 1 : dy < 0.0 ? -1 : 0;
    double nextX = stepX == 0 ? INFINITY : (q.x0 + (i + (stepX > 0)) * q.side - from.x) / dx;
    double nextY = stepY == 0 ? INFINITY : (q.y0 + (j + (stepY > 0)) * q.side - from.y) / dy;
    const double deltaX = q.side / std::fabs(dx);
    const double deltaY = q.side / std::fabs(dy);
    while (i >= 0 && i < q.columns && j >= 0 && j < q.rows) {
        const size_t c = static_cast<size_t>(j) * q.columns + i;
        for (uint32_t m = q.cellStart[c]; m != q.cellStart[c + 1]; ++m) {
            consider(q.entries[q.members[m]]);
        }
        const double next = std::min(nextX, nextY);
        if (best <= next || next > t1) {
            break;
        }
        if (nextX < nextY) {
            i += stepX;
            nextX += deltaX;
        } else {
            j += stepY;
            nextY += deltaY;
        }
    }
    return best <= 1.0;
}

}  // namespace scrapvolt
