#include "tests/support/GlWindow.h"

#include <GL/freeglut.h>

#include <chrono>
#include <thread>

namespace {
void NoDisplay() {}
}  // namespace

void GlInitOnce() {
    static bool initialised = false;
    if (initialised) {
        return;
    }
    initialised = true;
    static char name[] = "zel-test";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    // Tests pump events themselves and must get control back when a window closes.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
}

int OpenTestWindow(int width, int height, const char* title) {
    GlInitOnce();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width, height);
    int id = glutCreateWindow(title);
    glutDisplayFunc(NoDisplay);
    PumpEvents(50);
    glutSetWindow(id);
    return id;
}

void PumpEvents(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < end);
}
