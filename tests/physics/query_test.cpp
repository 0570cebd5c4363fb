// World queries against a brute force over every body, in double, written apart from the engine.
#include <algorithm>
#include <array>
#include <deque>
#include <tuple>

#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

constexpr double tolerance = 1e-4;  // closer to an edge than this, a point may go either way

// A body's polygon at its pose, in double.
struct Placed {
    std::vector<std::array<double, 2>> v;

    explicit Placed(const Body& body) {
        const Polygon& p = *body.polygon;
        const double c = std::cos(double{p.angle}), s = std::sin(double{p.angle});
        for (int32_t i = 0; i < p.vertexCount; ++i) {
            const double x = p.localVertices[i].x, y = p.localVertices[i].y;
            v.push_back({x * c - y * s + p.x, x * s + y * c + p.y});
        }
    }
    std::array<double, 2> normal(size_t i) const {  // edge i's, outward and of unit length
        const auto &a = v[i], &b = v[(i + 1) % v.size()];
        const double length = std::hypot(b[0] - a[0], b[1] - a[1]);
        return {(a[1] - b[1]) / length, (b[0] - a[0]) / length};
    }
    // How far beyond edge i's line the point lies (negative inside).
    double beyond(size_t i, double px, double py) const {
        const auto [nx, ny] = normal(i);
        return nx * (px - v[i][0]) + ny * (py - v[i][1]);
    }
    double depth(double px, double py) const {  // the largest distance beyond an edge
        double d = -INFINITY;
        for (size_t i = 0; i < v.size(); ++i) {
            d = std::max(d, beyond(i, px, py));
        }
        return d;
    }
    // The widest gap between the polygon and the box on the box's axes and the edge normals.
    double gap(Vec2 lo, Vec2 hi) const {
        double g = -INFINITY;
        for (int axis = 0; axis < 2; ++axis) {
            const auto [least, most] = std::ranges::minmax(v, {}, [&](auto& p) { return p[axis]; });
            g = std::max(
                {g, (axis ? lo.y : lo.x) - most[axis], least[axis] - (axis ? hi.y : hi.x)});
        }
        for (size_t i = 0; i < v.size(); ++i) {
            g = std::max(g, std::min({beyond(i, lo.x, lo.y), beyond(i, lo.x, hi.y),
                                      beyond(i, hi.x, lo.y), beyond(i, hi.x, hi.y)}));
        }
        return g;
    }
    // Where the segment crosses the outline (or passes a vertex within tolerance): the first and
    // last fractions, or infinities.
    std::array<double, 2> crossings(Vec2 from, Vec2 to) const {
        std::array<double, 2> t{INFINITY, -INFINITY};
        const double dx = double{to.x} - from.x, dy = double{to.y} - from.y;
        for (size_t i = 0; i < v.size(); ++i) {
            const auto &a = v[i], &b = v[(i + 1) % v.size()];
            const double ex = b[0] - a[0], ey = b[1] - a[1], wx = a[0] - from.x, wy = a[1] - from.y;
            const double denominator = dx * ey - dy * ex;
            if (std::fabs(denominator) > 1e-12) {
                const double u = (wx * ey - wy * ex) / denominator;
                const double s = (wx * dy - wy * dx) / denominator;
                const double slack = tolerance / std::hypot(ex, ey);  // past a vertex, to rounding
                if (u >= -1e-9 && u <= 1 + 1e-9 && s >= -slack && s <= 1 + slack) {
                    t = {std::min(t[0], u), std::max(t[1], u)};
                }
            }
        }
        return t;
    }
};

// Bodies the brute force says are in (depth or gap below -tolerance) and those too near to say.
struct Expected {
    std::vector<Body*> in, near;
};

void expectSame(std::vector<Body*> got, const Expected& want, const std::string& what) {
    std::ranges::sort(got);
    EXPECT_TRUE(std::ranges::adjacent_find(got) == got.end()) << what << ": a body twice";
    for (Body* body : want.in) {
        EXPECT_TRUE(std::ranges::binary_search(got, body)) << what << ": missed one";
    }
    for (Body* body : got) {
        EXPECT_TRUE(std::ranges::count(want.in, body) + std::ranges::count(want.near, body))
            << what << ": reported one outside";
    }
}

// Random polygons and walls scattered over 80 units, some in layer 2, spinning and drifting.
struct QueryWorld {
    std::deque<Polygon> polygons;
    std::deque<Body> bodies;
    World world;
    Random random;

