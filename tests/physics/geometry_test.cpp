// Polygon caches, the bounding circle and the contact query.
#include <algorithm>
#include <complex>
#include <cstring>
#include <span>
#include <tuple>

#include "contact_walk.h"
#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

// Normals and offsets to the last digit, the rotation's cosine and sine at a quarter turn; the
// world circle, centred at the pose on the local centre, follows the pose while the local circle,
// a radius of 0 included, is kept (no vertices, no circle; no angle, no centre); storage that grows
// by 16 entries (or as reserved, marking the caches stale) keeping the local vertices, and is then
// reused.
TEST(Polygon, EdgesRotationCircleAndStorage) {
    Shape polygon(car, {3, 4, halfPi}), dot({{3, 4}});  // stale edges rebuilt, then turned
    EXPECT_EQ(dot.edges[0].normal.x + dot.edges[0].offset, 0.0f) << "a zero-length edge: no NaN";
    const float nx = 0.9950372f, ny = 0.09950371f, offset = -1.1940446f;  // edge 0, a side
    const Floats edges[] = {{nx, ny, offset}, {0, -1, -2}, {-nx, ny, offset}, {0, 1, -2}};
    for (int32_t i = 0; i < 4; ++i) {
        const PolygonEdge& e = polygon.edges[i];
        EXPECT_EQ((Floats{e.normal.x, e.normal.y, e.offset}), edges[i]) << "edge " << i;
    }
    EXPECT_EQ((Floats{polygon.cosAngle, polygon.negSinAngle}), (Floats{-4.3711388e-8f, -1.0f}));
    EXPECT_EQ(Polygon().boundingCircle(), nullptr);
    BoundingCircle* c = polygon.boundingCircle();  // the local circle, computed once
    const AllocationScope circleScope;  // a recomputation would take longer, not allocate
    polygon.x = 5.0f;
    c->radius = 0.0f;  // a valid radius, not a stale mark
    polygon.boundingCircle();
    EXPECT_EQ(circleScope.count(), 0u) << "the local circle was recomputed";
    expectNear({c->centreX, c->centreY, c->radius}, {5.12f, 4.0f, 0}, 1e-6f);
    // A centre at the local origin, turned by 0.3, is +0 + +0 or -0: at x = -0 it sums to +0.
    Shape centred(square, {-0.0f, 2, 0.3f});
    EXPECT_FALSE(std::signbit(centred.boundingCircle()->centreX));
    std::tie(centred.x, centred.angle) = std::tuple(1.0f, NAN);
    EXPECT_TRUE(std::isnan(centred.boundingCircle()->centreY)) << "no angle, no centre";
    for (int32_t i = 4; i < 17; ++i) {
        polygon.worldCircle.radius = 2.0f;
        polygon.edgesStale = false;
        polygon.addVertex(float(i), float(-i));
        ASSERT_EQ(polygon.capacity, i < 16 ? 16 : 32) << "vertex " << i;
        ASSERT_TRUE(polygon.edgesStale && polygon.worldCircle.radius == -1.0f) << "not stale";
    }
    const Vec2* kept = polygon.localVertices;
    EXPECT_EQ((Floats{kept[3].x, kept[15].y, polygon.rotatedVertex(16).x}), (Floats{-1, -15, 16}));
    AllocationScope scope;
    fill(polygon, square);
    EXPECT_TRUE(scope.count() == 0u && polygon.localVertices == kept) << "refilling reallocated";
    polygon.updateRotation();
    polygon.reserve(40);  // new storage for the caches: stale, not left as if current
    EXPECT_TRUE(polygon.edgesStale && polygon.capacity == 40);
}

