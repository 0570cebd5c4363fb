// Polygon caches, the bounding circle and the contact query.
#include <algorithm>
#include <complex>
#include <cstring>

#include "physics/fast_contact.h"
#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

const auto normalAndOffset = [](const PolygonEdge& e) {
    return Floats{e.normal.x, e.normal.y, e.offset};
};
const auto rotatedNormal = [](const PolygonEdge& e) { return xy(e.rotatedNormal); };
const auto supportIndex = [](const PolygonEdge& e) { return Floats{float(e.vertexIndex)}; };

TEST(Polygon, EdgesTo32BitsRotationAndStorage) {
    const std::pair<std::vector<Vec2>, Floats> cases[] = {
        {square, {0, -1, -0.5f, -1, 0, -0.5f, 0, 1, -0.5f, 1, 0, -0.5f}},
        {car,
         {0.99503720f, 0.09950371f, -1.1940446f, 0, -1, -2, -0.99503720f, 0.09950371f, -1.1940446f,
          0, 1, -2}},
        {{{3, 4}}, {0, 0, 0}}};  // a zero-length edge has no direction: a zero normal, not NaN
    for (const auto& [vertices, expected] : cases) {
        Shape polygon(vertices, {0, 0, 1});
        polygon.updateRotation();  // rebuilds the stale edges first
        EXPECT_EQ(collect(polygon.edges, polygon.vertexCount, normalAndOffset), expected);
        EXPECT_TRUE(std::isfinite(polygon.edges[0].rotatedNormal.x + polygon.edges[0].offset));
    }
    Shape polygon(square, {0, 0, halfPi});
    polygon.updateRotation();
    EXPECT_EQ((Floats{polygon.cosAngle, polygon.negSinAngle}), (Floats{-4.3711388e-8f, -1.0f}));
    expectNear(xy(polygon.rotatedVertex(0)), {0.5f, 0.5f}, 1e-7f);
    expectNear(collect(polygon.edges, 4, rotatedNormal), {1, 0, 0, -1, -1, 0, 0, 1}, 1e-7f);
    fill(polygon, car);
    polygon.angle = 0.0f;
    polygon.updateRotation();
    EXPECT_EQ(collect(polygon.rotatedVertices, 4, xy), collect(polygon.localVertices, 4, xy));
    EXPECT_EQ(collect(polygon.edges, 4, rotatedNormal),
              collect(polygon.edges, 4, [](const PolygonEdge& e) { return xy(e.normal); }));
    polygon.clear();
    for (int32_t i = 0; i < 16; ++i) {
        polygon.addVertex(float(i), float(-i));
    }
    EXPECT_EQ(polygon.capacity, 16);
    const Floats vertices = collect(polygon.localVertices, 16, xy);
    polygon.recomputeEdges();
    polygon.worldCircle.radius = 2.0f;
    polygon.addVertex(100.0f, 200.0f);
    EXPECT_EQ(polygon.capacity, 32);
    EXPECT_EQ(polygon.worldCircle.radius, -1.0f) << "addVertex must mark the circle stale";
    EXPECT_EQ(collect(polygon.localVertices, 16, xy), vertices);
    const Vec2* storage = polygon.localVertices;
    AllocationScope scope;
    fill(polygon, square);
    EXPECT_EQ(scope.count(), 0u) << "refilling within capacity allocated";
    EXPECT_EQ(polygon.localVertices, storage);
}