    explicit QueryWorld(uint32_t seed, int32_t count) : random{std::mt19937(seed)} {
        for (int32_t k = 0; k < count; ++k) {
            Body& body = bodies.emplace_back(polygons.emplace_back());
            k < 3 ? fill(polygons.back(), {{30, -0.5f}, {-30, -0.5f}, {-30, 0.5f}, {30, 0.5f}})
                  : fillRandom(polygons.back(), random);
            body.setPose(random.real(-40, 40), random.real(-40, 40), random.real(-4, 4));
            body.velocity = {random.real(-0.3, 0.3), random.real(-0.3, 0.3)};
            body.angularVelocity = random.real(-0.1, 0.1);
            body.inverseMass = k < 3 ? 0 : 1;
            body.inverseInertia = k < 3 ? 0 : 0.5f;
            body.categoryBits = k % 4 == 1 ? 2 : 1;
            world.add(body);
        }
    }
    std::vector<Body*> members() const {
        std::vector<Body*> listed;
        for (const WorldNode* n = world.head; n != nullptr; n = n->next) {
            listed.push_back(n->body);
        }
        return listed;
    }
    Vec2 point() { return {random.real(-45, 45), random.real(-45, 45)}; }
    // Points on the line of a listed body's edge, t and u of the way along it: 0 its first vertex.
    std::array<Vec2, 2> onOutline(float t, float u = 0) {
        const std::vector<Body*> listed = members();
        const Placed p(*listed[size_t(random.real(0, listed.size() - 0.01))]);
        const size_t i = size_t(random.real(0, p.v.size() - 0.01));
        const auto &a = p.v[i], &b = p.v[(i + 1) % p.v.size()];
        return {Vec2{float(a[0] + t * (b[0] - a[0])), float(a[1] + t * (b[1] - a[1]))},
                Vec2{float(a[0] + u * (b[0] - a[0])), float(a[1] + u * (b[1] - a[1]))}};
    }
};

