// The end hashes of "topdown-squares v1": 300 steps at 100 and at 1,000 squares, one line each.
// The same on every machine and at every optimisation level when the engine is compiled with its
// own floating-point flags; tools/determinism compares them with fixed values.
#include <cstdio>

#include "bench/topdown_squares.h"

int main() {
    for (const int squares : {100, 1000}) {
        TopdownSquares scene(squares);
        for (int step = 0; step < 300; ++step) {
            scene.world().step();
        }
        std::printf("squares %d steps 300 hash %08x\n", squares, scene.poseHash());
    }
    return 0;
}
