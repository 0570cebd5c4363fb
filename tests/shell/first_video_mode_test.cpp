#include "shell/first_video_mode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Attempt {
    int depth;
    bool fullScreen;
    bool multisample;
    bool operator==(const Attempt&) const = default;
};

// A display that opens modes only with a depth buffer of at most `maxDepth` bits.
int depthAsked = 32;
int maxDepth = 24;
std::vector<Attempt> attempts;
std::vector<int> depthsSet;

bool fakeSetMode(int32_t, int32_t, bool fullScreen, bool multisample, bool, float) {
    attempts.push_back({depthAsked, fullScreen, multisample});
    return depthAsked <= maxDepth;
}

void fakeSetDepth(int bits) {
    depthAsked = bits;
    depthsSet.push_back(bits);
}

void resetDisplay(int deepestDepth) {
    depthAsked = 32;
    maxDepth = deepestDepth;
    attempts.clear();
    depthsSet.clear();
}

std::ostream& operator<<(std::ostream& out, const Attempt& a) {
    return out << "{depth " << a.depth << (a.fullScreen ? " full" : " window")
               << (a.multisample ? " ms}" : "}");
}

TEST(FirstVideoMode, OpensWithTheDepthAskedForWhenTheDisplayHasIt) {
    resetDisplay(32);
    DisplaySettings settings;
    settings.multisample = true;
    EXPECT_TRUE(openFirstVideoMode(settings, fakeSetMode, fakeSetDepth));
    EXPECT_EQ(attempts, (std::vector<Attempt>{{32, false, true}}));
    EXPECT_TRUE(depthsSet.empty());
    EXPECT_TRUE(settings.multisample);
}

TEST(FirstVideoMode, LowersTheDepthAndRetriesTheSavedSettings) {
    resetDisplay(24);
    DisplaySettings settings;
    settings.fullScreen = true;
    settings.multisample = true;
    EXPECT_TRUE(openFirstVideoMode(settings, fakeSetMode, fakeSetDepth));
    const std::vector<Attempt> expected = {
        {32, true, true}, {32, false, true}, {32, false, false}, {24, true, true}};
    EXPECT_EQ(attempts, expected);
    EXPECT_EQ(depthsSet, std::vector<int>{24});
    EXPECT_TRUE(settings.fullScreen) << "the fallbacks of the failed depth must be undone";
    EXPECT_TRUE(settings.multisample);
}

TEST(FirstVideoMode, FailsWhenNoDepthOpensAPlainWindow) {
    resetDisplay(8);
    DisplaySettings settings;
    EXPECT_FALSE(openFirstVideoMode(settings, fakeSetMode, fakeSetDepth));
    const std::vector<Attempt> expected = {{32, false, false}, {32, false, false},
                                           {24, false, false}, {24, false, false},
                                           {16, false, false}, {16, false, false}};
    EXPECT_EQ(attempts, expected);
    EXPECT_EQ(depthsSet, (std::vector<int>{24, 16}));
}

}  // namespace
