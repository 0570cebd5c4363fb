#pragma once

#include "body.h"

struct WorldNode {
    Body* body;
    WorldNode* next;
    float minX;  // left end of the body's bounding-circle interval on x
    float maxX;  // right end
};

// The bodies stepped together, as a singly linked list kept sorted by minX between steps.
struct World {
    WorldNode* head = nullptr;

    constexpr World() = default;
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    void add(Body& body);
    void clear();
    void step();
    void sortByMinX();
};
