#include <scrapvolt/physics/body.h>

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "broad_phase.h"
#include "contact_resolution.h"

namespace scrapvolt {

// Counts setPose calls: a world's query grid is out of date once it changes.
uint64_t poseWrites = 0;

namespace {
// The one record getPose hands out, shared by every body.
Pose sharedPose{0.0f, 0.0f, 0.0f};

// Below 2^15 rad a tick's turn is rounded to within 2^-9 rad (from 2^25 rad on, 1 rad is lost).
// No angle reaches it in an hour of play: the arena's fastest bar (0.03 rad per tick at 100 ticks
// per second) takes three hours, its car spinning at full turn well over one.
constexpr float angleLimit = 32768.0f;
}  // namespace

Body::Body(Polygon& boundPolygon) : polygon(&boundPolygon), pose(&boundPolygon) {
    *pose = Pose{0.0f, 0.0f, 0.0f};
}

Pose& Body::getPose() {
    sharedPose = *pose;
    return sharedPose;
}

void Body::setPose(float x, float y, float angle) {
    *pose = Pose{x, y, angle};
    ++poseWrites;
}

// Moves by the velocity held before damping, so one tick moves a body by exactly one tick's
// velocity.
void Body::integrate() {
    pose->x += velocity.x;
    pose->y += velocity.y;
    pose->angle += angularVelocity;
    if (std::fabs(pose->angle) > angleLimit && std::isfinite(pose->angle)) {
        // Same direction, within half a turn of 0: whole turns taken off in double, rounded once.
        constexpr double turn = 2.0 * std::numbers::pi;
        pose->angle = static_cast<float>(pose->angle - std::round(pose->angle / turn) * turn);
    }
    moved = true;
    circle = polygon->boundingCircle();
    velocity.x = velocity.x * linearDamping;
    velocity.y = linearDamping * velocity.y;
    angularVelocity = angularDamping * angularVelocity;
}

void Body::applyLocalForce(float fx, float fy, float torque) {
    angularVelocity += torque;
    const float c = std::cos(pose->angle), s = std::sin(pose->angle);
    velocity.y += s * fx + c * fy;
    velocity.x += c * fx - s * fy;
}

// v + w x r, with w along the axis that turns +x towards +y.
void Body::pointVelocity(const Vec2& point, Vec2& out) const {
    const float rx = point.x - pose->x, ry = point.y - pose->y;
    out.x = velocity.x - angularVelocity * ry;
    out.y = velocity.y + angularVelocity * rx;
}

bool Body::collide(Body& other) {
    // Circles as of the last integration.
    if (!collidesWith(other) || !circlesOverlap(*circle, *other.circle)) {
        return false;
    }
    // Each rotation cache is brought up to date once after each move.
    for (Body* body : {this, &other}) {
        if (body->moved) {
            body->polygon->updateRotation();
            body->moved = false;
        }
    }
    const Contact* found = polygon->contact(*other.polygon);
    if (found == nullptr || sensor || other.sensor) {
        return false;
    }
    resolveContact(found->separation, found->point, found->normal, other);
    // Only the positional correction sets the flags again, and it sets both.
    return moved && other.moved;
}

void Body::resolveContact(const Vec2& separation, const Vec2& point, const Vec2& normal,
                          Body& other) {
    const ContactMotion a{pose->x, pose->y, velocity, angularVelocity, inverseMass, inverseInertia};
    const ContactMotion b{other.pose->x,         other.pose->y,     other.velocity,
                          other.angularVelocity, other.inverseMass, other.inverseInertia};
    if (resolveContactMotion(a, b, separation, point, normal)) {
        moved = true;
        other.moved = true;
    }
}

}  // namespace scrapvolt
