#pragma once

namespace scrapvolt {

/// Two 32-bit floats (as are all physics values), x then y: a point or a vector in a polygon's
/// local frame or in the world, in the program's own length units (the engine has none).
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
