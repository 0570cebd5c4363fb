// Times World::step, one step at a time, on the arena (built by game/), on the scene
// "topdown-squares v1" at N = 100, 1000 and 5000, plain and kick100, and at N = 20000 and 50000
// plain, and on a jam of 196 squares packed tighter than they fit, so that every step runs to the
// pass cap. Where Box2D or Chipmunk is built in, it steps the same squares side by side. Each
// repetition builds its scene afresh, takes 100 untimed warm-up steps (20 for the jam), then times
// 1000 steps one by one, as the scene is defined at every N (200 for the jam); the counters give
// the median, 10th and 90th percentile microseconds per step, heap allocations per timed step and
// the most passes a step took; after the squares, how many left the interior. Then box queries and
// ray casts on the squares at N = 1000 and 50000, beside Box2D's. A table of medians over the
// repetitions, our time over each peer's and the microseconds per square ends the output.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/topdown_squares.h"
#include "game/arena.h"
#include "tests/support/allocation_counter.h"
#ifdef SCRAPVOLT_HAVE_BOX2D
#include "bench/box2d_squares.h"
#endif
#ifdef SCRAPVOLT_HAVE_CHIPMUNK
#include "bench/chipmunk_squares.h"
#endif

using namespace scrapvolt;

namespace {

constexpr int kickInterval = 100;
constexpr int repetitions = 3;

// Per-step medians of every repetition, by engine and scene; the squares' count by scene.
std::map<std::string, std::map<std::string, std::vector<double>>> medians;
std::map<std::string, int> squareCounts;

double percentile(const std::vector<double>& sorted, int percent) {
    return sorted[(sorted.size() - 1) * static_cast<size_t>(percent) / 100];
}

// Runs warmUp untimed steps, then one timed step per benchmark iteration. prepare(i) runs
// untimed before each step: i is the timed step's index, or -1 in the warm-up; passes() gives
// the last step's pass count (0 where unknown). With cappedOnly the figures are those of the
// steps that ran to the pass cap.
template <typename Step, typename Prepare, typename Passes>
void timeSteps(benchmark::State& state, const std::string& scene, const char* engine, int warmUp,
               Step step, Prepare prepare, Passes passes, bool cappedOnly = false) {
    for (int i = 0; i < warmUp; ++i) {
        prepare(-1);
        step();
    }
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(state.max_iterations));
    uint64_t allocations = 0;
    int32_t mostPasses = 0;
    int timed = 0;
    for (auto _ : state) {
        prepare(timed++);
        const AllocationScope scope;
        const auto start = std::chrono::steady_clock::now();
        step();
        const auto end = std::chrono::steady_clock::now();
        allocations += scope.count();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        if (!cappedOnly || passes() == World::maxPasses) {
            samples.push_back(seconds * 1e6);
        }
        mostPasses = std::max(mostPasses, passes());
    }
    if (samples.empty()) {
        state.SkipWithError("no step reached the pass cap");
        return;
    }
    state.counters["steps_measured"] = static_cast<double>(samples.size());
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = percentile(samples, 50);
    state.counters["p10_us"] = percentile(samples, 10);
    state.counters["p90_us"] = percentile(samples, 90);
    state.counters["allocs_per_step"] = static_cast<double>(allocations) / timed;
    state.counters["max_passes"] = mostPasses;
    medians[scene][engine].push_back(percentile(samples, 50));
}

void arena(benchmark::State& state) {
    arenaWorld.clear();
    buildArena();
    // No key held: the bars turn, the car and the square lie still until the bars reach them.
    timeSteps(
        state, "arena", "Scrapvolt", 100, [] { arenaWorld.step(); },
        [](int) { applyControls(HeldKeys{}, 100); }, [] { return arenaWorld.lastPassCount; });
}

// The jam: 196 squares at a pitch of 0.97 inside the walls, more square area than floor area.
void jammed(benchmark::State& state) {
    TopdownSquares scene(196, TopdownSquares::defaultSeed, 0.97);
    World& world = scene.world();
    timeSteps(
        state, "jammed 196, capped steps", "Scrapvolt", 20, [&] { world.step(); }, [](int) {},
        [&] { return world.lastPassCount; }, true);
}

// kick100: the squares get their starting motion again before the 100th, 200th, ... timed step.
template <typename Scene>
auto kicker(Scene& scene, bool kicked) {
    return [&scene, kicked](int i) {
        if (kicked && i >= 0 && (i + 1) % kickInterval == 0) {
            scene.kick();
        }
    };
}

