// Times World::step, one step at a time, on the arena's four bodies and on the scene
// "topdown-squares v1" (100 untimed warm-up steps, then 1000 timed ones), and prints one row per
// scene: median, 10th and 90th percentile microseconds per step, heap allocations per timed step,
// the most passes any step took, and for the squares the number escaped and the end-state hash.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/arena_scene.h"
#include "bench/topdown_squares.h"
#include "tests/support/allocation_counter.h"

namespace {

constexpr int warmUpSteps = 100;
constexpr int timedSteps = 1000;
constexpr int kickInterval = 100;

struct Row {
    double medianUs = 0;
    double p10Us = 0;
    double p90Us = 0;
    double allocationsPerStep = 0;
    int32_t maxPasses = 0;
    int cappedSteps = 0;
};

// Nearest-rank percentile of sorted samples.
double percentile(const std::vector<double>& sorted, int percent) {
    const size_t index = (sorted.size() - 1) * static_cast<size_t>(percent) / 100;
    return sorted[index];
}

// prepare(i) runs untimed before each step: i is the timed step's index, or -1 in the warm-up.
template <typename Prepare>
Row measure(World& world, Prepare prepare) {
    Row row;
    const auto notePasses = [&] {
        row.maxPasses = std::max(row.maxPasses, world.lastPassCount);
        if (world.lastPassCount == World::maxPasses) {
            ++row.cappedSteps;
        }
    };
    for (int i = 0; i < warmUpSteps; ++i) {
        prepare(-1);
        world.step();
        notePasses();
    }
    std::vector<double> samples(timedSteps);
    uint64_t allocations = 0;
    for (int i = 0; i < timedSteps; ++i) {
        prepare(i);
        const AllocationScope scope;
        const auto start = std::chrono::steady_clock::now();
        world.step();
        const auto end = std::chrono::steady_clock::now();
        allocations += scope.count();
        samples[i] = std::chrono::duration<double, std::micro>(end - start).count();
        notePasses();
    }
    std::sort(samples.begin(), samples.end());
    row.medianUs = percentile(samples, 50);
    row.p10Us = percentile(samples, 10);
    row.p90Us = percentile(samples, 90);
    row.allocationsPerStep = static_cast<double>(allocations) / timedSteps;
    return row;
}

void printHeader() {
    std::printf("%-22s %10s %10s %10s %12s %10s %8s %8s  %s\n", "scene", "median_us", "p10_us",
                "p90_us", "allocs/step", "max_passes", "capped", "escaped", "hash");
}

void printRow(const char* name, const Row& row, const char* escaped, const char* hash) {
    std::printf("%-22s %10.2f %10.2f %10.2f %12.2f %10d %8d %8s  %s\n", name, row.medianUs,
                row.p10Us, row.p90Us, row.allocationsPerStep, row.maxPasses, row.cappedSteps,
                escaped, hash);
}

void runArena() {
    ArenaScene arena;
    const Row row = measure(arena.world(), [&](int) { arena.spinBars(); });
    printRow("arena", row, "-", "-");
}

void runSquares(int32_t n, bool kicked) {
    TopdownSquares scene(n);
    // kick100: the squares get their starting motion again before the 100th, 200th, ... timed
    // step.
    const auto prepare = [&](int i) {
        if (kicked && i >= 0 && (i + 1) % kickInterval == 0) {
            scene.kick();
        }
    };
    const Row row = measure(scene.world(), prepare);
    char name[32];
    char escaped[16];
    char hash[16];
    std::snprintf(name, sizeof name, "squares %d %s", n, kicked ? "kick100" : "plain");
    std::snprintf(escaped, sizeof escaped, "%d", scene.escapedCount());
    std::snprintf(hash, sizeof hash, "%08" PRIx32, scene.poseHash());
    printRow(name, row, escaped, hash);
}

}  // namespace

// Arguments: the square counts to run (default 100 1000 5000).
int main(int argc, char** argv) {
    std::vector<int32_t> counts;
    for (int i = 1; i < argc; ++i) {
        const long n = std::strtol(argv[i], nullptr, 10);
        if (n < 1 || n > 1000000) {
            std::fprintf(stderr, "usage: physics_bench [square count ...]\n");
            return 2;
        }
        counts.push_back(static_cast<int32_t>(n));
    }
    if (counts.empty()) {
        counts = {100, 1000, 5000};
    }
    std::printf("World::step: %d warm-up steps, %d timed steps; pass cap %d\n", warmUpSteps,
                timedSteps, World::maxPasses);
    printHeader();
    runArena();
    for (const int32_t n : counts) {
        runSquares(n, false);
        runSquares(n, true);
    }
    return 0;
}
