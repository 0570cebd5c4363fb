#include <gtest/gtest.h>

#include <cmath>

#include "game/grid.h"
#include "tests/support/allocation_counter.h"

namespace {

struct GridCase {
    float cx, cy;  // camera centre
    float gx, gy;  // the centre snapped towards zero to a multiple of 5
};

// Each case checks all 24 segments: 12 vertical ones at gx - 30, ..., gx + 25 spanning
// gy +- 30, then 12 horizontal ones at gy - 30, ..., gy + 25 spanning gx +- 40.
TEST(GridLines, SnapTowardsZeroAndSpanTheView) {
    const GridCase cases[] = {
        {12.3f, -7.9f, 10.0f, -5.0f}, {4.9f, 4.9f, 0.0f, 0.0f},     {5.0f, 5.0f, 5.0f, 5.0f},
        {-7.0f, -3.0f, -5.0f, 0.0f},  {-12.3f, 7.9f, -10.0f, 5.0f}, {0.0f, -5.0f, 0.0f, -5.0f},
        {1e6f, -1e6f, 1e6f, -1e6f},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "camera at (" << c.cx << ", " << c.cy << ")");
        const GridLines lines = gridLines(c.cx, c.cy);
        for (int n = 0; n < 12; ++n) {
            const float offset = -30.0f + 5.0f * n;
            const GridLine& v = lines[n];
            EXPECT_EQ(v.x0, c.gx + offset) << "vertical line " << n;
            EXPECT_EQ(v.x1, c.gx + offset) << "vertical line " << n;
            EXPECT_EQ(v.y0, c.gy - 30.0f) << "vertical line " << n;
            EXPECT_EQ(v.y1, c.gy + 30.0f) << "vertical line " << n;
            const GridLine& h = lines[12 + n];
            EXPECT_EQ(h.y0, c.gy + offset) << "horizontal line " << n;
            EXPECT_EQ(h.y1, c.gy + offset) << "horizontal line " << n;
            EXPECT_EQ(h.x0, c.gx - 40.0f) << "horizontal line " << n;
            EXPECT_EQ(h.x1, c.gx + 40.0f) << "horizontal line " << n;
        }
    }
}

TEST(GridLines, AllocatesNothing) {
    AllocationScope scope;
    float sum = 0.0f;
    for (int i = 0; i < 100; ++i) {
        sum += gridLines(0.37f * i, -0.41f * i)[3].x0;
    }
    EXPECT_EQ(scope.count(), 0u);
    EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