// The misuse check: clockwise convex shapes pass, every other shape fails: each axis mirrored alone
// (anticlockwise), too few vertices, no area, a dent, a star winding twice, a NaN coordinate.
TEST(Polygon, ConvexClockwiseCheck) {
    const auto mirrored = [](float sx, float sy) {
        std::vector<Vec2> shape = car;
        std::ranges::for_each(shape, [&](Vec2& v) { v = {sx * v.x, sy * v.y}; });
        return shape;
    };
    const std::tuple<std::vector<Vec2>, bool, const char*> rows[] = {
        {square, true, "square"},
        {mirrored(1, 1), true, "car"},
        {mirrored(-1, -1), true, "car turned half round"},
        {mirrored(-1, 1), false, "car mirrored in x"},
        {mirrored(1, -1), false, "car mirrored in y"},
        {{{0.5f, -0.5f}, {-0.5f, -0.5f}}, false, "two vertices"},
        {{{0, 0}, {1, 0}, {2, 0}}, false, "no area"},
        {{{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {-0.1f, -0.1f}}, false, "dented"},
        {{{1, 0}, {-0.809f, -0.588f}, {0.309f, 0.951f}, {0.309f, -0.951f}, {-0.809f, 0.588f}},
         false,
         "star"},
        {{{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, NAN}, {0.5f, 0.5f}}, false, "NaN"},
    };
    for (const auto& [vertices, convexClockwise, what] : rows) {
        EXPECT_EQ(Shape(vertices).isConvexClockwise(), convexClockwise) << what;
    }
}

// The circle holds every vertex, and no centre nearby needs a smaller one: the distance to the
// farthest vertex is a convex function of the centre, so a local minimum is the minimal circle.
void expectMinimalEnclosingCircle(Polygon& polygon) {
    const double r = polygon.boundingCircle()->radius, tolerance = 4e-7 * (1 + r);
    const auto farthest = [&](std::complex<double> c) {
        const auto distance = [&](Vec2 v) { return std::abs(std::complex<double>(v.x, v.y) - c); };
        const Vec2* v = polygon.localVertices;
        return distance(std::ranges::max(std::span(v, size_t(polygon.vertexCount)), {}, distance));
    };
    const std::complex<double> c(polygon.localCentre.x, polygon.localCentre.y);
    const double f = farthest(c);
    ASSERT_NEAR(f, r, tolerance) << "a vertex outside, or a radius larger than needed";
    for (int32_t k = 0; k < 32; ++k) {
        ASSERT_GE(farthest(c + std::polar(1e-3 * r, k * std::numbers::pi / 16)), f - 3 * tolerance)
            << "a smaller circle exists";
    }
}

// The circle as first defined: every pair's circle and every triangle's circumcircle listed,
// enlarged to hold every vertex, and the smallest taken, the newest among equals. n^4 work.
std::pair<Vec2, float> everyCandidateCircle(const Polygon& polygon) {
    const Vec2* v = polygon.localVertices;
    const int32_t n = polygon.vertexCount;
    const auto mid = [&](int32_t i, int32_t j) {
        return Vec2{(v[i].x + v[j].x) * 0.5f, (v[i].y + v[j].y) * 0.5f};
    };
    // Centres, each with a vertex on its circle: every pair's, then every triangle's.
    std::vector<std::pair<Vec2, const Vec2*>> listed, triangles;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = i + 1; j < n; ++j) {
            listed.push_back({mid(i, j), &v[j]});
            for (int32_t k = j + 1; k < n; ++k) {
                const Vec2 e1{v[j].x - v[i].x, v[j].y - v[i].y};
                const Vec2 e2{v[k].x - v[j].x, v[k].y - v[j].y}, m1 = mid(i, j), m2 = mid(j, k);
                const float d = e2.x * e1.y - e2.y * e1.x;
                if (std::fabs(d) > 0.001f) {
                    const float t = -(e1.x * m2.x + e1.y * m2.y - (e1.x * m1.x + e1.y * m1.y)) / d;
                    triangles.push_back({{m2.x - t * e2.y, m2.y + t * e2.x}, &v[j]});
                }
            }
        }
    }
    listed.insert(listed.end(), triangles.begin(), triangles.end());
    const auto squared = [](Vec2 a, Vec2 c) {
        return (a.x - c.x) * (a.x - c.x) + (a.y - c.y) * (a.y - c.y);
    };
    std::pair<Vec2, float> best{v[0], 0.0f};
    for (auto c = listed.rbegin(); c != listed.rend(); ++c) {
        float needed = squared(*c->second, c->first);
        for (int32_t i = n - 1; i >= 0; --i) {
            needed = std::max(needed, squared(v[i], c->first));
        }
        best = c == listed.rbegin() || needed < best.second ? std::pair{c->first, needed} : best;
    }
    return best;
}

