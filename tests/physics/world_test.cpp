// World stepping: the list, the sort, the pass loop, and the step against a plain reference.
#include <bit>
#include <deque>

#include "bench/topdown_squares.h"
#include "tests/physics/test_polygons.h"

using namespace test_polygons;

namespace {

// The straightforward step that World::step must match bit for bit: integrate in list order,
// insertion-sort by minX (an out-of-order node goes before the first node not below it, NaN
// last), then sweep the whole list, calling collide on every pair whose intervals overlap, until
// a pass makes no correction or the cap is reached. Returns the passes run.
int32_t referenceStep(World& world) {
    WorldNode*& head = world.head;
    if (head == nullptr || head->next == nullptr) {
        return 0;
    }
    for (WorldNode* n = head; n != nullptr; n = n->next) {
        n->body->integrate();
        const BoundingCircle* c = n->body->circle;
        n->minX = c != nullptr ? c->centreX - c->radius : NAN;
        n->maxX = c != nullptr ? c->radius + c->centreX : NAN;
    }
    const auto before = [](float a, float b) { return a < b || (std::isnan(b) && !std::isnan(a)); };
    for (WorldNode *p = head, *q = p->next; q != nullptr; q = p->next) {
        if (!before(q->minX, p->minX)) {
            p = q;
            continue;
        }
        p->next = q->next;
        WorldNode** link = &head;
        while (before((*link)->minX, q->minX)) {
            link = &(*link)->next;
        }
        q->next = *link;
        *link = q;
    }
    int32_t passes = 0;
    for (bool quiet = false; !quiet && passes < World::maxPasses; ++passes) {
        quiet = true;
        for (WorldNode* i = head; i->next != nullptr; i = i->next) {
            for (WorldNode* j = i->next; j != nullptr && j->minX < i->maxX; j = j->next) {
                quiet = !i->body->collide(*j->body) && quiet;
            }
        }
    }
    return passes;
}

// Seeded random worlds, built the same from the same seed: walls, free squares and arbitrary
// convex polygons, pinned bodies (inverse mass 0, inverse inertia not), a square squeezed between
// two immovable ones that drift apart (capped steps until the gap opens), a polygon without
// vertices, and with seed 4 two bodies sharing one polygon. Every 40 steps the free bodies are
// kicked; at step 100 one of them turns NaN.
struct RandomWorld {
    std::deque<Polygon> polygons;
    std::deque<Body> bodies;
    World world;
    Random random;
    int32_t steps = 0;

