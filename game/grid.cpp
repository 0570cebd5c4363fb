#include "game/grid.h"

#include <GL/gl.h>

#include <cmath>

namespace {

constexpr int spacing = 5;
constexpr int lineCount = 12;
constexpr int first = -30;  // offsets run -30, -25, ..., 25
constexpr float halfHeight = 30.0f;
constexpr float halfWidth = 40.0f;

// c - fmod(c, 5): fmod keeps the sign of c, so 7 gives 5, -7 gives -5 and -3 gives 0.
float snap(float c) {
    const double d = c;
    return static_cast<float>(d - std::fmod(d, static_cast<double>(spacing)));
}

}  // namespace

GridLines gridLines(float cx, float cy) {
    const float gx = snap(cx);
    const float gy = snap(cy);
    GridLines lines{};
    for (int n = 0; n < lineCount; ++n) {
        const float i = static_cast<float>(first + n * spacing);
        lines[n] = {gx + i, gy - halfHeight, gx + i, gy + halfHeight};
        lines[lineCount + n] = {gx - halfWidth, gy + i, gx + halfWidth, gy + i};
    }
    return lines;
}

void drawGrid(float cx, float cy) {
    glColor3f(0.5f, 0.5f, 0.5f);
    const GridLines lines = gridLines(cx, cy);
    glBegin(GL_LINES);
    for (const GridLine& line : lines) {
        glVertex2f(line.x0, line.y0);
        glVertex2f(line.x1, line.y1);
    }
    glEnd();
}
