#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "physics/contact.h"
#include "physics/polygon.h"
#include "tests/physics/test_polygons.h"
#include "tests/support/allocation_counter.h"

using test_polygons::fill;

namespace {

// Two unit squares, A at the origin, B placed by each test; both rotation caches current.
class SquarePair : public ::testing::Test {
  protected:
    SquarePair() {
        fill(a, test_polygons::square);
        fill(b, test_polygons::square);
        a.updateRotation();
    }

    Contact* contactAt(float x, float y, float angle) {
        b.x = x;
        b.y = y;
        b.angle = angle;
        b.updateRotation();
        return a.contact(b);
    }

    void expectSupportIndices(const int32_t (&expected)[4]) {
        for (int32_t i = 0; i < 4; ++i) {
            EXPECT_EQ(a.edges[i].vertexIndex, expected[i]) << "support of B for A's edge " << i;
        }
    }

    Polygon a;
    Polygon b;
};

constexpr Contact sentinel{{7.0f, 7.0f}, {7.0f, 7.0f}, {7.0f, 7.0f}};

void expectContact(const Contact* c, const Contact& expected, float tolerance) {
    ASSERT_EQ(c, &contactResult) << "expected a contact";
    EXPECT_NEAR(c->separation.x, expected.separation.x, tolerance) << "separation.x";
    EXPECT_NEAR(c->separation.y, expected.separation.y, tolerance) << "separation.y";
    EXPECT_NEAR(c->point.x, expected.point.x, tolerance) << "point.x";
    EXPECT_NEAR(c->point.y, expected.point.y, tolerance) << "point.y";
    EXPECT_NEAR(c->normal.x, expected.normal.x, tolerance) << "normal.x";
    EXPECT_NEAR(c->normal.y, expected.normal.y, tolerance) << "normal.y";
}

}  // namespace

TEST_F(SquarePair, MinkowskiDifferenceWalksBothPolygonsInOrder) {
    b.x = 0.9f;
    b.updateRotation();
    Polygon& m = a.minkowskiDifference(b);
    ASSERT_EQ(&m, &minkowskiScratch);
    const Vec2 vertices[] = {{1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}};
    ASSERT_EQ(m.vertexCount, 8);
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(m.localVertices[i].x, vertices[i].x) << "vertex " << i;
        EXPECT_EQ(m.localVertices[i].y, vertices[i].y) << "vertex " << i;
        // Every edge starts at its vertex: normal . vertex + offset = 0.
        const PolygonEdge& e = m.edges[i];
        EXPECT_EQ(e.normal.x * vertices[i].x + e.normal.y * vertices[i].y + e.offset, 0.0f)
            << "edge " << i << " does not start at vertex " << i;
    }
    // Edge 7 comes from A's edge 3 (normal (1, 0)) with B's vertex 2 touching; edge 6 from B's
    // edge 3 reversed, with A's vertex 3.
    EXPECT_EQ(m.edges[7].owner, &b);
    EXPECT_EQ(m.edges[7].vertexIndex, 2);
    EXPECT_EQ(m.edges[7].rotatedNormal.x, 1.0f);
    EXPECT_EQ(m.edges[6].owner, &a);
    EXPECT_EQ(m.edges[6].vertexIndex, 3);
    EXPECT_EQ(m.edges[6].normal.x, 1.0f);
    EXPECT_FALSE(m.edgesStale);
    EXPECT_EQ(m.x, 0.0f);
    EXPECT_EQ(m.y, 0.0f);
    EXPECT_EQ(m.angle, 0.0f);
    EXPECT_EQ(m.cosAngle, 1.0f);
    EXPECT_EQ(m.negSinAngle, 0.0f);
}

TEST_F(SquarePair, TieBetweenCollinearEdgesGoesToHigherEdgeIndex) {
    b.x = 0.9f;
    b.updateRotation();
    Polygon& m = a.minkowskiDifference(b);
    contactResult = sentinel;
    EXPECT_EQ(m.queryPoint(0.9f, 0.0f), 7) << "edges 6 and 7 are equally near; 7 must win";
    EXPECT_NEAR(contactResult.separation.x, 0.1f, 1e-6f);
    EXPECT_EQ(contactResult.separation.y, 0.0f);
}

TEST_F(SquarePair, OverlapsGiveDepthPointAndNormal) {
    expectContact(contactAt(0.9f, 0.0f, 0.0f), {{0.1f, 0.0f}, {0.4f, 0.5f}, {1.0f, 0.0f}}, 1e-6f);
    expectSupportIndices({3, 3, 1, 2});
    expectContact(contactAt(0.2f, 0.95f, 0.0f), {{0.0f, 0.05f}, {-0.3f, 0.45f}, {0.0f, 1.0f}},
                  1e-6f);
    // From B's edge 1: A's vertex 3 touches, and the normal is B's outward normal reversed.
    expectContact(contactAt(0.8f, 0.3f, 0.3f),
                  {{0.26033220f, 0.080530189f}, {0.5f, 0.5f}, {0.95533651f, 0.29552022f}}, 2e-7f);
    expectSupportIndices({3, 0, 1, 2});
}

