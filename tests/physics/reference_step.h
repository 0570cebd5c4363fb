#pragma once
// The plain step that World::step must match bit for bit, and the state the two are compared on:
// shared by the world tests and the fuzz target.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <span>
#include <tuple>
#include <vector>

#include <scrapvolt/physics/world.h>

namespace reference_step {

using namespace scrapvolt;

// Pairs the reference step met: filtered out with the earlier or the later body's mask, and
// touching with a sensor as the earlier or the later body.
inline struct Layers { int32_t maskedByA = 0, maskedByB = 0, sensorA = 0, sensorB = 0; } layers;

// The plain step World::step must match bit for bit (two bodies or more): integrate in list order,
// insertion-sort by minX (a node out of order goes before the first not below it, NaN last), then
// sweep the list calling collide on pairs whose intervals overlap and whose masks let them meet
// until a quiet pass or the cap. A pair with a sensor is queried and its bodies' rotations
// refreshed, nothing else. touched: the pairs whose query found a contact, in the order they
// first did, with the last one.
inline int32_t referenceStep(World& world, std::vector<StepContact>& touched) {
    touched.clear();
    WorldNode*& head = world.head;
    if (head == nullptr || head->next == nullptr) {  // in builds that left degenerate bodies out
        return 0;
    }
    for (WorldNode* n = head; n != nullptr; n = n->next) {
        n->body->integrate();
        const BoundingCircle* c = n->body->circle;
        n->minX = c != nullptr ? c->centreX - c->radius : NAN;
        n->maxX = c != nullptr ? c->radius + c->centreX : NAN;
    }
    const auto before = [](float a, float b) { return a < b || (std::isnan(b) && !std::isnan(a)); };
    for (WorldNode *p = head, *q = p->next; q != nullptr; q = p->next) {
        if (!before(q->minX, p->minX)) {
            p = q;
            continue;
        }
        p->next = q->next;
        WorldNode** link = &head;
        while (before((*link)->minX, q->minX)) {
            link = &(*link)->next;
        }
        q->next = *link;
        *link = q;
    }
    int32_t passes = 0;
    for (bool quiet = false; !quiet && passes < World::maxPasses; ++passes) {
        quiet = true;
        for (WorldNode* i = head; i->next != nullptr; i = i->next) {
            for (WorldNode* j = i->next; j != nullptr && j->minX < i->maxX; j = j->next) {
                Body &a = *i->body, &b = *j->body;
                const bool maskedByA = (b.categoryBits & a.maskBits) == 0;
                if (maskedByA || (a.categoryBits & b.maskBits) == 0) {
                    ++(maskedByA ? layers.maskedByA : layers.maskedByB);
                    continue;
                }
                const bool sensor = a.sensor || b.sensor;
                const float dx = b.circle->centreX - a.circle->centreX;
                const float dy = b.circle->centreY - a.circle->centreY;
                const float r = b.circle->radius + a.circle->radius;
                if (!(r * r < dx * dx + dy * dy)) {  // collide's circle test, refresh and query
                    a.moved ? a.polygon->updateRotation() : void();
                    b.moved ? b.polygon->updateRotation() : void();
                    if (const Contact* c = a.polygon->contact(*b.polygon)) {
                        auto t = std::ranges::find_if(touched, [&](const StepContact& t) {
                            return t.bodyA == &a && t.bodyB == &b;
                        });
                        t = t != touched.end() ? t : touched.insert(t, {&a, &b, {}, {}, sensor});
                        std::tie(t->point, t->normal) = std::tie(c->point, c->normal);
                        layers.sensorA += a.sensor;
                        layers.sensorB += b.sensor;
                    }
                    a.moved = b.moved = sensor ? false : a.moved;
                }
                quiet = (sensor || !a.collide(b)) && quiet;
            }
        }
    }
    return passes;
}

// Every pose, motion, moved flag and rotation cache, the list order with each minX, then the
// pairs that touched with their last contact, as bits; bodies are named by their place.
template <class Bodies>
std::vector<uint32_t> stepState(const Bodies& bodies, const World& world,
                                std::span<const StepContact> touched) {
    std::vector<uint32_t> bits;
    const auto index = [&](const Body* body) {
        const auto is = [&](const Body& b) { return &b == body; };
        return uint32_t(std::ranges::find_if(bodies, is) - bodies.begin());
    };
    for (const Body& b : bodies) {
        for (float v :
             {b.pose->x, b.pose->y, b.pose->angle, b.velocity.x, b.velocity.y, b.angularVelocity,
              b.polygon->cosAngle, b.polygon->negSinAngle, float(b.moved),
              b.polygon->vertexCount > 0 ? b.polygon->rotatedVertices[0].y : 0}) {
            bits.push_back(std::bit_cast<uint32_t>(v));
        }
    }
    for (const WorldNode* n = world.head; n != nullptr; n = n->next) {
        bits.push_back(index(n->body));
        bits.push_back(std::bit_cast<uint32_t>(n->minX));
    }
    for (const StepContact& t : touched) {
        bits.insert(bits.end(), {index(t.bodyA), index(t.bodyB), t.sensor});
        for (float v : {t.point.x, t.point.y, t.normal.x, t.normal.y}) {
            bits.push_back(std::bit_cast<uint32_t>(v));
        }
    }
    return bits;
}

}  // namespace reference_step
