// Drops three boxes into a walled pit and prints where they come to rest. The engine has no
// gravity of its own (it was made for a top-down game), so the program pulls the boxes down
// itself, one tick's worth of velocity per step.
#include <scrapvolt/physics/world.h>

#include <cmath>
#include <cstdio>

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

Box walls[3];
Box boxes[boxCount];

}  // namespace

int main() {
    World world;
    walls[0].place(0.0f, -0.5f, 0.0f, 6.0f, 0.5f);  // floor
    walls[1].place(-5.5f, 5.0f, 0.0f, 0.5f, 6.0f);  // left
    walls[2].place(5.5f, 5.0f, 0.0f, 0.5f, 6.0f);   // right
    for (Box& wall : walls) {
        world.add(wall.body);
    }
    const Pose starts[boxCount] = {{-1.0f, 3.0f, 0.3f}, {0.5f, 6.0f, 0.0f}, {2.0f, 9.0f, -0.2f}};
    for (int i = 0; i < boxCount; ++i) {
        boxes[i].place(starts[i].x, starts[i].y, starts[i].angle, 1.0f, 0.5f);
        boxes[i].body.inverseMass = 1.0f;
        boxes[i].body.inverseInertia = 1.2f;  // 12 / (m (w^2 + h^2)) for a 2 by 1 box
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
}
