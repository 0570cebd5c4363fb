#include "bench/arena_scene.h"

#include <initializer_list>
#include <numbers>

namespace {

void fill(Polygon& polygon, std::initializer_list<Vec2> vertices) {
    polygon.clear();
    for (const Vec2& v : vertices) {
        polygon.addVertex(v.x, v.y);
    }
}

}  // namespace

ArenaScene::ArenaScene()
    : car_(carShape_), longBar_(longBarShape_), shortBar_(shortBarShape_), square_(squareShape_) {
    fill(carShape_, {{1.0f, 2.0f}, {1.4f, -2.0f}, {-1.4f, -2.0f}, {-1.0f, 2.0f}});
    fill(longBarShape_,
         {{10.0f, -0.5f}, {-10.0f, -0.5f}, {-10.0f, 0.5f}, {0.0f, 4.5f}, {10.0f, 0.5f}});
    fill(shortBarShape_, {{10.0f, -0.5f}, {0.0f, -0.5f}, {0.0f, 0.5f}, {10.0f, 0.5f}});
    fill(squareShape_, {{0.5f, -0.5f}, {-0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}});

    car_.setPose(1.9f, 15.0f, std::numbers::pi_v<float>);
    car_.inverseMass = 1.0f;
    car_.inverseInertia = 2.0f;
    car_.linearDamping = 0.995f;
    car_.angularDamping = 0.99f;
    // The bars are pinned: contacts turn them but never push them.
    longBar_.setPose(5.0f, 0.0f, 0.0f);
    longBar_.inverseMass = 0.0f;
    longBar_.inverseInertia = 0.01f;
    shortBar_.setPose(20.0f, 0.0f, 0.0f);
    shortBar_.inverseMass = 0.0f;
    shortBar_.inverseInertia = 0.01f;
    square_.setPose(0.0f, 5.0f, 0.0f);
    square_.inverseMass = 3.0f;
    square_.inverseInertia = 5.0f;

    world_.add(car_);
    world_.add(longBar_);
    world_.add(shortBar_);
    world_.add(square_);
}

void ArenaScene::spinBars() {
    longBar_.applyLocalForce(0.0f, 0.0f, 0.0001f);
    shortBar_.applyLocalForce(0.0f, 0.0f, -0.00015f);
}

void ArenaScene::tick() {
    spinBars();
    world_.step();
}
