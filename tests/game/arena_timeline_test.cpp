#include <gtest/gtest.h>

TEST(ArenaTimeline, Placeholder) {}
