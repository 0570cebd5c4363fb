#pragma once

namespace scrapvolt {

/// Two 32-bit floats, x then y: a point or a vector in a polygon's local frame or in the world.
/// Lengths are in the program's own units (the engine has none of its own; the arena's car is
/// about 3 by 4). All physics values are 32-bit floats.
struct Vec2 {
    float x;
    float y;
};

/// A pose: world position of a polygon's local origin and its rotation in radians (a positive
/// angle turns +x towards +y: anticlockwise with y up). A polygon's first three fields are its
/// pose, and a body moves the polygon by writing them.
struct Pose {
    float x;
    float y;
    float angle;
};

}  // namespace scrapvolt
