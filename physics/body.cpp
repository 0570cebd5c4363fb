#include "body.h"

#include <cmath>

namespace {
// The one record getPose hands out, shared by every body.
Pose sharedPose{0.0f, 0.0f, 0.0f};
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
}

// Moves by the velocity held before damping, so one tick moves a body by exactly one tick's
// velocity.
void Body::integrate() {
    pose->x += velocity.x;
    pose->y += velocity.y;
    pose->angle += angularVelocity;
    moved = true;
    circle = polygon->boundingCircle();
    velocity.x = velocity.x * linearDamping;
    velocity.y = linearDamping * velocity.y;
    angularVelocity = angularDamping * angularVelocity;
}

// (fx, fy) is turned by the body's angle into the world frame; neither it nor the torque is
// scaled by the inverse mass or inertia.
void Body::applyLocalForce(float fx, float fy, float torque) {
    angularVelocity += torque;
    const float c = std::cos(pose->angle);
    const float s = std::sin(pose->angle);
    velocity.y += s * fx + c * fy;
    velocity.x += c * fx - s * fy;
}

// v + w x r, with w along the axis that turns +x towards +y.
void Body::pointVelocity(const Vec2& point, Vec2& out) const {
    const float rx = point.x - pose->x;
    const float ry = point.y - pose->y;
    out.x = velocity.x - angularVelocity * ry;
    out.y = velocity.y + angularVelocity * rx;
}
