#pragma once

#include <cstdint>

#include <scrapvolt/physics/body.h>
#include <scrapvolt/physics/polygon.h>
#include <scrapvolt/physics/world.h>

// The arena's objects: static, built before main and torn down after it, polygons first, then
// the bodies bound to them, then the world (destroyed in reverse).
extern scrapvolt::Polygon carPolygon;
extern scrapvolt::Polygon longBarPolygon;
extern scrapvolt::Polygon shortBarPolygon;
extern scrapvolt::Polygon squarePolygon;
extern scrapvolt::Body car;
extern scrapvolt::Body longBar;
extern scrapvolt::Body shortBar;
extern scrapvolt::Body square;
extern scrapvolt::World arenaWorld;

// The arrow keys that are down during one tick.
struct HeldKeys {
    bool left = false;
    bool right = false;
    bool down = false;
    bool up = false;
};

// Shapes the polygons, places the bodies, sets their parameters and refills the world. The
// bodies' velocities are left as they are.
void buildArena();

// The velocity changes of one tick: the player's pushes on the car and the bars' constant
// turning, scaled so that they add up to the same per-second change at any tick rate.
void applyControls(const HeldKeys& keys, int32_t tickRate);

// One whole tick: the controls, then one world step.
void tickArena(const HeldKeys& keys, int32_t tickRate);

// FNV-1a (64-bit) over the bits of each body's pose and velocities, car first, each float's
// bytes from the lowest: the same on every machine for the same motion.
uint64_t arenaHash();