std::string squaresName(const benchmark::State& state) {
    char name[48];
    std::snprintf(name, sizeof name, "squares %5d %s", static_cast<int>(state.range(0)),
                  state.range(1) != 0 ? "kick100" : "plain");
    squareCounts[name] = static_cast<int>(state.range(0));
    return name;
}

void squares(benchmark::State& state) {
    TopdownSquares scene(static_cast<int32_t>(state.range(0)));
    World& world = scene.world();
    timeSteps(
        state, squaresName(state), "Scrapvolt", 100, [&] { world.step(); },
        kicker(scene, state.range(1) != 0), [&] { return world.lastPassCount; });
    state.counters["escaped"] = scene.escapedCount();
    state.counters["hash"] = scene.poseHash();
}

// A peer engine's copy of the squares, timed as ours are.
template <typename PeerSquares>
void peerSquares(benchmark::State& state, const char* engine) {
    TopdownSquares ours(static_cast<int32_t>(state.range(0)));
    PeerSquares scene(ours);
    timeSteps(
        state, squaresName(state), engine, 100, [&] { scene.step(); },
        kicker(scene, state.range(1) != 0), [] { return 0; });
    state.counters["escaped"] = scene.escapedCount();
}

#ifdef SCRAPVOLT_HAVE_BOX2D
void box2dSquares(benchmark::State& state) {
    peerSquares<Box2dSquares>(state, "Box2D");
}
#endif
#ifdef SCRAPVOLT_HAVE_CHIPMUNK
void chipmunkSquares(benchmark::State& state) {
    peerSquares<ChipmunkSquares>(state, "Chipmunk");
}
#endif

// Queries on the squares after 100 steps, at the same random places for every engine: a 4 by 4
// box (its lower left corner) and a 20-unit ray (its start and direction) inside the walls. Each
// sample times a batch of 10 queries; the counters give the median microseconds per query and
// the bodies found (per box) or hits (per ray).
constexpr int queryBatch = 10;

struct QueryPlace {
    float x;
    float y;
    float dx;
    float dy;
};

std::vector<QueryPlace> queryPlaces(float half, size_t count) {
    std::mt19937 random(20240601u);
    const auto real = [&](double low, double high) {
        return static_cast<float>(low + (high - low) * random() * 0x1p-32);
    };
    std::vector<QueryPlace> places;
    for (size_t i = 0; i < count; ++i) {
        const double angle = real(0.0, 2.0 * 3.14159265358979);
        places.push_back(QueryPlace{real(-half, half - 4.0), real(-half, half - 4.0),
                                    static_cast<float>(20.0 * std::cos(angle)),
                                    static_cast<float>(20.0 * std::sin(angle))});
    }
    return places;
}

// query(place) answers one query and returns what it found.
template <typename Query>
void timeQueries(benchmark::State& state, const std::string& scene, const char* engine, float half,
                 Query query) {
    const std::vector<QueryPlace> places =
        queryPlaces(half, static_cast<size_t>(state.max_iterations) * queryBatch);
    std::vector<double> samples;
    int64_t found = 0;
    size_t next = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < queryBatch; ++k) {
            found += query(places[next++]);
        }
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6 / queryBatch);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = percentile(samples, 50);
    state.counters["found_per_query"] = static_cast<double>(found) / static_cast<double>(next);
    medians[scene][engine].push_back(percentile(samples, 50));
}

std::string queryName(const benchmark::State& state) {
    char name[48];
    std::snprintf(name, sizeof name, "%s %5d", state.range(1) != 0 ? "ray 20" : "box 4x4",
                  static_cast<int>(state.range(0)));
    return name;
}

void squareQueries(benchmark::State& state) {
    TopdownSquares scene(static_cast<int32_t>(state.range(0)));
    World& world = scene.world();
    for (int i = 0; i < 100; ++i) {
        world.step();
    }
    std::vector<Body*> out;
    RayHit hit;
    timeQueries(state, queryName(state), "Scrapvolt", scene.half(), [&](const QueryPlace& p) {
        if (state.range(1) != 0) {
            return int64_t{world.rayCast({p.x, p.y}, {p.x + p.dx, p.y + p.dy}, hit)};
        }
        out.clear();
        world.queryBox({p.x, p.y}, {p.x + 4.0f, p.y + 4.0f}, out);
        return static_cast<int64_t>(out.size());
    });
}

#ifdef SCRAPVOLT_HAVE_BOX2D
void box2dQueries(benchmark::State& state) {
    TopdownSquares ours(static_cast<int32_t>(state.range(0)));
    Box2dSquares scene(ours);
    for (int i = 0; i < 100; ++i) {
        scene.step();
    }
    timeQueries(state, queryName(state), "Box2D", ours.half(), [&](const QueryPlace& p) {
        return state.range(1) != 0 ? int64_t{scene.castRay(p.x, p.y, p.dx, p.dy)}
                                   : int64_t{scene.overlapBox(p.x, p.y, p.x + 4.0f, p.y + 4.0f)};
    });
}
#endif

