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
