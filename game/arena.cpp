#include "game/arena.h"

#include <bit>
#include <initializer_list>

using namespace scrapvolt;

// One translation unit defines all nine objects, so they are constructed in this order and
// destroyed in the reverse one.
Polygon carPolygon;
Polygon longBarPolygon;
Polygon shortBarPolygon;
Polygon squarePolygon;
Body car(carPolygon);
Body longBar(longBarPolygon);
Body shortBar(shortBarPolygon);
Body square(squarePolygon);
World arenaWorld;

namespace {

struct Vertex {
    float x;
    float y;
};

// Local vertices, clockwise with y up. The car leads with its narrow +y end.
constexpr Vertex carShape[] = {{1.0f, 2.0f}, {1.4f, -2.0f}, {-1.4f, -2.0f}, {-1.0f, 2.0f}};
// A 20 x 1 bar about its middle with a pointed top.
constexpr Vertex longBarShape[] = {
    {10.0f, -0.5f}, {-10.0f, -0.5f}, {-10.0f, 0.5f}, {0.0f, 4.5f}, {10.0f, 0.5f}};
// A 10 x 1 bar whose origin, its pivot, is the middle of its left end.
constexpr Vertex shortBarShape[] = {{10.0f, -0.5f}, {0.0f, -0.5f}, {0.0f, 0.5f}, {10.0f, 0.5f}};
constexpr Vertex squareShape[] = {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};

constexpr float pi = 3.14159265358979f;

// Velocity changes per tick at 100 ticks per second.
constexpr float turnTorque = 0.0005f;
constexpr float drivePush = 0.003f;
constexpr float longBarTorque = 0.0001f;
constexpr float shortBarTorque = -0.00015f;

template <int N>
void shape(Polygon& polygon, const Vertex (&vertices)[N]) {
    polygon.clear();
    for (const Vertex& v : vertices) {
        polygon.addVertex(v.x, v.y);
    }
}

void place(Body& body, float x, float y, float angle, float inverseMass, float inverseInertia) {
    body.setPose(x, y, angle);
    body.inverseMass = inverseMass;
    body.inverseInertia = inverseInertia;
}

}  // namespace

void buildArena() {
    shape(carPolygon, carShape);
    shape(longBarPolygon, longBarShape);
    shape(shortBarPolygon, shortBarShape);
    shape(squarePolygon, squareShape);

    place(car, 1.9f, 15.0f, pi, 1.0f, 2.0f);
    car.linearDamping = 0.995f;
    car.angularDamping = 0.99f;
    place(square, 0.0f, 5.0f, 0.0f, 3.0f, 5.0f);
    // The bars are pinned: contacts can turn them but never move them.
    place(longBar, 5.0f, 0.0f, 0.0f, 0.0f, 0.01f);
    place(shortBar, 20.0f, 0.0f, 0.0f, 0.0f, 0.01f);

    // Each add goes to the front: the list runs square, short bar, long bar, car.
    arenaWorld.clear();
    arenaWorld.add(car);
    arenaWorld.add(longBar);
    arenaWorld.add(shortBar);
    arenaWorld.add(square);
}

void applyControls(const HeldKeys& keys, int32_t tickRate) {
    const float k = 100.0f / static_cast<float>(tickRate);
    if (keys.left) {
        car.applyLocalForce(0.0f, 0.0f, k * turnTorque);
    }
    if (keys.right) {
        car.applyLocalForce(0.0f, 0.0f, -(k * turnTorque));
    }
    if (keys.down) {
        car.applyLocalForce(0.0f, -(k * drivePush), 0.0f);
    }
    if (keys.up) {
        car.applyLocalForce(0.0f, k * drivePush, 0.0f);
    }
    longBar.applyLocalForce(0.0f, 0.0f, k * longBarTorque);
    shortBar.applyLocalForce(0.0f, 0.0f, k * shortBarTorque);
}

void tickArena(const HeldKeys& keys, int32_t tickRate) {
    applyControls(keys, tickRate);
    arenaWorld.step();
}

uint64_t arenaHash() {
    uint64_t hash = 14695981039346656037u;
    for (Body* body : {&car, &longBar, &shortBar, &square}) {
        const Pose& p = *body->pose;
        for (float v :
             {p.x, p.y, p.angle, body->velocity.x, body->velocity.y, body->angularVelocity}) {
            const uint32_t bits = std::bit_cast<uint32_t>(v);
            for (int shift = 0; shift < 32; shift += 8) {
                hash = (hash ^ ((bits >> shift) & 0xFFu)) * 1099511628211u;
            }
        }
    }
    return hash;
}
