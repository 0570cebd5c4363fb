// Drops three boxes into a walled pit and prints where they come to rest, which of them lie on a
// sensor along the floor, which box is under a point and what a ray cast down hits. The engine
// has no gravity of its own (it was made for a top-down game), so the program pulls the boxes
// down itself, one tick's worth of velocity per step.
#include <scrapvolt/physics/world.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

using namespace scrapvolt;

namespace {

// A rectangle and the body that moves it. Bodies start immovable (inverse mass 0).
struct Box {
    Polygon polygon;
    Body body{polygon};

    void place(float x, float y, float angle, float halfWidth, float halfHeight) {
        // Vertices clockwise, centred on the polygon's origin.
        polygon.addVertex(halfWidth, -halfHeight);
        polygon.addVertex(-halfWidth, -halfHeight);
        polygon.addVertex(-halfWidth, halfHeight);
        polygon.addVertex(halfWidth, halfHeight);
        body.setPose(x, y, angle);
    }
};

constexpr float gravity = 0.001f;  // units per tick, per tick
constexpr int boxCount = 3;
constexpr uint64_t boxLayer = 1;  // the default category
constexpr uint64_t wallLayer = 2;

Box walls[3];
Box boxes[boxCount];
Box floorZone;  // a sensor: it reports the boxes on it and pushes none

// The box a body belongs to, as its user data says: 1, 2 or 3.
int boxNumber(const Body* body) {
    return static_cast<int>(static_cast<Box*>(body->userData) - boxes) + 1;
}

}  // namespace

int main() {
    World world;
    walls[0].place(0.0f, -0.5f, 0.0f, 6.0f, 0.5f);  // floor
    walls[1].place(-5.5f, 5.0f, 0.0f, 0.5f, 6.0f);  // left
    walls[2].place(5.5f, 5.0f, 0.0f, 0.5f, 6.0f);   // right
    for (Box& wall : walls) {
        wall.body.categoryBits = wallLayer;
        world.add(wall.body);
    }
    floorZone.place(0.0f, 0.25f, 0.0f, 5.0f, 0.25f);
    floorZone.body.sensor = true;
    floorZone.body.maskBits = boxLayer;  // the walls it overlaps are not its business
    world.add(floorZone.body);
    const Pose starts[boxCount] = {{-1.0f, 3.0f, 0.3f}, {0.5f, 6.0f, 0.0f}, {2.0f, 9.0f, -0.2f}};
    for (int i = 0; i < boxCount; ++i) {
        boxes[i].place(starts[i].x, starts[i].y, starts[i].angle, 1.0f, 0.5f);
        boxes[i].body.inverseMass = 1.0f;
        boxes[i].body.inverseInertia = 1.2f;  // 12 / (m (w^2 + h^2)) for a 2 by 1 box
        boxes[i].body.userData = &boxes[i];
        world.add(boxes[i].body);
    }

    // At rest: no box has moved a hundredth of a unit over the last 100 ticks. (Resting boxes
    // still rock by a few thousandths: each contact is resolved at one point.)
    int ticks = 0;
    Pose last[boxCount] = {};
    for (bool resting = false; !resting && ticks < 100000; ticks += 100) {
        for (int step = 0; step < 100; ++step) {
            for (Box& box : boxes) {
                box.body.velocity.y -= gravity;
            }
            world.step();
        }
        resting = true;
        for (int i = 0; i < boxCount; ++i) {
            const Pose& pose = *boxes[i].body.pose;
            resting = resting && std::fabs(pose.x - last[i].x) < 0.01f &&
                      std::fabs(pose.y - last[i].y) < 0.01f;
            last[i] = pose;
        }
    }

    std::printf("at rest after %d ticks\n", ticks);
    for (int i = 0; i < boxCount; ++i) {
        const Pose& pose = *boxes[i].body.pose;
        const long degrees = std::lround(pose.angle * 180.0f / 3.14159265f);
        std::printf("box %d rests at (%.2f, %.2f), turned %ld degrees\n", i + 1, pose.x, pose.y,
                    degrees);
    }

    // The last step's contacts: a sensor's pairs are reported, never resolved.
    for (const StepContact& contact : world.contacts()) {
        if (contact.sensor) {
            const Body* box = contact.bodyA == &floorZone.body ? contact.bodyB : contact.bodyA;
            std::printf("box %d lies on the floor zone\n", boxNumber(box));
        }
    }
    std::vector<Body*> found;
    world.queryPoint(Vec2{0.0f, 1.0f}, found, boxLayer);
    for (const Body* body : found) {
        std::printf("box %d is under (0, 1)\n", boxNumber(body));
    }
    RayHit hit;
    if (world.rayCast(Vec2{3.0f, 10.0f}, Vec2{3.0f, -10.0f}, hit, boxLayer)) {
        std::printf("a ray down at x = 3 hits box %d at y = %.2f\n", boxNumber(hit.body),
                    hit.point.y);
    }
}
