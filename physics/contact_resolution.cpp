#include <cmath>

#include "body.h"

namespace {
// Brings the polygon's rotation cache up to date once after each move.
void refreshRotation(Body& body) {
    if (body.moved) {
        body.polygon->updateRotation();
        body.moved = false;
    }
}
}  // namespace

bool Body::collide(Body& other) {
    // Circles as of the last integration. Written as "not within" so that a NaN distance (a body
    // that has left the finite numbers) rejects the pair instead of reaching the contact query.
    const float dx = other.circle->centreX - circle->centreX;
    const float dy = other.circle->centreY - circle->centreY;
    const float r = other.circle->radius + circle->radius;
    if (!(dx * dx + dy * dy <= r * r)) {
        return false;
    }
    refreshRotation(*this);
    refreshRotation(other);
    const Contact* found = polygon->contact(*other.polygon);
    if (found == nullptr) {
        return false;
    }
    resolveContact(found->separation, found->point, found->normal, other);
    // Only the positional correction sets the flags again, and it sets both.
    return moved && other.moved;
}

void Body::resolveContact(const Vec2& separation, const Vec2& point, const Vec2& normal,
                          Body& other) {
    Body& a = *this;
    Body& b = other;

    // Positional correction, split by inverse mass; a NaN sum counts as 0.
    const float massSum = a.inverseMass + b.inverseMass;
    if (massSum != 0.0f && !std::isnan(massSum)) {
        const float shareA = a.inverseMass / massSum;
        const float shareB = b.inverseMass / massSum;
        a.pose->x -= shareA * separation.x;
        a.pose->y -= shareA * separation.y;
        b.pose->x += shareB * separation.x;
        b.pose->y += shareB * separation.y;
        a.moved = true;
        b.moved = true;
    }

    // Relative velocity of the contact points along the normal, from the corrected poses.
    Vec2 va;
    Vec2 vb;
    a.pointVelocity(point, va);
    b.pointVelocity(point, vb);
    const float vn = (vb.x - va.x) * normal.x + (vb.y - va.y) * normal.y;
    if (vn > 0.0f) {
        return;
    }

    // c = r x n for each lever arm; the impulse j = -vn / (1/mA + 1/mB + cA^2/IA + cB^2/IB)
    // brings the relative normal velocity to 0: no restitution, no friction.
    const float rax = point.x - a.pose->x;
    const float ray = point.y - a.pose->y;
    const float rbx = point.x - b.pose->x;
    const float rby = point.y - b.pose->y;
    const float ca = rax * normal.y - ray * normal.x;
    const float cb = rbx * normal.y - rby * normal.x;
    const float denominator =
        cb * cb * b.inverseInertia + ca * ca * a.inverseInertia + a.inverseMass + b.inverseMass;
    if (denominator == 0.0f) {
        return;  // nothing at this contact can move or turn: no impulse to apply
    }
    const float j = -vn / denominator;

    a.velocity.x -= normal.x * a.inverseMass * j;
    a.velocity.y -= normal.y * a.inverseMass * j;
    a.angularVelocity -= j * ca * a.inverseInertia;
    b.velocity.x += j * normal.x * b.inverseMass;
    b.velocity.y += j * normal.y * b.inverseMass;
    b.angularVelocity += j * b.inverseInertia * cb;
}