TEST_F(SquarePair, ShallowTouchingAndSeparatedPairsGiveNoContact) {
    struct Case {
        const char* name;
        float x;
        bool inside;  // queryPoint finds the pose offset in the difference
    };
    const Case cases[] = {
        {"depth 0.005, within the 0.01 dead zone", 0.995f, true},
        {"touching along an edge", 1.0f, true},
        {"apart", 1.5f, false},
    };
    for (const Case& c : cases) {
        contactResult = sentinel;
        EXPECT_EQ(contactAt(c.x, 0.0f, 0.0f), nullptr) << c.name;
        EXPECT_EQ(minkowskiScratch.queryPoint(c.x, 0.0f) >= 0, c.inside) << c.name;
        if (!c.inside) {
            EXPECT_EQ(contactResult.separation.x, 7.0f) << c.name << ": result written";
            EXPECT_EQ(contactResult.point.x, 7.0f) << c.name << ": result written";
            EXPECT_EQ(contactResult.normal.x, 7.0f) << c.name << ": result written";
        }
    }
}

TEST_F(SquarePair, QueryAllocatesNothingOnceTheScratchHasGrown) {
    contactAt(0.9f, 0.0f, 0.0f);
    AllocationScope scope;
    for (int32_t i = 0; i < 10; ++i) {
        contactAt(0.9f - 0.05f * static_cast<float>(i), 0.1f, 0.01f * static_cast<float>(i));
    }
    EXPECT_EQ(scope.count(), 0u) << "contact queries allocated";
}

TEST_F(SquarePair, EmptyPolygonGivesNoContact) {
    Polygon empty;
    empty.clear();
    empty.updateRotation();
    EXPECT_EQ(a.contact(empty), nullptr);
    EXPECT_EQ(empty.contact(a), nullptr);
    EXPECT_EQ(minkowskiScratch.vertexCount, 0);
}

TEST(QueryPoint, RebuildsStaleEdgesAndTurnsTheSeparationBackByTheAngle) {
    Polygon square;
    fill(square, test_polygons::square);
    square.x = 10.0f;
    square.angle = std::numbers::pi_v<float> / 2.0f;
    square.updateRotation();
    square.edgesStale = true;
    // (10.3, 0) is 0.2 inside the world edge x = 10.5, which is local edge 0 (normal (0, -1))
    // turned by a quarter: the separation is expressed in the local frame.
    const int32_t k = square.queryPoint(10.3f, 0.0f);
    EXPECT_FALSE(square.edgesStale);
    EXPECT_EQ(k, 0);
    EXPECT_NEAR(contactResult.separation.x, 0.0f, 1e-6f);
    EXPECT_NEAR(contactResult.separation.y, -0.2f, 1e-6f);
    EXPECT_EQ(square.queryPoint(10.6f, 0.0f), -1);
}

// Drives the walk with supports that step back, as rounding can make them do on nearly
// parallel edges: A's edge 1 is given a normal turned slightly back from edge 0's. The walk then
// goes around B twice and emits more vertices than nA + nB; every edge record must still belong
// to its own vertex, with no write outside the scratch.
TEST(MinkowskiWalk, SteppedBackSupportKeepsEveryEdgeRecordWithItsVertex) {
    Polygon a;
    fill(a, test_polygons::square);
    a.updateRotation();
    Polygon b;
    b.clear();
    constexpr int32_t nB = 20;
    for (int32_t k = 0; k < nB; ++k) {
        const double t = std::numbers::pi / 2 + 0.01 - 2 * std::numbers::pi * k / nB;
        b.addVertex(static_cast<float>(std::cos(t)), static_cast<float>(std::sin(t)));
    }
    b.updateRotation();
    const double t19 = std::numbers::pi / 2 + 0.01 + 2 * std::numbers::pi / nB;
    a.edges[1].rotatedNormal = {static_cast<float>(-std::cos(t19)),
                                static_cast<float>(-std::sin(t19))};

    Polygon& m = a.minkowskiDifference(b);
    const int32_t expected[] = {0, 19, 10, 15};
    for (int32_t i = 0; i < 4; ++i) {
        ASSERT_EQ(a.edges[i].vertexIndex, expected[i]) << "support of A's edge " << i;
    }
    // 4 edges of A plus 5 + 19 + 11 + 5 steps around B.
    ASSERT_EQ(m.vertexCount, 44);
    ASSERT_GE(m.capacity, 44);
    for (int32_t k = 0; k < m.vertexCount; ++k) {
        const PolygonEdge& e = m.edges[k];
        const Vec2 v = m.localVertices[k];
        bool matched = false;
        if (e.owner == &b) {  // from an edge of A, with B's vertex e.vertexIndex
            const Vec2 bv = b.rotatedVertices[e.vertexIndex];
            for (int32_t i = 0; i < 4; ++i) {
                const Vec2 n = a.edges[i].rotatedNormal;
                const Vec2 av = a.rotatedVertices[i];
                matched = matched || (n.x == e.normal.x && n.y == e.normal.y &&
                                      av.x - bv.x == v.x && av.y - bv.y == v.y);
            }
        } else if (e.owner == &a) {  // from an edge of B, with A's vertex e.vertexIndex
            const Vec2 av = a.rotatedVertices[e.vertexIndex];
            for (int32_t j = 0; j < nB; ++j) {
                const Vec2 n = b.edges[j].rotatedNormal;
                const Vec2 bv = b.rotatedVertices[j];
                matched = matched || (-n.x == e.normal.x && -n.y == e.normal.y &&
                                      av.x - bv.x == v.x && av.y - bv.y == v.y);
            }
        }
        EXPECT_TRUE(matched) << "edge record " << k << " does not belong to vertex " << k;
    }
}
