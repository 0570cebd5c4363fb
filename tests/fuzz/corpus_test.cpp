// The fuzz target's seed corpus, run in every build: each input, the reproducers of faults found
// before among them, must leave World::step and the reference step alike (the target aborts).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryInputStepsAlike) {
    size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SCRAPVOLT_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        SCOPED_TRACE(entry.path().filename().string());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++inputs;
    }
    EXPECT_GE(inputs, 8u) << "the corpus is missing";
}
