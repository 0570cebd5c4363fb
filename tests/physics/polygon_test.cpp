#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "physics/polygon.h"
#include "tests/physics/test_polygons.h"
#include "tests/support/allocation_counter.h"

using test_polygons::fill;

namespace {

struct ExpectedEdge {
    Vec2 normal;
    float offset;
};

void expectEdges(Polygon& polygon, const ExpectedEdge (&expected)[4]) {
    polygon.recomputeEdges();
    ASSERT_EQ(polygon.vertexCount, 4);
    EXPECT_FALSE(polygon.edgesStale);
    for (int32_t i = 0; i < 4; ++i) {
        const PolygonEdge& edge = polygon.edges[i];
        EXPECT_EQ(edge.normal.x, expected[i].normal.x) << "normal.x of edge " << i;
        EXPECT_EQ(edge.normal.y, expected[i].normal.y) << "normal.y of edge " << i;
        EXPECT_EQ(edge.offset, expected[i].offset) << "offset of edge " << i;
        EXPECT_EQ(edge.owner, &polygon) << "owner of edge " << i;
        EXPECT_EQ(edge.vertexIndex, 0) << "vertexIndex of edge " << i;
    }
}

}  // namespace

TEST(PolygonConstruction, StartsEmptyAtTheOriginWithoutStorage) {
    Polygon polygon;
    EXPECT_EQ(polygon.x, 0.0f);
    EXPECT_EQ(polygon.y, 0.0f);
    EXPECT_EQ(polygon.angle, 0.0f);
    EXPECT_FALSE(polygon.edgesStale);
    EXPECT_EQ(polygon.localVertices, nullptr);
    EXPECT_EQ(polygon.rotatedVertices, nullptr);
    EXPECT_EQ(polygon.edges, nullptr);
    EXPECT_EQ(polygon.vertexCount, 0);
    EXPECT_EQ(polygon.capacity, 0);
    EXPECT_EQ(static_cast<Pose*>(&polygon), reinterpret_cast<Pose*>(&polygon))
        << "the pose must be the polygon's first three fields";
}

TEST(PolygonEdges, SquareHasAxisNormalsAndHalfUnitOffsets) {
    Polygon square;
    fill(square, test_polygons::square);
    expectEdges(square, {{{0.0f, -1.0f}, -0.5f},
                         {{-1.0f, 0.0f}, -0.5f},
                         {{0.0f, 1.0f}, -0.5f},
                         {{1.0f, 0.0f}, -0.5f}});
}

TEST(PolygonEdges, CarHasCorrectlyRoundedUnitNormals) {
    Polygon car;
    fill(car, test_polygons::car);
    expectEdges(car, {{{0.99503720f, 0.09950371f}, -1.1940446f},
                      {{0.0f, -1.0f}, -2.0f},
                      {{-0.99503720f, 0.09950371f}, -1.1940446f},
                      {{0.0f, 1.0f}, -2.0f}});
}

TEST(PolygonEdges, ZeroLengthEdgesGiveZeroNormalsInsteadOfNaN) {
    Polygon duplicate;
    fill(duplicate, {{0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}, {0.0f, 0.5f}});
    duplicate.recomputeEdges();
    EXPECT_EQ(duplicate.edges[0].normal.x, 0.0f);
    EXPECT_EQ(duplicate.edges[0].normal.y, 0.0f);
    EXPECT_EQ(duplicate.edges[0].offset, 0.0f);
    EXPECT_EQ(duplicate.edges[1].normal.y, -1.0f) << "the other edges keep their normals";

    Polygon single;
    fill(single, {{3.0f, 4.0f}});
    single.angle = 1.0f;
    single.updateRotation();
    EXPECT_EQ(single.edges[0].normal.x, 0.0f);
    EXPECT_EQ(single.edges[0].normal.y, 0.0f);
    EXPECT_EQ(single.edges[0].offset, 0.0f);
    EXPECT_FALSE(std::isnan(single.edges[0].rotatedNormal.x));
    EXPECT_FALSE(std::isnan(single.edges[0].rotatedNormal.y));
}

TEST(PolygonEdges, RecomputeOffsetsFollowsMovedVerticesAndKeepsNormals) {
    Polygon square;
    fill(square, test_polygons::square);
    square.recomputeEdges();
    for (int32_t i = 0; i < square.vertexCount; ++i) {
        square.localVertices[i].x += 2.0f;
        square.localVertices[i].y += 3.0f;
    }
    square.edgesStale = true;
    square.recomputeOffsets();
    const float expected[] = {2.5f, 1.5f, -3.5f, -2.5f};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(square.edges[i].offset, expected[i]) << "offset of edge " << i;
    }
    EXPECT_EQ(square.edges[3].normal.x, 1.0f);
    EXPECT_TRUE(square.edgesStale) << "recomputeOffsets must not touch edgesStale";
}

