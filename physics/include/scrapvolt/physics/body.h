#pragma once

#include <cstdint>

#include <scrapvolt/physics/bounding_circle.h>
#include <scrapvolt/physics/polygon.h>
#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

/// A rigid body moving one polygon. It has no pose of its own: it reads and writes its polygon's,
/// so two bodies bound to one polygon share one pose (each moves it, and a world steps it twice).
/// The body neither owns nor copies the polygon, which must outlive it.
///
/// Time is counted in ticks: velocities and damping are per tick; no operation takes a time
/// step. A body starts immovable (inverse mass and inertia 0) but its velocities still move it.
struct Body {
    bool reservedFlag = false;  ///< not used by the engine
    Polygon* polygon;
    Pose* pose;          ///< the polygon's x, y, angle
    bool moved = false;  ///< pose changed since the rotation cache was refreshed
    /// Tested and reported like any body, never pushed nor pushing: a pair with a sensor in it is
    /// listed in World::contacts (StepContact::sensor) and changes neither body's motion.
    bool sensor = false;
    BoundingCircle* circle = nullptr;  ///< the polygon's world circle as of the last integrate
    Vec2 velocity{0.0f, 0.0f};         ///< units per tick
    float angularVelocity = 0.0f;      ///< radians per tick, positive turning +x towards +y
    float inverseMass = 0.0f;
    float inverseInertia = 0.0f;
    float linearDamping = 0.99f;    ///< velocity kept per tick
    float angularDamping = 0.995f;  ///< angular velocity kept per tick
    void* userData = nullptr;       ///< the game's own, never read by the engine
    /// Two bodies are tested only when each one's category meets the other's mask; a pair
    /// filtered out is never tested, corrected or reported. The defaults meet every body.
    uint64_t categoryBits = 1;
    uint64_t maskBits = ~uint64_t{0};

    /// Binds the polygon and resets its pose to (0, 0, 0).
    explicit Body(Polygon& boundPolygon);
    Body(const Body&) = delete;
    Body& operator=(const Body&) = delete;

    /// Copies the pose into one record shared by all bodies; valid until the next call on any body.
    Pose& getPose();
    /// Writes the pose only: neither `moved` nor `circle` is refreshed until the next integrate.
    void setPose(float x, float y, float angle);
    /// One tick: moves by the velocities, sets `moved`, refreshes `circle`, then damps.
    void integrate();
    /// Adds (fx, fy), turned from the body's frame into the world's, to the velocity and torque to
    /// the angular velocity: a change of velocity per tick, NOT scaled by the inverse mass or
    /// inertia (an immovable body is pushed all the same).
    void applyLocalForce(float fx, float fy, float torque);
    /// Velocity of the world point moving with the body.
    void pointVelocity(const Vec2& point, Vec2& out) const;

    /// Whether the filter lets this body and other be tested together.
    bool collidesWith(const Body& other) const {
        return (categoryBits & other.maskBits) != 0 && (other.categoryBits & maskBits) != 0;
    }

    /// Narrow phase and resolution against other, as World::step calls it: true when a positional
    /// correction was made (never for a pair filtered out or with a sensor). Both bodies must
    /// have been integrated once.
    bool collide(Body& other);
    /// Pushes the bodies apart by separation, split by inverse mass, then cancels their approach
    /// along normal at point (no bounce, no friction).
    void resolveContact(const Vec2& separation, const Vec2& point, const Vec2& normal, Body& other);
};

}  // namespace scrapvolt
