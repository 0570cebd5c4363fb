// Fuzz target: bytes become a small world, stepped by World::step and by the plain reference step
// side by side; every step must leave both in the same state, bit for bit. Values are drawn often
// from the extremes (1e-30, 4e6, 1e15, 1e38, infinity, NaN), and bodies are kicked, teleported,
// removed and added again between steps.
//
// Input: a byte for the body count (2 to 8), then 13 bytes a body, then 3 bytes an operation:
//   body:      vertices (3 to 8), scale, shape, x (2 bytes), y (2 bytes), angle, vx, vy, spin,
//              masses (bits 0-2 inverse mass, 3-5 inverse inertia, 6: on the previous polygon),
//              layers (bits 0-1 the category, 1, 2, 4 or none; 2-4 mask bits cleared; 5 sensor)
//   operation: kind (step, kick, teleport, remove, add again, four steps), body, value;
//              each is followed by a step, then a box query and a ray cast between two points
//              drawn from the body and value bytes; 32 operations at most.
// Bytes past the end read as 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <numbers>
#include <tuple>
#include <vector>

#include "tests/physics/reference_step.h"

namespace {

using namespace scrapvolt;

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
    bool empty() const { return at >= size; }
};

// Small steps of 0.5 around zero, or an extreme of either sign: most bytes give a plain number.
float value(uint8_t byte) {
    constexpr float extremes[] = {1e-30f, 4e6f, 1e7f, 1e15f, 2e15f, 1e20f, 1e38f, INFINITY};
    const int32_t s = static_cast<int8_t>(byte);
    return s == -128           ? NAN
           : std::abs(s) < 100 ? 0.5f * static_cast<float>(s)
                               : (s < 0 ? -1.0f : 1.0f) * extremes[(std::abs(s) - 100) % 8];
}

float mass(uint32_t code) {
    constexpr float masses[] = {0.0f, 1.0f, 0.5f, 2.0f, 1e-30f, 1e38f, INFINITY, NAN};
    return masses[code % 8];
}

// A world built from the bytes; built twice from the same bytes, the two are alike.
struct FuzzWorld {
    std::deque<Polygon> polygons;
    std::deque<Body> bodies;
    World world;

    // Reads the body count and the bodies, leaving in at the operations.
    explicit FuzzWorld(Bytes& in) {
        for (int32_t k = 0, count = 2 + in.next() % 7; k < count; ++k) {
            const int32_t n = 3 + in.next() % 6;
            constexpr float scales[] = {1, 0.5f, 2, 10, 1e-30f, 1e-3f, 1e3f, 4e6f, 1e15f, 1e38f};
            const float scale = scales[in.next() % 10];
            const uint8_t shape = in.next();
            // Convex and clockwise: one vertex in each equal sector, a little way into it, on an
            // ellipse whose axes differ by the shape byte's high bits.
            Polygon& polygon = polygons.emplace_back();
            const double sector = 2 * std::numbers::pi / n, aspect = 1 + (shape >> 4) / 8.0;
            for (int32_t i = 0; i < n; ++i) {
                const double t =
                    std::numbers::pi / 4 - sector * (i + (shape & 15) / 32.0 * (i % 2));
                polygon.addVertex(static_cast<float>(scale * std::cos(t)),
                                  static_cast<float>(scale * aspect * std::sin(t)));
            }
            const float x = value(in.next()) + value(in.next());
            const float y = value(in.next()) + value(in.next());
            const float angle = value(in.next());
            const Vec2 velocity{value(in.next()) / 64, value(in.next()) / 64};
            const float spin = value(in.next()) / 64;
            const uint8_t masses = in.next();
            const bool shared = (masses & 64) != 0 && k > 0;
            Body& body = bodies.emplace_back(shared ? polygons[polygons.size() - 2] : polygon);
            shared ? void() : body.setPose(x, y, angle);
            std::tie(body.velocity, body.angularVelocity, body.inverseMass, body.inverseInertia) =
                std::tuple(velocity, spin, mass(masses), mass(masses >> 3));
            const uint8_t layers = in.next();
            body.categoryBits = (layers & 3) == 3 ? 0 : uint64_t{1} << (layers & 3);
            body.maskBits = ~uint64_t{(layers >> 2) & 7u};
            body.sensor = (layers & 32) != 0;
            addIfSound(body);
        }
    }
    // Polygons beyond float range are not convex to rounding: builds with assertions refuse them.
    void addIfSound(Body& body) {
        !world.contains(body) && body.polygon->isConvexClockwise() ? world.add(body) : void();
    }
    void apply(uint8_t kind, uint8_t which, uint8_t byte) {
        Body& body = bodies[which % bodies.size()];
        const auto times = [&](int k) { return value(static_cast<uint8_t>(byte * k)); };
        if (kind % 6 == 1) {
            body.velocity = {value(byte) / 64, times(7) / 64};
            body.angularVelocity = times(13) / 64;
        } else if (kind % 6 == 2) {
            body.setPose(value(byte), times(7), body.pose->angle);
        } else if (kind % 6 == 3) {
            world.remove(body);
        } else if (kind % 6 == 4) {
            addIfSound(body);
        }
    }
};

// A box and a ray between the same two points, asked of the fast world between steps: whatever
// the world, they report bodies in it, the box each once, the ray at a fraction in [0, 1]. The
// next step's comparison checks that they changed nothing a step reads.
bool queriesAnswerSoundly(World& world, uint8_t which, uint8_t byte) {
    const Vec2 a{value(which), value(byte)};
    const Vec2 b{value(static_cast<uint8_t>(byte * 3)), value(static_cast<uint8_t>(which * 5))};
    std::vector<Body*> found;
    world.queryBox({std::fmin(a.x, b.x), std::fmin(a.y, b.y)},
                   {std::fmax(a.x, b.x), std::fmax(a.y, b.y)}, found);
    std::ranges::sort(found);
    bool sound = std::ranges::adjacent_find(found) == found.end();
    RayHit hit{};
    if (world.rayCast(a, b, hit)) {
        found.push_back(hit.body);
        sound = sound && hit.fraction >= 0.0f && hit.fraction <= 1.0f;
    }
    return sound && std::ranges::all_of(found, [&](Body* f) { return world.contains(*f); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size}, again = in;
    FuzzWorld fast(in), reference(again);
    std::vector<StepContact> touched;
    for (size_t step = 0; step < 32 && (step == 0 || !in.empty()); ++step) {
        const uint8_t kind = in.next(), which = in.next(), byte = in.next();
        for (int32_t repeat = 0; repeat < (kind % 6 == 5 ? 4 : 1); ++repeat) {
            fast.apply(kind, which, byte);
            reference.apply(kind, which, byte);
            const int32_t passes = reference_step::referenceStep(reference.world, touched);
            fast.world.step();
            if (fast.world.lastPassCount != passes ||
                reference_step::stepState(fast.bodies, fast.world, fast.world.contacts()) !=
                    reference_step::stepState(reference.bodies, reference.world, touched)) {
                std::fprintf(
                    stderr, "World::step and the reference step differ in %s after step %zu\n",
                    fast.world.lastPassCount != passes ? "the pass count" : "the state", step);
                std::abort();
            }
            if (!queriesAnswerSoundly(fast.world, which, byte)) {
                std::fprintf(stderr, "A query after step %zu reported a body wrongly\n", step);
                std::abort();
            }
        }
    }
    return 0;
}
