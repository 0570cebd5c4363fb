#pragma once

namespace scrapvolt {

/// A polygon's smallest enclosing circle, centre in world coordinates. A negative radius marks
/// the whole circle (local centre and radius) as stale: adding a vertex or clearing the polygon
/// sets it, and Polygon::boundingCircle computes it afresh.
struct BoundingCircle {
    float centreX;
    float centreY;
    float radius;
};

}  // namespace scrapvolt