// The circle comes out bit for bit as every candidate weighed would give it, and minimal: three
// polygons where every candidate circle, its squared radius rounded to 32 bits, misses a vertex;
// the car, bars, a square, a line, a point; random polygons of 3 to 24 vertices (each candidate
// weighed), boxes and elongated polygons of 25 to 28 (those of the vertices near the minimal
// circle), each at a random offset. Regular polygons of up to 10000 vertices, all on one circle,
// get a minimal circle, in one block of memory, not a record per candidate.
TEST(BoundingCircle, SameAsEveryCandidateWeighedInLinearMemory) {
    const Floats fixed[] = {
        // vertices x, y, ...
        {1.86743379f, 2.27433205f, 1.74615002f, -1.6387471f, -1.52810395f, -1.20572472f,
         1.07025886f, 2.53212142f},
        {0.350153118f, 1.02034628f, 0.0647373274f, -0.213694215f, -1.7852453f, 0.279470533f},
        {-0.146553338f, -0.145842701f, 0.336139232f, 0.219127223f, 1.16371763f, -0.557978809f,
         0.128097996f, -1.06789553f},
        {1, 2, 1.4f, -2, -1.4f, -2, -1, 2},
        {10, -0.5f, -10, -0.5f, -10, 0.5f, 0, 4.5f, 10, 0.5f},
        {10, -0.5f, 0, -0.5f, 0, 0.5f, 10, 0.5f},
        {0.5f, -0.5f, -0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f},
        {0, 0, 4, 0},
        {0, 0, 1, 0, 2, 0},
        {3, -7}};
    Random random{std::mt19937(7)};
    for (int32_t k = -int32_t(std::size(fixed)); k < 3000; ++k) {
        Polygon polygon;
        if (k < 0) {
            const Floats& v = fixed[k + std::size(fixed)];
            for (size_t i = 0; i < v.size(); i += 2) {
                polygon.addVertex(v[i], v[i + 1]);
            }
        } else if (k % 3 == 0) {
            fillRandom(polygon, random);
        } else if (k % 3 == 1) {
            // A box with 11 more vertices along two sides: its 4 corners on the circle tie to
            // rounding (along all four sides, pairs facing across the centre would tie as well).
            const float w = random.real(0.5, 4), h = random.real(0.5, 4);
            const float ox = random.real(-5, 5), oy = random.real(-5, 5);
            const Vec2 corners[] = {{w, -h}, {-w, -h}, {-w, h}, {w, h}};
            for (int32_t side = 0; side < 4; ++side) {
                const Vec2 a = corners[side], b = corners[(side + 1) % 4];
                for (int32_t i = 0; i < (side < 2 ? 12 : 1); ++i) {
                    polygon.addVertex(ox + a.x + (b.x - a.x) * i / 12,
                                      oy + a.y + (b.y - a.y) * i / 12);
                }
            }
        } else {
            const int32_t n = 25 + k % 4;
            const float a = random.real(1, 4), b = a * random.real(1.25, 3);
            const float ox = random.real(-5, 5), oy = random.real(-5, 5), turn = random.real(0, 7);
            for (int32_t i = 0; i < n; ++i) {
                const double t = turn - 2 * std::numbers::pi * (i + random.real(0, 0.5)) / n;
                polygon.addVertex(float(ox + a * std::cos(t)), float(oy + b * std::sin(t)));
            }
        }
        const auto [centre, radiusSquared] = everyCandidateCircle(polygon);
        polygon.boundingCircle();
        ASSERT_EQ(
            (Floats{polygon.localCentre.x, polygon.localCentre.y, polygon.worldCircle.radius}),
            (Floats{centre.x, centre.y, std::sqrt(radiusSquared)}))
            << "polygon " << k << ", " << polygon.vertexCount << " vertices";
        expectMinimalEnclosingCircle(polygon);
    }
    for (const int32_t n : {25, 64, 1000, 10000}) {
        Polygon polygon;
        for (int32_t i = 0; i < n; ++i) {
            const double t = -2 * std::numbers::pi * i / n;
            polygon.addVertex(float(3 + 100 * std::cos(t)), float(-2 + 100 * std::sin(t)));
        }
        AllocationScope scope;
        expectMinimalEnclosingCircle(polygon);
        EXPECT_LE(scope.count(), 1u) << n << " vertices";  // the sanitizers' count none
    }
}

