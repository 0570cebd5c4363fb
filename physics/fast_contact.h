#pragma once

#include "contact.h"

struct Polygon;

// The answer of a.contact(b), bit for bit, found without building the Minkowski difference: its
// edges are generated in the same order, each point-to-line distance computed as the query
// computes it, and the walk stops at the first edge whose line the point lies beyond. Leaves the
// support indices of a's edges and the scratch polygon as they were; writes contactResult as the
// query does when the point lies inside. Both rotation caches must be current.
const Contact* fastContact(Polygon& a, Polygon& b);
