#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <vector>

#include "camera/Camera.h"
#include "tests/support/GlWindow.h"

namespace {

constexpr int kSize = 64;

struct LitPixels {
    int left = 0;
    int right = 0;
};

// Counts non-black pixels of the back buffer, split at the vertical centre line.
LitPixels CountLitPixels() {
    std::vector<unsigned char> pixels(kSize * kSize * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    LitPixels lit;
    for (int row = 0; row < kSize; ++row) {
        for (int column = 0; column < kSize; ++column) {
            const unsigned char* p = &pixels[(row * kSize + column) * 3];
            if (p[0] != 0 || p[1] != 0 || p[2] != 0) {
                (column < kSize / 2 ? lit.left : lit.right) += 1;
            }
        }
    }
    return lit;
}

TEST(CameraDrawTest, DrawFrustumDrawsLinesWithoutTouchingState) {
    int window = OpenTestWindow(kSize, kSize, "frustum");
    ASSERT_GT(window, 0);
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // looking down -z from above the frustum, which spans x and y up to about 7.07
    glOrtho(-10.0, 10.0, -10.0, 10.0, -20.0, 20.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 0.0f);
    glLineWidth(1.0f);

    const LitPixels before = CountLitPixels();
    EXPECT_EQ(0, before.left + before.right);

    Camera camera;
    camera.DrawFrustum();
    glFinish();
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());

    // the frustum is symmetric about the camera's axis, so both halves get lines
    const LitPixels after = CountLitPixels();
    EXPECT_GT(after.left, 10);
    EXPECT_GT(after.right, 10);

    // it draws in the caller's colour and width
    GLfloat colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(1.0f, colour[0]);
    EXPECT_EQ(1.0f, colour[1]);
    EXPECT_EQ(0.0f, colour[2]);
    GLfloat width = 0.0f;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(1.0f, width);
    glutDestroyWindow(window);
}

}  // namespace