TEST(BoundingCircle, MinimalCirclesAndTheWorldCentre) {
    const std::pair<std::vector<Vec2>, Floats> cases[] = {
        {car, {0.0f, -0.12f, 2.3440137f}},  // vertices; local centre and radius
        {{{10, -0.5f}, {-10, -0.5f}, {-10, 0.5f}, {0, 4.5f}, {10, 0.5f}}, {0, 0, 10.012492f}},
        {{{10, -0.5f}, {0, -0.5f}, {0, 0.5f}, {10, 0.5f}}, {5, 0, 5.0249376f}},
        {square, {0, 0, 0.70710677f}},
        {{{0, 0}, {4, 0}}, {2, 0, 2}},
        {{{0, 0}, {1, 0}, {2, 0}}, {1, 0, 1}},
        {{{3, -7}}, {3, -7, 0}}};
    for (const auto& [vertices, expected] : cases) {
        Shape polygon(vertices);
        const BoundingCircle* c = polygon.boundingCircle();
        ASSERT_EQ(c, &polygon.worldCircle);
        EXPECT_EQ((Floats{polygon.localCentre.x, polygon.localCentre.y, c->radius}), expected);
    }
    EXPECT_EQ(Polygon().boundingCircle(), nullptr);
    // The world centre follows the pose; the local circle is kept, a radius of 0 included.
    Shape polygon(car, {3, 4, halfPi});
    BoundingCircle* c = polygon.boundingCircle();
    expectNear({c->centreX, c->centreY, c->radius}, {3.12f, 4.0f, 2.3440137f}, 1e-6f);
    AllocationScope scope;  // recomputing the local circle allocates candidate records
    polygon.x = 5.0f;
    const bool same = polygon.boundingCircle() == c;
    const float moved[] = {c->centreX, c->centreY, c->radius};
    c->radius = 0.0f;  // a valid radius, not a stale mark
    const float zero = polygon.boundingCircle()->radius;
    EXPECT_EQ(scope.count(), 0u) << "the local circle was recomputed";
    EXPECT_TRUE(same);
    expectNear({moved[0], moved[1]}, {5.12f, 4.0f}, 1e-6f);
    EXPECT_EQ((Floats{moved[2], zero}), (Floats{2.3440137f, 0.0f}));
}

// Every candidate circle of the first three, its squared radius rounded to 32 bits, misses a
// vertex: the chosen one must be enlarged to hold them all. Then seeded random polygons.
TEST(BoundingCircleProperty, HoldsEveryVertex) {
    const Floats rounding[] = {
        {1.86743379f, 2.27433205f, 1.74615002f, -1.6387471f, -1.52810395f, -1.20572472f,
         1.07025886f, 2.53212142f},
        {0.350153118f, 1.02034628f, 0.0647373274f, -0.213694215f, -1.7852453f, 0.279470533f},
        {-0.146553338f, -0.145842701f, 0.336139232f, 0.219127223f, 1.16371763f, -0.557978809f,
         0.128097996f, -1.06789553f}};
    Random random{std::mt19937(20261206u)};
    Polygon polygon;
    for (int32_t trial = 0; trial < 4003; ++trial) {
        if (trial < 3) {
            polygon.clear();
            for (size_t i = 0; i < rounding[trial].size(); i += 2) {
                polygon.addVertex(rounding[trial][i], rounding[trial][i + 1]);
            }
        } else {
            fillRandom(polygon, random);
        }
        const double r = polygon.boundingCircle()->radius;
        for (int32_t m = 0; m < polygon.vertexCount; ++m) {
            const Vec2 v = polygon.localVertices[m];
            ASSERT_LE(std::hypot(v.x - polygon.localCentre.x, v.y - polygon.localCentre.y),
                      r + 4e-7 * (1 + r))
                << "trial " << trial << ": vertex " << m << " outside";
        }
    }
}

// Two unit squares, A at the origin and B at the given pose; both rotation caches current.
struct SquarePair {
    Shape a{square}, b{square};
    explicit SquarePair(Pose at) : b(square, at) {
        a.updateRotation();
        b.updateRotation();
    }
};

