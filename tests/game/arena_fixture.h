#pragma once

#include <initializer_list>

#include "game/arena.h"

// The arena as right after the program's first entry. Entry alone keeps the bodies' motion, so
// the velocities left by an earlier test are cleared first.
inline void enterFreshArena() {
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        body->velocity = {0.0f, 0.0f};
        body->angularVelocity = 0.0f;
    }
    buildArena();
}

constexpr HeldKeys noKeys{};
constexpr HeldKeys upKey{false, false, false, true};
