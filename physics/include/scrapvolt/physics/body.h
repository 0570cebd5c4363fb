#pragma once

#include <scrapvolt/physics/bounding_circle.h>
#include <scrapvolt/physics/polygon.h>
#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

// A rigid body moving one polygon. It has no pose of its own: it reads and writes its
// polygon's. Velocities are per tick; no operation takes a time step.
struct Body {
    bool reservedFlag = false;
    Polygon* polygon;
    Pose* pose;                        // the polygon's x, y, angle
    bool moved = false;                // pose changed since the rotation cache was refreshed
    BoundingCircle* circle = nullptr;  // the polygon's world circle as of the last integrate
    Vec2 velocity{0.0f, 0.0f};
    float angularVelocity = 0.0f;
    float inverseMass = 0.0f;
    float inverseInertia = 0.0f;
    float linearDamping = 0.99f;
    float angularDamping = 0.995f;

    // Binds the polygon and resets its pose to (0, 0, 0).
    explicit Body(Polygon& boundPolygon);
    Body(const Body&) = delete;
    Body& operator=(const Body&) = delete;

    // Copies the pose into one record shared by all bodies; valid until the next call.
    Pose& getPose();
    void setPose(float x, float y, float angle);
    void integrate();
    void applyLocalForce(float fx, float fy, float torque);
    void pointVelocity(const Vec2& point, Vec2& out) const;

    // Narrow phase and resolution against other; true when a positional correction was made.
    bool collide(Body& other);
    void resolveContact(const Vec2& separation, const Vec2& point, const Vec2& normal, Body& other);
};

}  // namespace scrapvolt
