// The entry point of the shell test executables. The shell library holds the program's main, so
// these tests define their own instead of linking gtest_main, which the linker might otherwise
// pass over in favour of the library's.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