// Random worlds as a step left them, or changed by hand since (moved, added, removed, moved after
// a query), under masks. Points and boxes from zero size up, at random places and on outlines,
// find what the brute force finds, and an inverted box nothing; rays at random, along edges
// (their lines extended), through vertices and of zero length (which hit nothing) hit the nearest
// polygon the brute force finds, up to rounding.
TEST(WorldQuery, PointsBoxesAndRaysFindWhatTheBruteForceFinds) {
    int32_t found = 0, hits = 0;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        QueryWorld w(seed, seed % 2 ? 60 : 400);
        Polygon extra;
        fillRandom(extra, w.random);
        Body added(extra);
        for (int32_t round = 0; round < 8; ++round) {
            for (int32_t step = 0; step < 10; ++step) {
                w.world.step();
            }
            std::vector<Body*> out;
            if (round % 2) {                         // else as the step left them
                w.world.queryPoint(w.point(), out);  // the moves below must be seen all the same
                w.bodies[5 + round].setPose(w.random.real(-40, 40), w.random.real(-40, 40), 1);
                round == 5 ? (added.setPose(0, 0, 0.5f), w.world.add(added)) : void();
            }
            if (round == 2) {  // no pose written since the step: all but the removed body found
                w.world.remove(w.bodies[7]);
                w.world.queryBox({-1e6f, -1e6f}, {1e6f, 1e6f}, out);
                EXPECT_EQ(out.size(), w.members().size()) << "seed " << seed;
            }
            const std::vector<Body*> listed = w.members();
            for (int32_t q = 0; q < 80; ++q) {
                const uint64_t mask = q % 3 == 0 ? 2 : ~0ull;
                const Vec2 at = q % 2 ? w.point() : w.onOutline(q % 4 == 0 ? 0.0f : 0.5f)[0];
                const float hx = q % 5 == 0 ? 0 : w.random.real(0, 6), hy = w.random.real(0, 6);
                const Vec2 lo{at.x - hx, at.y - hy}, hi{at.x + hx * (q % 7 != 0), at.y + hy};
                Vec2 from = w.point(), to = q % 4 == 3 ? from : w.point();
                if (q % 4 == 1) {  // along an edge, from before its first vertex to beyond its last
                    const std::array<Vec2, 2> edge = w.onOutline(-0.5f, 1.5f);
                    from = edge[0], to = edge[1];
                } else if (q % 4 == 2) {  // through a vertex
                    to = w.onOutline(0)[0], to = {2 * to.x - from.x, 2 * to.y - from.y};
                }
                const double dx = double{to.x} - from.x, dy = double{to.y} - from.y;
                const double length = std::hypot(dx, dy);
                Expected point, box;
                // Bodies the ray may hit, where it first meets each outline; the middle of the
                // nearest it surely goes into, the hit due by then.
                std::vector<std::pair<Body*, double>> possible;
                double nearest = INFINITY;
                for (Body* body : listed) {
                    if ((body->categoryBits & mask) == 0) {
                        continue;
                    }
                    const Placed p(*body);
                    const double depth = p.depth(at.x, at.y), gap = p.gap(lo, hi);
                    for (auto [d, e] : {std::pair{depth, &point}, {gap, &box}}) {
                        d < tolerance ? (d < -tolerance ? e->in : e->near).push_back(body) : void();
                    }
                    const auto [in, out] = p.crossings(from, to);
                    const double start = p.depth(from.x, from.y);
                    const double middle =
                        p.depth(from.x + (in + out) / 2 * dx, from.y + (in + out) / 2 * dy);
                    if (start >= -tolerance && in <= 1) {
                        possible.emplace_back(body, in);
                        nearest = start > tolerance && middle < -tolerance
                                      ? std::min(nearest, (in + out) / 2)
                                      : nearest;
                    }
                }
                found += int32_t(box.in.size());
                const std::string what = "seed " + std::to_string(seed) + " round " +
                                         std::to_string(round) + " query " + std::to_string(q);
                out.clear();
                w.world.queryPoint(at, out, mask);
                expectSame(out, point, what + " point");
                out.clear();
                w.world.queryBox(lo, hi, out, mask);
                expectSame(out, box, what + " box");
                out.clear();
                w.world.queryBox(hi, lo, out, mask);
                EXPECT_TRUE(out.empty() || (hx == 0 && hy == 0)) << what << " inverted box";
                RayHit hit{nullptr, {}, {}, -1};
                if (!w.world.rayCast(from, to, hit, mask)) {
                    EXPECT_TRUE(nearest == INFINITY && hit.body == nullptr) << what << ": missed";
                    continue;
                }
                ++hits;
                const auto it =
                    std::ranges::find(possible, hit.body, &std::pair<Body*, double>::first);
                ASSERT_TRUE(it != possible.end() && length > 0) << what << ": hit a body it cannot";
                const Placed p(*hit.body);
                const Vec2 n = hit.normal;
                bool onEdge = false;  // the point on an edge facing the ray, with its normal
                for (size_t i = 0; i < p.v.size(); ++i) {
                    const auto [nx, ny] = p.normal(i);
                    onEdge =
                        onEdge || (std::fabs(p.beyond(i, hit.point.x, hit.point.y)) < tolerance &&
                                   std::fabs(nx - n.x) < 1e-3 && std::fabs(ny - n.y) < 1e-3 &&
                                   nx * dx + ny * dy <= 1e-3 * length);
                }
                // Just before the hit, the ray is in no polygon (at a grazing angle, rounding
                // moves the entry along the ray more than across it).
                const double before = std::max(0.0, hit.fraction - tolerance / length);
                for (const auto& [body, in] : possible) {
                    EXPECT_GT(Placed(*body).depth(from.x + before * dx, from.y + before * dy),
                              -tolerance)
                        << what << ": went into a polygon before the hit";
                }
                EXPECT_TRUE(onEdge && hit.fraction * length > it->second * length - tolerance &&
                            hit.fraction < nearest && hit.fraction >= 0 && hit.fraction <= 1 &&
                            std::hypot(from.x + hit.fraction * dx - hit.point.x,
                                       from.y + hit.fraction * dy - hit.point.y) < tolerance)
                    << what << ": fraction " << hit.fraction << " against " << it->second
                    << ", nearest " << nearest;
            }
        }
    }
    EXPECT_TRUE(found > 4000 && hits > 1500) << found << " in boxes, " << hits << " hits";
}

// A triangle cut off just outside a corner of the box [0, 2] x [0, 2], its bounds reaching into
// the box along one side, is not in it; moved 0.2 towards it, it is: at each corner, along either
// side; first refilled after two steps from a larger triangle that held the box (so found as it
// is now, not by the old edges), then as a step left the world, then after a change by hand.
TEST(WorldQuery, BoxesTellPolygonsFromTheirBoundsAtEachCorner) {
    for (int32_t corner = 0; corner < 8; ++corner) {
        const float ox = corner & 1 ? 1 : -1, oy = corner & 2 ? 1 : -1;  // out of the box
        for (const float shift : {0.0f, -0.2f}) {
            std::vector<Vec2> v;  // in (u, w) out of the corner: u + w >= 0.1 + shift
            for (auto [u, w] : {std::pair{1.1f, -1.0f}, {-0.2f, 0.3f}, {1.1f, 0.3f}}) {
                corner & 4 ? std::swap(u, w) : void();
                v.push_back({1 + ox * (1 + u + shift), 1 + oy * (1 + w)});
            }
            ((ox * oy < 0) != bool(corner & 4)) ? std::reverse(v.begin(), v.end()) : void();
            TwoBodies t({{10, -4}, {-4, -4}, {-4, 10}}, 50, 50);
            t.world.step();
            t.world.step();  // now in the bands of a layout made for the larger triangle
            fill(t.shapeA, v);
            for (const int change : {0, 1, 2}) {
                change == 1 ? t.world.step() : change == 2 ? t.b.setPose(50, 50, 0) : void();
                std::vector<Body*> out;
                t.world.queryBox({0, 0}, {2, 2}, out);
                EXPECT_EQ(out, shift < 0 ? std::vector<Body*>{&t.a} : std::vector<Body*>{})
                    << "corner " << corner << " shift " << shift << " change " << change;
            }
        }
    }
}