TEST(PolygonRotation, QuarterTurnRotatesVerticesAndNormals) {
    Polygon square;
    fill(square, test_polygons::square);
    square.angle = std::numbers::pi_v<float> / 2.0f;
    square.updateRotation();
    EXPECT_FALSE(square.edgesStale) << "updateRotation rebuilds stale edges first";
    EXPECT_EQ(square.cosAngle, -4.3711388e-8f);
    EXPECT_EQ(square.negSinAngle, -1.0f);
    EXPECT_NEAR(square.rotatedVertex(0).x, 0.5f, 1e-7f);
    EXPECT_NEAR(square.rotatedVertex(0).y, 0.5f, 1e-7f);
    EXPECT_NEAR(square.edges[0].rotatedNormal.x, 1.0f, 1e-7f);
    EXPECT_NEAR(square.edges[0].rotatedNormal.y, 0.0f, 1e-7f);
    EXPECT_NEAR(square.edges[3].rotatedNormal.x, 0.0f, 1e-7f);
    EXPECT_NEAR(square.edges[3].rotatedNormal.y, 1.0f, 1e-7f);
}

TEST(PolygonRotation, ZeroAngleLeavesVerticesAndNormalsUnchanged) {
    Polygon car;
    fill(car, test_polygons::car);
    car.updateRotation();
    for (int32_t i = 0; i < car.vertexCount; ++i) {
        EXPECT_EQ(car.rotatedVertices[i].x, car.localVertices[i].x) << "vertex " << i;
        EXPECT_EQ(car.rotatedVertices[i].y, car.localVertices[i].y) << "vertex " << i;
        EXPECT_EQ(car.edges[i].rotatedNormal.x, car.edges[i].normal.x) << "edge " << i;
        EXPECT_EQ(car.edges[i].rotatedNormal.y, car.edges[i].normal.y) << "edge " << i;
    }
}

TEST(PolygonStorage, SeventeenthVertexGrowsCapacityBySixteenKeepingLocalVertices) {
    Polygon polygon;
    for (int32_t i = 0; i < 16; ++i) {
        polygon.addVertex(static_cast<float>(i), static_cast<float>(-i));
    }
    EXPECT_EQ(polygon.capacity, 16);
    polygon.recomputeEdges();
    polygon.addVertex(100.0f, 200.0f);
    EXPECT_EQ(polygon.capacity, 32);
    EXPECT_EQ(polygon.vertexCount, 17);
    EXPECT_TRUE(polygon.edgesStale);
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(polygon.localVertices[i].x, static_cast<float>(i)) << "lost local vertex " << i;
        EXPECT_EQ(polygon.localVertices[i].y, static_cast<float>(-i)) << "lost local vertex " << i;
    }
    EXPECT_EQ(polygon.localVertices[16].x, 100.0f);
    EXPECT_EQ(polygon.rotatedVertices[16].x, 100.0f) << "the new vertex enters unrotated";
    EXPECT_EQ(polygon.rotatedVertices[16].y, 200.0f) << "the new vertex enters unrotated";
}

TEST(PolygonStorage, ClearKeepsStorageForRefillingWithoutAllocating) {
    Polygon polygon;
    for (int32_t i = 0; i < 16; ++i) {
        polygon.addVertex(static_cast<float>(i), 0.0f);
    }
    const Vec2* storage = polygon.localVertices;
    AllocationScope scope;
    polygon.clear();
    EXPECT_EQ(polygon.vertexCount, 0);
    EXPECT_TRUE(polygon.edgesStale);
    EXPECT_LT(polygon.worldCircle.radius, 0.0f);
    fill(polygon, test_polygons::square);
    EXPECT_EQ(scope.count(), 0u) << "refilling within capacity allocated";
    EXPECT_EQ(polygon.capacity, 16);
    EXPECT_EQ(polygon.localVertices, storage);
}

TEST(PolygonStorage, ReserveReplacesStorageOnlyWhenLarger) {
    Polygon polygon;
    fill(polygon, test_polygons::square);
    polygon.reserve(10);
    EXPECT_EQ(polygon.capacity, 16) << "a smaller reserve must not shrink";
    polygon.reserve(40);
    EXPECT_EQ(polygon.capacity, 40);
    EXPECT_EQ(polygon.vertexCount, 4) << "reserve does not change the vertex count";
    polygon.clear();
    for (int32_t i = 0; i < 41; ++i) {
        polygon.addVertex(static_cast<float>(i), 1.0f);
    }
    EXPECT_EQ(polygon.capacity, 56) << "growth continues in steps of 16 from the reserved size";
}

TEST(PolygonStorage, AddVertexMarksTheBoundingCircleStale) {
    Polygon polygon;
    fill(polygon, test_polygons::square);
    polygon.worldCircle.radius = 2.0f;
    polygon.edgesStale = false;
    polygon.addVertex(0.0f, 1.0f);
    EXPECT_EQ(polygon.worldCircle.radius, -1.0f);
    EXPECT_TRUE(polygon.edgesStale);
}

TEST(PolygonEmpty, OperationsOnNoVerticesTouchOnlyTheirFlags) {
    Polygon polygon;
    polygon.clear();
    polygon.recomputeEdges();
    EXPECT_FALSE(polygon.edgesStale);
    polygon.angle = std::numbers::pi_v<float>;
    polygon.updateRotation();
    EXPECT_EQ(polygon.cosAngle, -1.0f);
    EXPECT_EQ(polygon.edges, nullptr);
}
