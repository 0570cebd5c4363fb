// Steps "topdown-squares v1" without timing, for instruction and cache-miss counts under
// valgrind: 100 warm-up steps as the benchmark takes them, then the given number of steps in
// profiledSteps, which callgrind --toggle-collect=profiledSteps counts alone:
//   squares_profile <N> <steps> [kick100: 0 or 1] [pitch]
// Prints the squares' end hash, how many left the interior and the last step's pass count.
#include <cstdio>
#include <cstdlib>

#include "bench/topdown_squares.h"

namespace {

void step(TopdownSquares& scene, bool kicked, int& index) {
    if (kicked && (index + 1) % 100 == 0) {
        scene.kick();
    }
    scene.world().step();
    ++index;
}

}  // namespace

__attribute__((noinline)) void profiledSteps(TopdownSquares& scene, bool kicked, int& index,
                                             int steps) {
    for (int i = 0; i < steps; ++i) {
        step(scene, kicked, index);
    }
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <N> <steps> [kick100] [pitch]\n", argv[0]);
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const int steps = std::atoi(argv[2]);
    const bool kicked = argc > 3 && std::atoi(argv[3]) != 0;
    const double pitch = argc > 4 ? std::atof(argv[4]) : TopdownSquares::defaultPitch;
    TopdownSquares scene(n, TopdownSquares::defaultSeed, pitch);
    int index = 0;
    for (int i = 0; i < 100 && i < steps; ++i) {
        step(scene, kicked, index);
    }
    profiledSteps(scene, kicked, index, steps - index);
    std::printf("hash %08x escaped %d last passes %d\n", scene.poseHash(), scene.escapedCount(),
                scene.world().lastPassCount);
    return 0;
}
