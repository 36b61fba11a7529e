#include "tests/viewer/FakeGlut.h"

#include <GL/glut.h>

FakeGlutState& FakeGlut() {
    static FakeGlutState state;
    return state;
}

void FakeGlutReset() {
    FakeGlut() = FakeGlutState();
}

int glutGetModifiers() {
    return FakeGlut().modifiers;
}

int glutGet(GLenum query) {
    if (query == GLUT_WINDOW_WIDTH) {
        return FakeGlut().windowWidth;
    }
    if (query == GLUT_WINDOW_HEIGHT) {
        return FakeGlut().windowHeight;
    }
    return 0;
}

void glutPostRedisplay() {
    ++FakeGlut().redisplays;
}

void glutTimerFunc(unsigned int time, void (*callback)(int), int value) {
    FakeGlut().timers.push_back(FakeTimer{time, callback, value});
}

int glutGetWindow() {
    return FakeGlut().currentWindow;
}

void glutSetWindow(int window) {
    FakeGlut().currentWindow = window;
}

void glViewport(GLint /*x*/, GLint /*y*/, GLsizei width, GLsizei height) {
    FakeGlut().viewportWidth = width;
    FakeGlut().viewportHeight = height;
}

int glutCreateMenu(void (*callback)(int)) {
    FakeGlut().menus.push_back(FakeMenu{callback, {}});
    FakeGlut().currentMenu = static_cast<int>(FakeGlut().menus.size());
    return FakeGlut().currentMenu;
}

namespace {

// Adds to the current menu, as GLUT does; entries without a current menu are lost.
void FakeAddMenuEntry(const char* label, int value, bool isSubMenu) {
    int menu = FakeGlut().currentMenu;
    if (menu < 1 || menu > static_cast<int>(FakeGlut().menus.size())) {
        return;
    }
    FakeGlut().menus[menu - 1].entries.push_back(FakeMenuEntry{label, value, isSubMenu});
}

}  // namespace

void glutAddMenuEntry(const char* label, int value) {
    FakeAddMenuEntry(label, value, false);
}

void glutAddSubMenu(const char* label, int subMenu) {
    FakeAddMenuEntry(label, subMenu, true);
}

void glutAttachMenu(int button) {
    if (button >= 0 && button < 3) {
        FakeGlut().attachedMenus[button] = FakeGlut().currentMenu;
    }
}
