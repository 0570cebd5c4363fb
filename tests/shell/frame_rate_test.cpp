#include "shell/frame_rate.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameRate, WindowClosesOnlyAfterMoreThanHalfASecond) {
    FrameRateWindow window{0, 1000};
    float fps = -1.0f;
    for (int i = 0; i < 29; ++i) {
        EXPECT_FALSE(countFrame(window, 1000 + 17 * (i + 1), fps));
    }
    EXPECT_FALSE(countFrame(window, 1500, fps)) << "exactly 500 ms must not close the window";
    EXPECT_EQ(fps, -1.0f);
    EXPECT_EQ(window.frameCount, 30);

    EXPECT_TRUE(countFrame(window, 1501, fps));
    EXPECT_EQ(fps, static_cast<float>(31000.0 / 501.0));
    EXPECT_EQ(window.frameCount, 0);
    EXPECT_EQ(window.fpsBase, 1501u);
}

TEST(FrameRate, SlowFramesCloseAWindowEach) {
    FrameRateWindow window{0, 0};
    float fps = 0.0f;
    EXPECT_TRUE(countFrame(window, 800, fps));
    EXPECT_EQ(fps, 1.25f);
    EXPECT_TRUE(countFrame(window, 2800, fps));
    EXPECT_EQ(fps, 0.5f);
    EXPECT_EQ(window.fpsBase, 2800u);
}

TEST(FrameRate, ElapsedTimeWrapsAroundThirtyTwoBits) {
    FrameRateWindow window{9, 0xFFFFFF00u};
    float fps = 0.0f;
    EXPECT_TRUE(countFrame(window, 0x100u, fps));  // 512 ms later
    EXPECT_EQ(fps, static_cast<float>(10000.0 / 512.0));
    EXPECT_EQ(window.fpsBase, 0x100u);
}

}  // namespace