TEST(Contact, MinkowskiDifferenceAndEdgeTieBreak) {
    SquarePair pair({0.9f, 0, 0});
    Polygon& m = pair.a.minkowskiDifference(pair.b);
    EXPECT_EQ(collect(m.localVertices, m.vertexCount, xy),
              (Floats{1, -1, 0, -1, -1, -1, -1, 0, -1, 1, 0, 1, 1, 1, 1, 0}));
    // Edge 7: A's edge 3 with B's vertex 2; edge 6: B's edge 3 reversed, with A's vertex 3.
    EXPECT_TRUE(m.edges[7].owner == &pair.b && m.edges[7].vertexIndex == 2);
    EXPECT_TRUE(m.edges[6].owner == &pair.a && m.edges[6].vertexIndex == 3);
    // The collinear edges 6 and 7 are equally near the pose offset: the higher index wins.
    EXPECT_EQ(m.queryPoint(0.9f, 0.0f), 7);
    AllocationScope scope;  // the scratch has grown: further queries allocate nothing
    for (int32_t i = 0; i < 10; ++i) {
        static_cast<Pose&>(pair.b) = {0.9f - 0.05f * float(i), 0.1f, 0.01f * float(i)};
        pair.b.updateRotation();
        pair.a.contact(pair.b);
    }
    EXPECT_EQ(scope.count(), 0u);
}

// B's pose; B's supports for A's edges; separation, point, normal, or none: 0.005 deep (under
// 0.01), on the edge line, apart. Only the last is outside A - B and leaves the result alone.
TEST(Contact, SeparationPointNormalAndSupports) {
    const Floats cases[] = {
        {0.9f, 0, 0, 3, 3, 1, 2, 0.1f, 0, 0.4f, 0.5f, 1, 0},
        {0.2f, 0.95f, 0, 3, 3, 1, 2, 0, 0.05f, -0.3f, 0.45f, 0, 1},
        // From B's edge 1: A's vertex 3 penetrates; the normal is B's, reversed.
        {0.8f, 0.3f, 0.3f, 3, 0, 1, 2, 0.26033220f, 0.080530189f, 0.5f, 0.5f, 0.95533651f,
         0.29552022f},
        {0.995f, 0, 0, 3, 3, 1, 2},
        {1.0f, 0, 0, 3, 3, 1, 2},
        {1.5f, 0, 0, 3, 3, 1, 2}};
    const Contact sentinel{{7, 7}, {7, 7}, {7, 7}};
    for (const Floats& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        contactResult = sentinel;
        SquarePair pair({c[0], c[1], c[2]});
        const Contact* r = pair.a.contact(pair.b);
        EXPECT_EQ(collect(pair.a.edges, 4, supportIndex), Floats(c.begin() + 3, c.begin() + 7));
        EXPECT_EQ(minkowskiScratch.queryPoint(c[0], c[1]) < 0, c[0] > 1.0f) << "outside";
        EXPECT_EQ(std::memcmp(&contactResult, &sentinel, sizeof sentinel) == 0, c[0] > 1.0f);
        ASSERT_EQ(r, c.size() == 7 ? nullptr : &contactResult);
        if (r != nullptr) {
            expectNear({r->separation.x, r->separation.y, r->point.x, r->point.y, r->normal.x,
                        r->normal.y},
                       Floats(c.begin() + 7, c.end()), c[2] == 0 ? 1e-6f : 2e-7f);
        }
    }
}

// Rounding can turn A's edge 1 back past edge 0: the walk then goes around B twice (44 > 24).
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
    a.updateRotation();
    b.updateRotation();
    a.edges[1].rotatedNormal = {-onCircle(-1).x, -onCircle(-1).y};
    Polygon& m = a.minkowskiDifference(b);
    ASSERT_EQ(collect(a.edges, 4, supportIndex), (Floats{0, 19, 10, 15}));
    ASSERT_EQ(m.vertexCount, 44);  // 4 edges of A plus 5 + 19 + 11 + 5 steps around B
    for (int32_t k = 0; k < m.vertexCount; ++k) {
        // An edge of A carries B's support vertex; an edge of B, reversed, carries A's.
        const PolygonEdge& e = m.edges[k];
        const bool ofA = e.owner == &b;
        bool found = false;
        for (int32_t i = 0; (e.owner == &a || ofA) && i < (ofA ? 4 : nB); ++i) {
            const Vec2 n = (ofA ? a : b).edges[i].rotatedNormal;
            const Vec2 av = a.rotatedVertices[ofA ? i : e.vertexIndex];
            const Vec2 bv = b.rotatedVertices[ofA ? e.vertexIndex : i];
            const float s = ofA ? 1.0f : -1.0f;
            found |= xy(e.normal) == Floats{s * n.x, s * n.y} &&
                     xy(m.localVertices[k]) == Floats{av.x - bv.x, av.y - bv.y};
        }
        EXPECT_TRUE(found) << "edge record " << k << " does not belong to vertex " << k;
    }
}

