// Polygon::draw against recording stand-ins that the linker takes in place of OpenGL's.
#include <GL/gl.h>

#include <cstdio>

#include "tests/physics/test_polygons.h"

static std::string glCalls;

static void record(const char* name, std::initializer_list<float> arguments) {
    glCalls += std::string(" ") + name;
    for (const float a : arguments) {
        char text[32];
        std::snprintf(text, sizeof text, " %.9g", a);
        glCalls += text;
    }
}

#define RECORDING_STAND_IN(name, parameters, ...) \
    extern "C" void GLAPIENTRY name parameters {  \
        record(#name, {__VA_ARGS__});             \
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
    Polygon().draw();
    EXPECT_EQ(glCalls, "");
    const std::pair<float, const char*> angles[] = {{2 * test_polygons::halfPi, "180"},
                                                    {0.1f, "5.72957754"},
                                                    {0.003f, "0.171887338"},
                                                    {-0.7f, "-40.1070442"}};
    for (const auto& [radians, degrees] : angles) {
        test_polygons::Shape polygon(test_polygons::square, {1.5f, -2.0f, radians});
        glCalls.clear();
        polygon.draw();
        EXPECT_EQ(glCalls,
                  " glPushMatrix glTranslatef 1.5 -2 0 glRotatef " + std::string(degrees) +
                      " 0 0 1 glColor3f 1 1 1 glBegin 9 glVertex2fv 0.5 0.5 glVertex2fv "
                      "-0.5 0.5 glVertex2fv -0.5 -0.5 glVertex2fv 0.5 -0.5 glEnd glPopMatrix");
    }
}
