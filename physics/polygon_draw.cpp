#include <GL/gl.h>

#include <scrapvolt/physics/polygon.h>

namespace scrapvolt {

void Polygon::draw() {
    if (vertexCount == 0) {
        return;
    }
    if (edgesStale) {
        recomputeEdges();
    }
    // 0.31830987f is the float nearest 1/pi.
    const float degrees = angle * 180.0f * 0.31830987f;
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glRotatef(degrees, 0.0f, 0.0f, 1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    // Reversed: the clockwise polygon reaches OpenGL wound counter-clockwise.
    glBegin(GL_POLYGON);
    for (int32_t i = vertexCount - 1; i >= 0; --i) {
        glVertex2fv(&localVertices[i].x);
    }
    glEnd();
    glPopMatrix();
}

}  // namespace scrapvolt