const Contact sentinel{{7, 7}, {7, 7}, {7, 7}};

// The query's contact, and the step's walk's, which must be the same, bit for bit, from a sentinel.
const Contact* queryAgreeingWithTheWalk(Polygon& a, Polygon& b) {
    contactResult = sentinel;
    const Contact* walked = walkContact(PolygonShape{a}, PolygonShape{b}, Vec2{0, 0});
    const Contact fromWalk = contactResult;
    contactResult = sentinel;
    const Contact* c = a.contact(b);
    EXPECT_TRUE(walked == c && !std::memcmp(&fromWalk, &contactResult, sizeof fromWalk));
    return c;
}

// Square B's pose against square A at the origin; separation, point, normal, or none: 0.0101
// deep (just over 0.01, the least depth that counts), 0.0099 deep, on the edge line, apart. Only
// the last is outside A - B and leaves the result alone. In the first, the collinear edges 6 (B's
// edge 3 reversed, A's vertex 3 touching) and 7 (A's edge 3, B's vertex 2) of A - B are equally
// near: the higher index wins.
TEST(Contact, SeparationPointNormalAndTies) {
    const Floats cases[] = {
        {0.9f, 0, 0, 0.1f, 0, 0.4f, 0.5f, 1, 0},
        {0.2f, 0.95f, 0, 0, 0.05f, -0.3f, 0.45f, 0, 1},
        // From B's edge 1: A's vertex 3 penetrates; the normal is B's, reversed.
        {0.8f, 0.3f, 0.3f, 0.26033220f, 0.080530189f, 0.5f, 0.5f, 0.95533651f, 0.29552022f},
        {0.9899f, 0, 0, 0.0101f, 0, 0.4899f, 0.5f, 1, 0},
        {0.9901f, 0, 0},
        {1.0f, 0, 0},
        {1.5f, 0, 0}};
    for (const Floats& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        Shape a(square), b(square, {c[0], c[1], c[2]});
        AllocationScope scope;  // once the scratch has grown
        const Contact* r = queryAgreeingWithTheWalk(a, b);
        EXPECT_TRUE(&c == cases || scope.count() == 0u) << "the query allocated";
        EXPECT_EQ(std::memcmp(&contactResult, &sentinel, sizeof sentinel) == 0, c[0] > 1.0f);
        ASSERT_EQ(r, c.size() == 3 ? nullptr : &contactResult);
        if (r != nullptr) {
            expectNear({r->separation.x, r->separation.y, r->point.x, r->point.y, r->normal.x,
                        r->normal.y},
                       Floats(c.begin() + 3, c.end()), c[2] == 0 ? 1e-6f : 2e-7f);
        }
    }
    // The point, relative to the square's pose, is nearest edge 0 (the bottom), then edge 1 (the
    // left). An edge whose distance is not a number is the nearest when it is the last, else
    // passed over.
    for (const auto& [edge, nearest] : {std::pair{-1, 0}, {0, 1}, {3, 3}}) {
        Shape a(square, {2, 3, 0});
        edge >= 0 ? void(a.edges[edge].offset = NAN) : void();
        EXPECT_EQ(a.queryPoint(1.9f, 2.7f), nearest) << "edge " << edge << " not a number";
    }
}

