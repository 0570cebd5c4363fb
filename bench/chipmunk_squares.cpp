#include "bench/chipmunk_squares.h"

#include <chipmunk/chipmunk.h>
#include <chipmunk/chipmunk_structs.h>

#include <cmath>

using namespace scrapvolt;

namespace {

constexpr cpFloat timeStep = 0.01;  // 100 steps per second, one per tick of our engine
constexpr cpFloat linearKept = 0.99;
constexpr cpFloat angularKept = 0.995;

// Chipmunk damps the linear and the angular velocity by one factor (v *= damping^dt), but the
// squares keep 0.99 of the one and 0.995 of the other per step. So each square integrates its own
// velocity: Chipmunk's default integration without gravity, then the two fractions, once a step.
// It writes the body's fields as that default does: the setters would also wake the body and walk
// its contacts on every call, work that Chipmunk's own integration does not do.
void integrateVelocity(cpBody* body, cpVect /*gravity*/, cpFloat /*damping*/, cpFloat dt) {
    body->v = cpvadd(cpvmult(body->v, linearKept), cpvmult(body->f, body->m_inv * dt));
    body->w = body->w * angularKept + body->t * body->i_inv * dt;
    body->f = cpvzero;
    body->t = 0.0;
}

}  // namespace

ChipmunkSquares::ChipmunkSquares(TopdownSquares& scene) : space_(cpSpaceNew()) {
    cpSpaceSetGravity(space_, cpvzero);
    half_ = scene.half();
    for (const TopdownSquares::Box& wall : scene.walls()) {
        cpBody* body = walls_.emplace_back(cpSpaceAddBody(space_, cpBodyNewStatic()));
        addBox(body, wall.at.x, wall.at.y, wall.at.angle, wall.hx, wall.hy);
    }
    for (int32_t i = 0; i < scene.squareCount(); ++i) {
        const Body& square = scene.square(i);
        // A unit square of mass 1 has moment 1/6, as in our scene.
        cpBody* body = squares_.emplace_back(cpSpaceAddBody(space_, cpBodyNew(1.0, 1.0 / 6.0)));
        cpBodySetVelocityUpdateFunc(body, integrateVelocity);
        addBox(body, square.pose->x, square.pose->y, square.pose->angle, 0.5, 0.5);
        // Our velocities are per tick: 100 ticks per second.
        starts_.push_back(Motion{square.velocity.x * 100.0, square.velocity.y * 100.0,
                                 square.angularVelocity * 100.0});
    }
    kick();
}

// Places the body, then gives it a box of half extents hx, hy centred on it.
void ChipmunkSquares::addBox(cpBody* body, double x, double y, double angle, double hx, double hy) {
    cpBodySetPosition(body, cpv(x, y));
    cpBodySetAngle(body, angle);
    cpShape* shape = cpSpaceAddShape(space_, cpBoxShapeNew(body, 2.0 * hx, 2.0 * hy, 0.0));
    cpShapeSetFriction(shape, 0.0);
    cpShapeSetElasticity(shape, 0.0);
    shapes_.push_back(shape);
}

ChipmunkSquares::~ChipmunkSquares() {
    for (cpShape* shape : shapes_) {
        cpSpaceRemoveShape(space_, shape);
        cpShapeFree(shape);
    }
    for (std::vector<cpBody*>* bodies : {&walls_, &squares_}) {
        for (cpBody* body : *bodies) {
            cpSpaceRemoveBody(space_, body);
            cpBodyFree(body);
        }
    }
    cpSpaceFree(space_);
}

void ChipmunkSquares::step() {
    cpSpaceStep(space_, timeStep);
}

void ChipmunkSquares::kick() {
    for (size_t i = 0; i < squares_.size(); ++i) {
        cpBodySetVelocity(squares_[i], cpv(starts_[i].vx, starts_[i].vy));
        cpBodySetAngularVelocity(squares_[i], starts_[i].spin);
    }
}

int32_t ChipmunkSquares::escapedCount() const {
    int32_t escaped = 0;
    for (cpBody* body : squares_) {
        const cpVect p = cpBodyGetPosition(body);
        if (leftInterior(p.x, p.y, half_)) {
            ++escaped;
        }
    }
    return escaped;
}