    Body& add(const std::vector<Vec2>& shape, Pose at, float inverseMass, float inverseInertia) {
        polygons.emplace_back();
        if (!shape.empty()) {
            fill(polygons.back(), shape);
        } else {
            fillRandom(polygons.back(), random);
        }
        Body& body = bodies.emplace_back(polygons.back());
        body.setPose(at.x, at.y, at.angle);
        std::tie(body.inverseMass, body.inverseInertia) = std::tie(inverseMass, inverseInertia);
        world.add(body);
        return body;
    }
    explicit RandomWorld(uint32_t seed) : random{std::mt19937(seed)} {
        const std::vector<Vec2> wall = {{13, -0.5f}, {-13, -0.5f}, {-13, 0.5f}, {13, 0.5f}};
        for (int k = 0; k < 4; ++k) {
            add(wall,
                {k < 2 ? 0 : 12.0f * (k * 2 - 5), k < 2 ? 12.0f * (k * 2 - 1) : 0,
                 k < 2 ? 0 : halfPi},
                0, 0);
        }
        for (int k = 0; k < 40; ++k) {
            add(k % 2 ? square : std::vector<Vec2>{}, {random.real(-9, 9), random.real(-9, 9), 0},
                random.real(0.2, 3), random.real(0.1, 8));
        }
        for (int k = 0; k < 3; ++k) {
            add({}, {random.real(-9, 9), random.real(-9, 9), 0}, 0, random.real(0.01, 0.5))
                .angularVelocity = random.real(-0.05, 0.05);
        }
        add(square, {20.95f, 0, 0}, 0, 0).velocity = {0.004f, 0};
        add(square, {19.05f, 0, 0}, 0, 0).velocity = {-0.004f, 0};
        add(square, {20, 0, 0}, 1, 6);
        // Two pinned squares that overlap: found touching in every pass, never corrected.
        add(square, {-10.5f, -10.5f, 0}, 0, 1).angularVelocity = 0.01f;
        add(square, {-10.0f, -10.5f, 0}, 0, 1).angularVelocity = -0.02f;
        if (seed == 4) {  // a body sharing a free square's polygon: it overlaps it for ever
            world.add(bodies.emplace_back(polygons[5]));
        }
        world.add(bodies.emplace_back(polygons.emplace_back()));
    }
    void prepare() {
        for (size_t k = 4; k < 44 && steps % 40 == 0; ++k) {
            setMotion(bodies[k], random.real(-0.2, 0.2), random.real(-0.2, 0.2),
                      random.real(-0.1, 0.1));
        }
        bodies[10].velocity.x = steps++ == 100 ? NAN : bodies[10].velocity.x;
    }
    // Every pose, motion, moved flag and rotation cache, then the list order.
    std::vector<uint32_t> state() const {
        std::vector<uint32_t> bits;
        for (const Body& b : bodies) {
            for (float v : {b.pose->x, b.pose->y, b.pose->angle, b.velocity.x, b.velocity.y,
                            b.angularVelocity, b.polygon->cosAngle, b.polygon->negSinAngle}) {
                bits.push_back(std::bit_cast<uint32_t>(v));
            }
            bits.push_back(b.moved);
        }
        for (const WorldNode* n = world.head; n != nullptr; n = n->next) {
            bits.push_back(uint32_t(std::find_if(bodies.begin(), bodies.end(),
                                                 [&](const Body& b) { return &b == n->body; }) -
                                    bodies.begin()));
        }
        return bits;
    }
};

TEST(WorldProperty, StepMatchesTheReferenceStepBitForBit) {
    int32_t capped = 0, contacts = 0;
    for (const auto& [seed, steps] : {std::pair(1u, 300), {2u, 300}, {3u, 300}, {4u, 20}}) {
        RandomWorld fast(seed), reference(seed);
        for (int32_t step = 0; step < steps; ++step) {
            fast.prepare();
            reference.prepare();
            fast.world.step();
            const int32_t passes = referenceStep(reference.world);
            ASSERT_EQ(fast.world.lastPassCount, passes) << "seed " << seed << " step " << step;
            ASSERT_EQ(fast.state(), reference.state()) << "seed " << seed << " step " << step;
            capped += passes == World::maxPasses;
            contacts += passes > 1;
        }
    }
    EXPECT_GT(capped, 10) << "no squeeze reached the cap";
    EXPECT_GT(contacts, 300) << "too few steps with corrections";
}

// Bodies added to a world in the given order, each placed at x, y with an inverse mass. A
// diamond at x has the interval [x - 1, x + 1].
struct Scene {
    std::deque<Shape> shapes;
    std::deque<Body> bodies;
    World world;

    explicit Scene(const std::vector<Floats>& places,
                   const std::vector<Vec2>& shape = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}}) {
        for (const Floats& p : places) {
            Body& body = bodies.emplace_back(shapes.emplace_back(shape));
            body.setPose(p[0], p[1], 0.0f);
            body.inverseMass = p[2];
            world.add(body);
        }
    }
    int32_t step() { return world.step(), world.lastPassCount; }
    std::vector<bool> moved() const {  // cleared by the circle pre-test of collide
        std::vector<bool> flags;
        for (const Body& body : bodies) {
            flags.push_back(body.moved);
        }
        return flags;
    }
};