// Rounding can turn A's edge 1 back past edge 0: the walk then goes around B twice (44 > 24).
// Each vertex of A - B must keep its edge record: an edge of A carries B's vertex, and an edge of
// B, A's vertex, whose difference with a vertex of the other polygon is the vertex.
TEST(Contact, SteppedBackSupportKeepsEveryEdgeRecordWithItsVertex) {
    constexpr int32_t nB = 20;
    const auto onCircle = [](double k) {
        const double t = std::numbers::pi / 2 + 0.01 - 2 * std::numbers::pi * k / nB;
        return Vec2{float(std::cos(t)), float(std::sin(t))};
    };
    Shape a(square), b({});
    for (int32_t k = 0; k < nB; ++k) {
        b.addVertex(onCircle(k).x, onCircle(k).y);
    }
    b.updateRotation();
    a.edges[1].rotatedNormal = {-onCircle(-1).x, -onCircle(-1).y};
    queryAgreeingWithTheWalk(a, b);  // the step's walk goes around B twice as well
    Polygon& m = a.minkowskiDifference(b);
    ASSERT_EQ(m.vertexCount, 44);  // 4 edges of A plus 5 + 19 + 11 + 5 steps around B
    for (int32_t k = 0; k < m.vertexCount; ++k) {
        const PolygonEdge& e = m.edges[k];
        bool found = false;
        for (int32_t i = 0; i < 4 * nB; ++i) {
            const Vec2 av = a.rotatedVertices[i % 4], bv = b.rotatedVertices[i / 4];
            const int32_t vertex = e.owner == &b ? i / 4 : e.owner == &a ? i % 4 : -1;
            found |= vertex == e.vertexIndex && m.localVertices[k].x == av.x - bv.x &&
                     m.localVertices[k].y == av.y - bv.y;
        }
        EXPECT_TRUE(found) << "edge record " << k << " does not belong to vertex " << k;
    }
}

// Seeded random pairs: each circle placed at the pose; the contact against separating axes in
// double, and against the step's walk bit for bit. Near the origin 32-bit rounding moves a depth
// well under 2e-5; within that of the 0.01 threshold, rounding alone decides: either goes.
TEST(ContactProperty, AgreesWithSeparatingAxes) {
    using Point = std::complex<double>;
    Random random{std::mt19937(4242u)};
    const auto angle = [&] {  // half at random, half by quarter turns: parallel edges
        return random.real(0, 1) < 0.5f ? random.real(-4, 4)
                                        : std::floor(random.real(-2, 3)) * halfPi;
    };
    Polygon a, b;
    std::vector<Point> world[2];
    int32_t contacts = 0, misses = 0;
    for (int32_t trial = 0; trial < 6000; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        static_cast<Pose&>(a) = {random.real(-3, 3), random.real(-3, 3), angle()};
        static_cast<Pose&>(b) = {a.x + random.real(-4, 4), a.y + random.real(-4, 4), angle()};
        for (Polygon* p : {&a, &b}) {
            fillRandom(*p, random);  // keeps the pose
            p->updateRotation();
            const Point turn = std::polar(1.0, double(p->angle)), at(p->x, p->y);
            const auto place = [&](const Vec2& v) { return at + Point(v.x, v.y) * turn; };
            const BoundingCircle& disc = *p->boundingCircle();
            ASSERT_LT(std::abs(Point(disc.centreX, disc.centreY) - place(p->localCentre)), 1e-5);
            world[p == &b].resize(p->vertexCount);
            std::transform(p->localVertices, p->localVertices + p->vertexCount,
                           world[p == &b].begin(), place);
        }
        const Contact* c = queryAgreeingWithTheWalk(a, b);
        ASSERT_FALSE(HasFailure()) << "the step's walk differs";
        // Depth: the least, over A's outward and B's inward normals, of B's way out along them.
        double depth = INFINITY;
        for (const std::vector<Point>& poly : world) {
            for (size_t i = 0; i < poly.size(); ++i) {
                const Point edge = poly[(i + 1) % poly.size()] - poly[i];
                const Point u = Point(0, &poly == world ? 1 : -1) * edge / std::abs(edge);
                const auto along = [&](Point p) { return std::real(std::conj(u) * p); };
                const auto less = [&](Point p, Point q) { return along(p) < along(q); };
                depth = std::min(depth, along(*std::ranges::max_element(world[0], less)) -
                                            along(*std::ranges::min_element(world[1], less)));
            }
        }
        ASSERT_TRUE((c != nullptr) == (depth > 0.01) || std::fabs(depth - 0.01) < 2e-5) << depth;
        ++(c ? contacts : misses);
        ASSERT_TRUE(c == nullptr || std::abs(Point(c->separation.x, c->separation.y) -
                                             depth * Point(c->normal.x, c->normal.y)) < 2e-5);
    }
    EXPECT_TRUE(contacts > 1500 && misses > 1500) << contacts << " contacts, " << misses;
}

}  // namespace
