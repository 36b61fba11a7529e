#include <GL/gl.h>

#include "camera/Camera.h"

namespace {
// Passes the point as the float triple glVertex3fv expects.
void Vertex(const Vec3& point) {
    const GLfloat vertex[3] = {point.x, point.y, point.z};
    glVertex3fv(vertex);
}

void DrawLoop(const Vec3 corners[8], int a, int b, int c, int d) {
    glBegin(GL_LINE_LOOP);
    Vertex(corners[a]);
    Vertex(corners[b]);
    Vertex(corners[c]);
    Vertex(corners[d]);
    glEnd();
}
}  // namespace

void Camera::DrawFrustum() const {
    Vec3 corners[8];
    FrustumCorners(corners);

    // the six faces: top, bottom, left, right, near, far
    DrawLoop(corners, 4, 5, 1, 0);
    DrawLoop(corners, 3, 2, 6, 7);
    DrawLoop(corners, 1, 5, 6, 2);
    DrawLoop(corners, 0, 3, 7, 4);
    DrawLoop(corners, 1, 2, 3, 0);
    DrawLoop(corners, 4, 7, 6, 5);

    // the rays from the eye to the near corners
    glBegin(GL_LINES);
    const int nearCorners[4] = {1, 2, 3, 0};
    for (int corner : nearCorners) {
        Vertex(origin);
        Vertex(corners[corner]);
    }
    glEnd();
}