// Seeded random pairs against separating axes in double, and against fastContact bit for bit. Near
// the origin 32-bit rounding moves a depth well under 2e-5; within that of the 0.01 threshold,
// rounding alone decides: skipped.
TEST(ContactProperty, AgreesWithSeparatingAxes) {
    constexpr double tolerance = 2e-5;
    using Point = std::complex<double>;
    const auto worldVertices = [](const Polygon& p) {
        std::vector<Point> w;
        for (int32_t i = 0; i < p.vertexCount; ++i) {
            const Point v(p.localVertices[i].x, p.localVertices[i].y);
            w.push_back(Point(p.x, p.y) + v * std::polar(1.0, double(p.angle)));
        }
        return w;
    };
    Random random{std::mt19937(4242u)};
    const auto angle = [&] {  // half at random, half by quarter turns: parallel edges
        return random.real(0, 1) < 0.5f ? random.real(-4, 4)
                                        : std::floor(random.real(-2, 3)) * halfPi;
    };
    Polygon a, b;
    int32_t contacts = 0, misses = 0;
    for (int32_t trial = 0; trial < 6000; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        fillRandom(a, random);
        fillRandom(b, random);
        static_cast<Pose&>(a) = {random.real(-3, 3), random.real(-3, 3), angle()};
        static_cast<Pose&>(b) = {a.x + random.real(-4, 4), a.y + random.real(-4, 4), angle()};
        a.updateRotation();
        b.updateRotation();
        contactResult = Contact{{7, 7}, {7, 7}, {7, 7}};
        const Contact* c = a.contact(b);
        const Contact found = contactResult;  // as written, or not, by the query
        contactResult = Contact{{7, 7}, {7, 7}, {7, 7}};
        ASSERT_EQ(fastContact(a, b), c);  // the world's own path: the same, bit for bit
        ASSERT_EQ(std::memcmp(&contactResult, &found, sizeof found), 0) << "fast contact differs";
        // Depth: the least, over A's outward and B's inward normals, of B's way out along them.
        const std::vector<Point> wa = worldVertices(a), wb = worldVertices(b);
        double depth = INFINITY;
        for (const auto* poly : {&wa, &wb}) {
            for (size_t i = 0; i < poly->size(); ++i) {
                const Point edge = (*poly)[(i + 1) % poly->size()] - (*poly)[i];
                const Point u = Point(0, poly == &wa ? 1 : -1) * edge / std::abs(edge);
                double along = -INFINITY;
                for (const Point& p : wa) {
                    for (const Point& q : wb) {
                        along = std::max(along, std::real(std::conj(u) * (p - q)));
                    }
                }
                depth = std::min(depth, along);
            }
        }
        if (std::fabs(depth - 0.01) < tolerance) {
            continue;
        }
        ASSERT_EQ(c != nullptr, depth > 0.01) << "depth " << depth;
        if (++(c ? contacts : misses); c == nullptr) {
            continue;
        }
        const Point normal(c->normal.x, c->normal.y), point(c->point.x, c->point.y);
        ASSERT_NEAR(std::abs(normal), 1.0, 1e-6);
        ASSERT_NEAR(std::abs(Point(c->separation.x, c->separation.y) - depth * normal), 0,
                    tolerance);
        const auto isPoint = [&](Point v) { return std::abs(v - point) < tolerance; };
        ASSERT_TRUE(std::any_of(wa.begin(), wa.end(), isPoint) ||
                    std::any_of(wb.begin(), wb.end(), isPoint))
            << "point " << point << " is no vertex";
    }
    EXPECT_TRUE(contacts > 1500 && misses > 1500) << contacts << " contacts, " << misses;
}

}  // namespace
