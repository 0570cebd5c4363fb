// Polygon::draw against recording stand-ins that the linker takes in place of OpenGL's.
#include <GL/gl.h>

#include "tests/physics/test_polygons.h"

using namespace test_polygons;

static std::vector<std::pair<std::string, std::vector<float>>> glCalls;

#define RECORDING_STAND_IN(name, parameters, ...)  \
    extern "C" void GLAPIENTRY name parameters {   \
        glCalls.push_back({#name, {__VA_ARGS__}}); \
    }
RECORDING_STAND_IN(glPushMatrix, (void))
RECORDING_STAND_IN(glPopMatrix, (void))
RECORDING_STAND_IN(glTranslatef, (GLfloat x, GLfloat y, GLfloat z), x, y, z)
RECORDING_STAND_IN(glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), angle, x, y, z)
RECORDING_STAND_IN(glColor3f, (GLfloat r, GLfloat g, GLfloat b), r, g, b)
RECORDING_STAND_IN(glBegin, (GLenum mode), float(mode))
RECORDING_STAND_IN(glEnd, (void))
RECORDING_STAND_IN(glVertex2fv, (const GLfloat* v), v[0], v[1])

// Nothing for no vertices, else one white polygon, vertices reversed, inside one matrix push.
// Degrees are angle * 180 * 0.31830987f in that order; other orders round some of these apart.
TEST(PolygonDraw, OneWhitePolygonWithVerticesReversedInsideOneMatrixPush) {
    Polygon empty;
    empty.draw();
    EXPECT_TRUE(glCalls.empty());
    const float angles[][2] = {
        {2 * halfPi, 180.0f}, {0.1f, 5.72957754f}, {0.003f, 0.171887338f}, {-0.7f, -40.1070442f}};
    for (const auto& [radians, degrees] : angles) {
        Shape polygon(square, {1.5f, -2.0f, radians});
        glCalls.clear();
        polygon.draw();
        EXPECT_EQ(glCalls, (decltype(glCalls){{"glPushMatrix", {}},
                                              {"glTranslatef", {1.5f, -2.0f, 0.0f}},
                                              {"glRotatef", {degrees, 0.0f, 0.0f, 1.0f}},
                                              {"glColor3f", {1.0f, 1.0f, 1.0f}},
                                              {"glBegin", {float(GL_POLYGON)}},
                                              {"glVertex2fv", {0.5f, 0.5f}},
                                              {"glVertex2fv", {-0.5f, 0.5f}},
                                              {"glVertex2fv", {-0.5f, -0.5f}},
                                              {"glVertex2fv", {0.5f, -0.5f}},
                                              {"glEnd", {}},
                                              {"glPopMatrix", {}}}));
    }
}
