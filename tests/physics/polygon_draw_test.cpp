// Polygon::draw against recording stand-ins for the OpenGL calls it makes, so that it runs
// without a display. The stand-ins are defined here with the exact OpenGL signatures; the linker
// takes them in place of the library's.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "physics/polygon.h"
#include "tests/physics/test_polygons.h"

namespace {

struct GlCall {
    std::string name;
    std::vector<float> args;
    bool operator==(const GlCall&) const = default;
};

std::vector<GlCall> glCalls;

void record(const char* name, std::vector<float> args = {}) {
    glCalls.push_back({name, std::move(args)});
}

}  // namespace

extern "C" {
void GLAPIENTRY glPushMatrix(void) {
    record("glPushMatrix");
}
void GLAPIENTRY glPopMatrix(void) {
    record("glPopMatrix");
}
void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    record("glTranslatef", {x, y, z});
}
void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    record("glRotatef", {angle, x, y, z});
}
void GLAPIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    record("glColor3f", {red, green, blue});
}
void GLAPIENTRY glBegin(GLenum mode) {
    record("glBegin", {static_cast<float>(mode)});
}
void GLAPIENTRY glEnd(void) {
    record("glEnd");
}
void GLAPIENTRY glVertex2fv(const GLfloat* v) {
    record("glVertex2fv", {v[0], v[1]});
}
}

namespace {

std::string describe(const std::vector<GlCall>& calls) {
    std::string text;
    for (const GlCall& call : calls) {
        text += call.name + "(";
        for (float a : call.args) {
            text += std::to_string(a) + " ";
        }
        text += ")\n";
    }
    return text;
}

}  // namespace

TEST(PolygonDraw, EmptyPolygonIssuesNoGlCall) {
    Polygon polygon;
    polygon.clear();
    glCalls.clear();
    polygon.draw();
    EXPECT_TRUE(glCalls.empty()) << describe(glCalls);
}

TEST(PolygonDraw, DrawsOneWhitePolygonWithVerticesReversedInsideOneMatrixPush) {
    Polygon square;
    test_polygons::fill(square, test_polygons::square);
    square.x = 1.5f;
    square.y = -2.0f;
    square.angle = std::numbers::pi_v<float>;
    glCalls.clear();
    square.draw();
    const std::vector<GlCall> expected = {
        {"glPushMatrix", {}},
        {"glTranslatef", {1.5f, -2.0f, 0.0f}},
        {"glRotatef", {180.0f, 0.0f, 0.0f, 1.0f}},
        {"glColor3f", {1.0f, 1.0f, 1.0f}},
        {"glBegin", {static_cast<float>(GL_POLYGON)}},
        {"glVertex2fv", {0.5f, 0.5f}},
        {"glVertex2fv", {-0.5f, 0.5f}},
        {"glVertex2fv", {-0.5f, -0.5f}},
        {"glVertex2fv", {0.5f, -0.5f}},
        {"glEnd", {}},
        {"glPopMatrix", {}},
    };
    EXPECT_EQ(glCalls, expected) << "recorded calls:\n" << describe(glCalls);
    EXPECT_FALSE(square.edgesStale) << "draw rebuilds stale edges";
}

// Degrees are angle * 180 * 0.31830987f, multiplied in that order: the other orders round
// differently for some of these angles.
TEST(PolygonDraw, ConvertsRadiansToDegreesInTheGivenOrder) {
    struct Case {
        float radians;
        float degrees;
    };
    const Case cases[] = {{0.1f, 5.72957754f}, {0.003f, 0.171887338f}, {-0.7f, -40.1070442f}};
    Polygon square;
    test_polygons::fill(square, test_polygons::square);
    for (const Case& c : cases) {
        square.angle = c.radians;
        glCalls.clear();
        square.draw();
        ASSERT_GE(glCalls.size(), 3u);
        ASSERT_EQ(glCalls[2].name, "glRotatef");
        EXPECT_EQ(glCalls[2].args[0], c.degrees) << "angle " << c.radians;
    }
}