TEST(World, ListOrderPairsTestedAndPassCount) {
    // Under two bodies or after clear a step does nothing: integration would mark them moved.
    Scene empty({}), lone({{0, 0, 1}}), cleared({{0, 0, 1}, {0.5f, 0, 1}});
    cleared.world.clear();
    for (Scene* scene : {&empty, &lone, &cleared}) {
        EXPECT_EQ(scene->step(), 0);
        EXPECT_EQ(scene->moved(), std::vector<bool>(scene->bodies.size(), false));
    }
    Scene scene({{0, 0, 1}, {10, 0, 1}, {20, 0, 1}});
    const auto& b = scene.bodies;
    EXPECT_EQ((std::vector<const Body*>{scene.world.head->body, scene.world.head->next->body}),
              (std::vector<const Body*>{&b[2], &b[1]}))
        << "add puts a body in front";
    // (Places, passes, moved flags after the step): [-1, 1] and [1, 3] touch, so the pair is
    // not tested; the circles of neighbours in the chain overlap, the diamonds do not; a
    // corrected pair is tested again in a quiet second pass; a squeezed square hits the cap.
    const std::tuple<std::vector<Floats>, int32_t, std::vector<bool>> cases[] = {
        {{{0, 0, 1}, {2, 0, 1}}, 1, {true, true}},
        {{{0, 0, 1}, {1.5f, 0.6f, 1}, {3, 0, 1}, {10, 0, 1}}, 1, {false, false, false, true}},
        {{{1.9f, 0, 1}, {0, 0, 1}}, 2, {false, false}},
        {{{0, 0, 1}, {0, 2, 1}}, 1, {false, false}}};  // circles that touch are tested
    for (const auto& [places, passes, moved] : cases) {
        Scene s(places);
        EXPECT_EQ(s.step(), passes);
        EXPECT_EQ(s.moved(), moved) << testing::PrintToString(places);
    }
    Scene squeeze({{-0.95f, 0, 0}, {0.95f, 0, 0}, {0, 0, 1}}, square);
    EXPECT_EQ(squeeze.step(), World::maxPasses);
    // A body gone non-finite hangs neither sort nor sweep and keeps no other pair from resolving.
    for (const Vec2& velocity : {Vec2{NAN, 0.0f}, Vec2{0.0f, NAN}, Vec2{INFINITY, 0.0f}}) {
        Scene broken({{0, 0, 1}, {1.5f, 0, 1}, {20, 0, 1}, {21.5f, 0, 1}});
        broken.bodies[0].velocity = velocity;
        EXPECT_EQ(broken.step(), 2);
        const Pose &a = *broken.bodies[2].pose, &b = *broken.bodies[3].pose;
        EXPECT_GT(std::fabs(b.x - a.x) + std::fabs(b.y - a.y), 1.99f) << "diamonds overlap";
    }
}

TEST(WorldSort, UnstableInsertionSortByMinXWithNaNLast) {
    // The keys, then the order they end in as indices.
    const Floats cases[] = {{5, 3, 3, 2, 1, 0},
                            {3, 1, 2, 1, 0, 4, 3, 1, 2, 0},
                            {0, 1, 1, 2, 0, 1, 2, 3},
                            {NAN, 1, NAN, 0, 3, 1, 0, 2},
                            {INFINITY, NAN, -INFINITY, 2, 2, 3, 0, 1},
                            {NAN, NAN, NAN, 0, 1, 2}};
    for (const Floats& c : cases) {
        const Floats keys(c.begin(), c.begin() + c.size() / 2),
            expected(c.begin() + c.size() / 2, c.end());
        std::vector<WorldNode> nodes(keys.size());
        World world;
        for (size_t i = nodes.size(); i-- > 0;) {
            nodes[i] = WorldNode{nullptr, world.head, keys[i], keys[i]};
            world.head = &nodes[i];
        }
        world.sortByMinX();
        Floats order;
        for (WorldNode* n = world.head; n != nullptr && order.size() <= keys.size(); n = n->next) {
            order.push_back(float(n - nodes.data()));
        }
        EXPECT_EQ(order, expected) << testing::PrintToString(keys);
        world.head = nullptr;  // the nodes belong to the vector
    }
}

// "topdown-squares v1" at N = 100: its first square as drawn, steps after the first that
// allocate nothing, and the hash after 300 steps.
TEST(WorldProperty, StepsAllocateNothingAndEndAtTheGoldenHash) {
    TopdownSquares golden(100);
    EXPECT_EQ(pose(*golden.square(0).pose), (Floats{-9.23724842f, -8.93295574f, 0.013049338f}));
    EXPECT_EQ(motion(golden.square(0)), (Floats{0.00520864595f, -0.00960050803f, -0.00760767609f}));
    golden.world().step();
    AllocationScope scope;
    for (int i = 1; i < 300; ++i) {
        golden.world().step();
    }
    EXPECT_EQ(scope.count(), 0u) << "malloc counted: " << allocation_counter::countsMalloc();
    EXPECT_EQ(golden.poseHash(), 0x14c6c4ccu) << std::hex << "got 0x" << golden.poseHash();
}

}  // namespace
