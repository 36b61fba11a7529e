#pragma once

#include <string>
#include <vector>

// The few GLUT and GL entry points the Viewer calls outside drawing, replaced by recording fakes
// for the unit tier: definitions in the test executable take precedence over the shared libraries.

// One glutTimerFunc request.
struct FakeTimer {
    unsigned int interval = 0;
    void (*callback)(int) = nullptr;
    int value = 0;
};

// One menu entry: a command with its value, or a sub-menu with its menu id as the value.
struct FakeMenuEntry {
    std::string label;
    int value = 0;
    bool isSubMenu = false;
};

// One glutCreateMenu call and the entries added while it was the current menu.
struct FakeMenu {
    void (*callback)(int) = nullptr;
    std::vector<FakeMenuEntry> entries;
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
    // Menus in creation order; GLUT ids count from 1, so menu id k is menus[k - 1].
    std::vector<FakeMenu> menus;
    int currentMenu = 0;
    // The menu attached to each mouse button, 0 for none.
    int attachedMenus[3] = {0, 0, 0};
};

// The fakes' state, shared by every test in the process.
FakeGlutState& FakeGlut();

// Back to the initial answers with nothing recorded.
void FakeGlutReset();
