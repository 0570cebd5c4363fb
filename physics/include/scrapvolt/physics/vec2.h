#pragma once

namespace scrapvolt {

// Two 32-bit floats, x then y: a point or a vector in a polygon's local frame or in the world.
struct Vec2 {
    float x;
    float y;
};

// A pose: world position of a polygon's local origin and its rotation in radians (a positive
// angle turns +x towards +y). A polygon's first three fields are its pose, and a body moves the
// polygon by writing them.
struct Pose {
    float x;
    float y;
    float angle;
};

}  // namespace scrapvolt
