#pragma once

#include <vector>

// The few GLUT and GL entry points the Viewer calls outside drawing, replaced by recording fakes
// for the unit tier: definitions in the test executable take precedence over the shared libraries.

// One glutTimerFunc request.
struct FakeTimer {
    unsigned int interval = 0;
    void (*callback)(int) = nullptr;
    int value = 0;
};

// What the fakes answer and what they saw.
struct FakeGlutState {
    int modifiers = 0;
    int windowWidth = 200;
    int windowHeight = 100;
    int currentWindow = 0;
    int redisplays = 0;
    std::vector<FakeTimer> timers;
    int viewportWidth = -1;
    int viewportHeight = -1;
};

// The fakes' state, shared by every test in the process.
FakeGlutState& FakeGlut();

// Back to the initial answers with nothing recorded.
void FakeGlutReset();
