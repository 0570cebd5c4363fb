#include "bench/box2d_squares.h"

#include <box2d/box2d.h>

#include <cmath>

using namespace scrapvolt;

namespace {

constexpr float timeStep = 0.01f;  // 100 steps per second, one per tick of our engine
constexpr int subSteps = 4;

// Box2D damps by v / (1 + h c) per step; this c keeps the fraction kept of v per step.
float dampingKeeping(float kept) {
    return (1.0f / kept - 1.0f) / timeStep;
}

b2BodyId addBox(b2WorldId world, b2BodyType type, const Pose& pose, float hx, float hy) {
    b2BodyDef def = b2DefaultBodyDef();
    def.type = type;
    def.position = b2Vec2{pose.x, pose.y};
    def.rotation = b2MakeRot(pose.angle);
    def.enableSleep = false;
    def.linearDamping = dampingKeeping(0.99f);
    def.angularDamping = dampingKeeping(0.995f);
    const b2BodyId body = b2CreateBody(world, &def);
    b2ShapeDef shape = b2DefaultShapeDef();
    shape.density = 1.0f;  // a unit square: mass 1, moment 1/6, as in our scene
    shape.material.friction = 0.0f;
    shape.material.restitution = 0.0f;
    const b2Polygon box = b2MakeBox(hx, hy);
    b2CreatePolygonShape(body, &shape, &box);
    return body;
}

}  // namespace

Box2dSquares::Box2dSquares(TopdownSquares& scene) {
    b2WorldDef def = b2DefaultWorldDef();
    def.gravity = b2Vec2{0.0f, 0.0f};
    def.enableSleep = false;
    def.workerCount = 1;
    const b2WorldId world = b2CreateWorld(&def);
    world_ = b2StoreWorldId(world);
    half_ = scene.half();
    for (const TopdownSquares::Box& wall : scene.walls()) {
        addBox(world, b2_staticBody, wall.at, wall.hx, wall.hy);
    }
    for (int32_t i = 0; i < scene.squareCount(); ++i) {
        const Body& square = scene.square(i);
        squares_.push_back(b2StoreBodyId(addBox(world, b2_dynamicBody, *square.pose, 0.5f, 0.5f)));
        // Our velocities are per tick: 100 ticks per second.
        starts_.push_back(Motion{square.velocity.x * 100.0f, square.velocity.y * 100.0f,
                                 square.angularVelocity * 100.0f});
    }
    kick();
}

Box2dSquares::~Box2dSquares() {
    b2DestroyWorld(b2LoadWorldId(world_));
}

void Box2dSquares::step() {
    b2World_Step(b2LoadWorldId(world_), timeStep, subSteps);
}

void Box2dSquares::kick() {
    for (size_t i = 0; i < squares_.size(); ++i) {
        const b2BodyId body = b2LoadBodyId(squares_[i]);
        b2Body_SetLinearVelocity(body, b2Vec2{starts_[i].vx, starts_[i].vy});
        b2Body_SetAngularVelocity(body, starts_[i].spin);
    }
}

int32_t Box2dSquares::escapedCount() const {
    int32_t escaped = 0;
    for (const uint64_t square : squares_) {
        const b2Vec2 p = b2Body_GetPosition(b2LoadBodyId(square));
        if (leftInterior(p.x, p.y, half_)) {
            ++escaped;
        }
    }
    return escaped;
}

int32_t Box2dSquares::overlapBox(float lowerX, float lowerY, float upperX, float upperY) const {
    int32_t found = 0;
    const auto count = [](b2ShapeId, void* context) {
        ++*static_cast<int32_t*>(context);
        return true;
    };
    b2World_OverlapAABB(b2LoadWorldId(world_), b2AABB{{lowerX, lowerY}, {upperX, upperY}},
                        b2DefaultQueryFilter(), count, &found);
    return found;
}

bool Box2dSquares::castRay(float x, float y, float dx, float dy) const {
    return b2World_CastRayClosest(b2LoadWorldId(world_), b2Vec2{x, y}, b2Vec2{dx, dy},
                                  b2DefaultQueryFilter())
        .hit;
}
