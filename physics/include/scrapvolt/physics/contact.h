#pragma once

#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

struct Polygon;

/// The answer of a contact query between polygons A and B (Polygon::contact).
struct Contact {
    Vec2 separation;  // normal times the penetration depth: moves B, relative to A, out of A
    Vec2 point;       // world position of the penetrating vertex (of A or of B)
    Vec2 normal;      // unit normal pointing from A towards B
};

/// The one result record of every contact query: the next query, on any polygon, overwrites it.
/// Copy what you need before asking again. A world step may overwrite it too.
extern Contact contactResult;

/// Scratch polygon that holds the Minkowski difference of the last query (Polygon::contact and
/// Polygon::minkowskiDifference). Its pose stays at the origin, and its storage grows to the
/// largest size needed and is then reused. World::step does not fill it.
extern Polygon minkowskiScratch;

}  // namespace scrapvolt
