#include "contact_resolution.h"
#include <scrapvolt/physics/body.h>

namespace scrapvolt {

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
    const ContactMotion a{pose->x, pose->y, velocity, angularVelocity, inverseMass, inverseInertia};
    const ContactMotion b{other.pose->x,         other.pose->y,     other.velocity,
                          other.angularVelocity, other.inverseMass, other.inverseInertia};
    if (resolveContactMotion(a, b, separation, point, normal)) {
        moved = true;
        other.moved = true;
    }
}

}  // namespace scrapvolt
