#pragma once
// The arithmetic of a contact's resolution, shared by Body::resolveContact and the world step's
// passes on body copies, so that both round every operation the same way.
#include <cmath>

#include <scrapvolt/physics/vec2.h>

namespace scrapvolt {

// What resolution reads and writes of one body, wherever the body's values are kept.
struct ContactMotion {
    float& x;  // pose position
    float& y;
    Vec2& velocity;
    float& angularVelocity;
    float inverseMass, inverseInertia;
};

// Pushes a and b apart by the separation, split by inverse mass (a NaN sum counts as 0), then
// applies an impulse along the normal that stops their approach at the point. True when the
// positions were corrected.
inline bool resolveContactMotion(ContactMotion a, ContactMotion b, const Vec2& separation,
                                 const Vec2& point, const Vec2& normal) {
    const float massSum = a.inverseMass + b.inverseMass;
    const bool corrected = massSum != 0.0f && !std::isnan(massSum);
    if (corrected) {
        const float shareA = a.inverseMass / massSum, shareB = b.inverseMass / massSum;
        a.x -= shareA * separation.x;
        a.y -= shareA * separation.y;
        b.x += shareB * separation.x;
        b.y += shareB * separation.y;
    }

    // The lever arms r and the contact points' velocities v + w x r, from the corrected poses;
    // vn: their relative velocity along the normal.
    const float rax = point.x - a.x, ray = point.y - a.y;
    const float rbx = point.x - b.x, rby = point.y - b.y;
    const Vec2 va{a.velocity.x - a.angularVelocity * ray, a.velocity.y + a.angularVelocity * rax};
    const Vec2 vb{b.velocity.x - b.angularVelocity * rby, b.velocity.y + b.angularVelocity * rbx};
    const float vn = (vb.x - va.x) * normal.x + (vb.y - va.y) * normal.y;
    if (vn > 0.0f) {
        return corrected;
    }

    // c = r x n for each lever arm; the impulse j = -vn / (1/mA + 1/mB + cA^2/IA + cB^2/IB)
    // brings the relative normal velocity to 0: no restitution, no friction.
    const float ca = rax * normal.y - ray * normal.x, cb = rbx * normal.y - rby * normal.x;
    const float denominator =
        cb * cb * b.inverseInertia + ca * ca * a.inverseInertia + a.inverseMass + b.inverseMass;
    if (denominator == 0.0f) {
        return corrected;  // nothing at this contact can move or turn: no impulse to apply
    }
    const float j = -vn / denominator;
    a.velocity.x -= normal.x * a.inverseMass * j;
    a.velocity.y -= normal.y * a.inverseMass * j;
    a.angularVelocity -= j * ca * a.inverseInertia;
    b.velocity.x += j * normal.x * b.inverseMass;
    b.velocity.y += j * normal.y * b.inverseMass;
    b.angularVelocity += j * b.inverseInertia * cb;
    return corrected;
}

}  // namespace scrapvolt
