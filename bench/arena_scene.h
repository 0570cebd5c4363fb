#pragma once

#include "physics/body.h"
#include "physics/polygon.h"
#include "physics/world.h"

// The arena's four bodies in their starting places: the car, the long bar with the pointed top,
// the short bar and the loose square, added to the world in that order. Each tick turns the bars
// by their constant spin before stepping, as the game does with no key held.
class ArenaScene {
  public:
    ArenaScene();
    ArenaScene(const ArenaScene&) = delete;
    ArenaScene& operator=(const ArenaScene&) = delete;

    World& world() { return world_; }
    Body& car() { return car_; }
    Body& square() { return square_; }
    // The bars' constant spin, given before every step.
    void spinBars();
    // One tick: the bars' spin, then a world step.
    void tick();

  private:
    Polygon carShape_;
    Polygon longBarShape_;
    Polygon shortBarShape_;
    Polygon squareShape_;
    Body car_;
    Body longBar_;
    Body shortBar_;
    Body square_;
    World world_;
};
