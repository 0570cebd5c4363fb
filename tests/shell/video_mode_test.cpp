#include "shell/video_mode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A null-terminated mode list as SDL_ListModes returns it.
class ModeList {
  public:
    explicit ModeList(const std::vector<std::pair<int, int>>& sizes) {
        for (const auto& [w, h] : sizes) {
            rects_.push_back(SDL_Rect{0, 0, static_cast<Uint16>(w), static_cast<Uint16>(h)});
        }
        for (SDL_Rect& r : rects_) {
            pointers_.push_back(&r);
        }
        pointers_.push_back(nullptr);
    }
    SDL_Rect** get() { return pointers_.data(); }

  private:
    std::vector<SDL_Rect> rects_;
    std::vector<SDL_Rect*> pointers_;
};

TEST(FullScreenChoice, TakesThe480LineModeOrTheLastTallerOne) {
    struct Case {
        std::string name;
        std::vector<std::pair<int, int>> modes;
        bool highResolution;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"480-line mode present",
         {{1600, 1200}, {1280, 1024}, {1024, 768}, {800, 600}, {640, 480}, {640, 400}},
         false,
         640,
         480},
        {"high resolution takes the first",
         {{1600, 1200}, {1280, 1024}, {1024, 768}, {800, 600}, {640, 480}, {640, 400}},
         true,
         1600,
         1200},
        {"no 480-line mode", {{1600, 1200}, {1024, 768}, {800, 600}, {640, 400}}, false, 800, 600},
        {"every mode taller than 480", {{1024, 768}, {800, 600}}, false, 800, 600},
        {"first 480-line mode wins", {{1280, 1024}, {720, 480}, {640, 480}}, false, 720, 480},
        {"Xvfb's list",
         {{1024, 768}, {864, 486}, {800, 600}, {720, 480}, {640, 480}},
         false,
         720,
         480},
        {"only a 480-line mode", {{640, 480}}, false, 640, 480},
        {"only modes shorter than 480: the window size", {{640, 400}, {320, 200}}, false, 777, 555},
        {"empty list: the window size", {}, false, 777, 555},
        {"empty list with high resolution: the window size", {}, true, 777, 555},
    };
    for (const Case& c : cases) {
        ModeList list(c.modes);
        const ModeSize size = chooseFullScreenSize(list.get(), 777, 555, c.highResolution);
        EXPECT_EQ(size.width, c.width) << c.name;
        EXPECT_EQ(size.height, c.height) << c.name;
    }
}

TEST(FullScreenChoice, NoListOrAnySizeKeepsTheWindowSize) {
    for (bool high : {false, true}) {
        const ModeSize none = chooseFullScreenSize(nullptr, 800, 600, high);
        EXPECT_EQ(none.width, 800);
        EXPECT_EQ(none.height, 600);
        const ModeSize any =
            chooseFullScreenSize(reinterpret_cast<SDL_Rect**>(-1), 1024, 700, high);
        EXPECT_EQ(any.width, 1024);
        EXPECT_EQ(any.height, 700);
    }
}

TEST(WideScreenCorrection, HeightRisesToAQuarterOfTheWidthPast180Degrees) {
    struct Case {
        int width;
        int height;
        int shapedHeight;
        float aspect;
        float angle;
    };
    const Case cases[] = {
        {640, 480, 480, 1.3333334f, 60.0f},   {2000, 400, 500, 4.0f, 180.0f},
        {1601, 400, 400, 4.0025f, 180.1125f},  // 400.25 truncates back to 400
        {1600, 400, 400, 4.0f, 180.0f},        // exactly 180 is not corrected
        {800, 600, 600, 1.3333334f, 60.0f},   {4000, 10, 1000, 4.0f, 180.0f},
    };
    for (const Case& c : cases) {
        const ViewShape view = shapeView(c.width, c.height);
        EXPECT_EQ(view.width, c.width);
        EXPECT_EQ(view.height, c.shapedHeight) << c.width << "x" << c.height;
        EXPECT_EQ(view.aspect, c.aspect) << c.width << "x" << c.height;
        EXPECT_EQ(view.horizontalFieldOfView, c.angle) << c.width << "x" << c.height;
    }
}

TEST(WideScreenCorrection, SizesWithoutPixelsAreLeftAlone) {
    for (auto [w, h] : {std::pair{0, 480}, std::pair{640, 0}, std::pair{-5, -5}}) {
        const ViewShape view = shapeView(w, h);
        EXPECT_EQ(view.width, w);
        EXPECT_EQ(view.height, h);
        EXPECT_EQ(view.aspect, 0.0f);
        EXPECT_EQ(view.horizontalFieldOfView, 0.0f);
    }
}

}  // namespace

namespace {

// SDL's dummy video driver cannot make an OpenGL window: every mode is refused.
class RefusedVideoMode : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    void TearDown() override { SDL_Quit(); }
};

TEST_F(RefusedVideoMode, ReturnsFalseAndLeavesTheViewOfTheModeAskedFor) {
    EXPECT_FALSE(setVideoMode(2000, 400, false, true, false, 1.0f));
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(viewWidth, 2000);
    EXPECT_EQ(viewHeight, 400) << "the height asked for, before the wide-screen correction";
    EXPECT_EQ(fieldOfView, 45.0f);
    EXPECT_EQ(horizontalFieldOfView, 180.0f);
}

TEST_F(RefusedVideoMode, SizeWithoutPixelsIsRefused) {
    EXPECT_FALSE(setVideoMode(640, 0, false, false, false, 1.0f));
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(viewHeight, 0);
}

}  // namespace