// A bar turned by 0.3 among unit squares is a large body, found by its bounds: a box or a ray
// reaching 0.01 past its outermost corner on either axis, either way, finds it; one stopping
// 0.01 short does not. After one step, after two and after a change by hand.
TEST(WorldQuery, LargeBodiesAreFoundUpToTheirOutermostCorners) {
    Shape bar({{4, -0.5f}, {-4, -0.5f}, {-4, 0.5f}, {4, 0.5f}}, {0, 0, 0.3f});
    Body barBody(bar);
    std::deque<Shape> shapes;
    std::deque<Body> squares;
    World world;
    world.add(barBody);
    for (int i = 0; i < 20; ++i) {
        world.add(squares.emplace_back(shapes.emplace_back(square, Pose{2.0f * i, 20, 0})));
    }
    for (const int change : {0, 1, 2}) {
        change < 2 ? world.step() : barBody.setPose(0, 0, 0.3f);
        const Placed placed(barBody);
        for (int side = 0; side < 4; ++side) {
            const int a = side / 2;              // the axis
            const double s = side % 2 ? 1 : -1;  // outwards along it
            const auto v =
                *std::ranges::max_element(placed.v, {}, [&](auto& p) { return s * p[a]; });
            const auto at = [&](double out, double across) {  // v moved out and across
                return a ? Vec2{float(v[0] + across), float(v[1] + s * out)}
                         : Vec2{float(v[0] + s * out), float(v[1] + across)};
            };
            for (const double past : {0.01, -0.01}) {
                const Vec2 p = at(1, -1e-3), q = at(-past, 1e-3);
                std::vector<Body*> out;
                world.queryBox({std::min(p.x, q.x), std::min(p.y, q.y)},
                               {std::max(p.x, q.x), std::max(p.y, q.y)}, out);
                RayHit hit{};
                const bool ray = world.rayCast(at(1, 0), at(-past, 0), hit);
                const auto want = past > 0 ? std::vector{&barBody} : std::vector<Body*>{};
                EXPECT_EQ(out, want) << "change " << change << " side " << side << " past " << past;
                EXPECT_EQ(ray ? std::vector{hit.body} : std::vector<Body*>{}, want) << "ray";
            }
        }
    }
}

// A unit square at the origin and one at (3, 0) in layer 2, rays along each axis both ways: exact
// fractions, points and normals; a ray starting inside the first hits the second; one ending on
// the edge hits it there, one ending short, masked off or passing along beyond an edge does not.
TEST(WorldQuery, RaysReportTheEdgeTheyEnterExactly) {
    TwoBodies t(square, 3, 0);
    Body &a = t.a, &b = t.b;
    b.categoryBits = 2;
    const std::tuple<Vec2, Vec2, uint64_t, Body*, Floats> rays[] = {
        {{-2, 0}, {2, 0}, ~0ull, &a, {0.375f, -0.5f, 0, -1, 0}},
        {{1.5f, 0}, {-2.5f, 0}, ~0ull, &a, {0.25f, 0.5f, 0, 1, 0}},
        {{0, -2}, {0, 2}, ~0ull, &a, {0.375f, 0, -0.5f, 0, -1}},
        {{0, 2}, {0, -2}, ~0ull, &a, {0.375f, 0, 0.5f, 0, 1}},
        {{0, 0}, {4, 0}, ~0ull, &b, {0.625f, 2.5f, 0, -1, 0}},
        {{-2, 0}, {-0.5f, 0}, ~0ull, &a, {1, -0.5f, 0, -1, 0}},
        {{-2, 0}, {-0.5001f, 0}, ~0ull, nullptr, {}},
        {{-2, 0}, {4, 0}, 2, &b, {0.75f, 2.5f, 0, -1, 0}},
        {{-2, 0}, {2, 0}, 2, nullptr, {}},
        {{-2, 0.6f}, {2, 0.6f}, ~0ull, nullptr, {}},
    };
    for (const auto& [from, to, mask, body, expected] : rays) {
        RayHit hit{nullptr, {}, {}, -1};
        const bool found = t.world.rayCast(from, to, hit, mask);
        EXPECT_EQ(found ? hit.body : nullptr, body) << from.x << " " << from.y;
        EXPECT_EQ(
            (found ? Floats{hit.fraction, hit.point.x, hit.point.y, hit.normal.x, hit.normal.y}
                   : Floats{}),
            expected)
            << from.x << " " << from.y << " to " << to.x << " " << to.y;
    }
}

}  // namespace