void registerQueries() {
    for (const int64_t n : {1000, 50000}) {
        for (const int64_t ray : {0, 1}) {
            std::vector<benchmark::internal::Benchmark*> runs{
                benchmark::RegisterBenchmark("squareQueries", squareQueries)};
#ifdef SCRAPVOLT_HAVE_BOX2D
            runs.push_back(benchmark::RegisterBenchmark("box2dQueries", box2dQueries));
#endif
            for (benchmark::internal::Benchmark* b : runs) {
                b->ArgNames({"n", "ray"})->Args({n, ray})->Iterations(1000)->UseManualTime();
                b->Unit(benchmark::kMicrosecond)->Repetitions(repetitions);
                b->ReportAggregatesOnly(true);
            }
        }
    }
}

// The squares at each N, plain and kick100, ours and each peer's one after the other, so that a
// change of the machine's speed during the run touches both alike. The large scenes run plain
// only (a step takes milliseconds there).
void registerSquares() {
    struct Size {
        int64_t n;
        bool kicked;
    };
    const Size sizes[] = {{100, false},  {100, true},  {1000, false},  {1000, true},
                          {5000, false}, {5000, true}, {20000, false}, {50000, false}};
    for (const Size& size : sizes) {
        std::vector<benchmark::internal::Benchmark*> runs{
            benchmark::RegisterBenchmark("squares", squares)};
#ifdef SCRAPVOLT_HAVE_BOX2D
        runs.push_back(benchmark::RegisterBenchmark("box2dSquares", box2dSquares));
#endif
#ifdef SCRAPVOLT_HAVE_CHIPMUNK
        runs.push_back(benchmark::RegisterBenchmark("chipmunkSquares", chipmunkSquares));
#endif
        for (benchmark::internal::Benchmark* b : runs) {
            b->ArgNames({"n", "kick100"})->Args({size.n, size.kicked ? 1 : 0});
            b->Iterations(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);
            b->Repetitions(repetitions)->ReportAggregatesOnly(true);
        }
    }
}

// A figure right-aligned in a column of the given width, or "-" where there is none (0).
void printCell(int width, int decimals, double value) {
    if (value > 0) {
        std::printf(" %*.*f", width, decimals, value);
    } else {
        std::printf(" %*s", width, "-");
    }
}

// Each peer's column is followed by our time over its time; then microseconds per square,
// ours and Box2D's.
void printTable() {
    const char* engines[3] = {"Scrapvolt", "Box2D", "Chipmunk"};
    const int widths[3] = {12, 12, 14};
    std::printf(
        "\nMedian microseconds per step or query (median over repetitions of 1000 timed "
        "steps or batches of %d queries):\n",
        queryBatch);
    std::printf("%-28s %12s %12s %8s %14s %8s %9s %9s\n", "scene", "Scrapvolt", "Box2D 3.1.1",
                "ratio", "Chipmunk 7.0.3", "ratio", "us/square", "Box2D");
    for (auto& [scene, byEngine] : medians) {
        double value[3] = {0, 0, 0};
        for (int e = 0; e < 3; ++e) {
            std::vector<double>& v = byEngine[engines[e]];
            std::sort(v.begin(), v.end());
            value[e] = v.empty() ? 0.0 : v[v.size() / 2];
        }
        std::printf("%-28s", scene.c_str());
        printCell(widths[0], 1, value[0]);
        for (int e = 1; e < 3; ++e) {
            printCell(widths[e], 1, value[e]);
            printCell(8, 2, value[0] > 0 && value[e] > 0 ? value[0] / value[e] : 0.0);
        }
        const auto count = squareCounts.find(scene);
        const double n = count != squareCounts.end() ? count->second : 0.0;
        printCell(9, 3, n > 0 ? value[0] / n : 0.0);
        printCell(9, 3, n > 0 ? value[1] / n : 0.0);
        std::printf("\n");
    }
}

}  // namespace

BENCHMARK(arena)
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(jammed)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(repetitions)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    registerSquares();
    registerQueries();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
#ifndef SCRAPVOLT_HAVE_BOX2D
    std::printf("Box2D is not built in (set SCRAPVOLT_BOX2D_DIR to its source).\n");
#endif
#ifndef SCRAPVOLT_HAVE_CHIPMUNK
    std::printf(
        "Chipmunk is not built in (libchipmunk-dev not found, or SCRAPVOLT_CHIPMUNK off).\n");
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    return 0;
}
