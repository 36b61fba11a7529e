#include "tests/support/GlWindow.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <thread>

namespace {

void NoDisplay() {}

int markersFired = 0;

void MarkerTimer(int /*value*/) {
    ++markersFired;
}

// Position of the lowest set bit of a colour mask, so a channel can be shifted down to bit 0.
int MaskShift(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

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
    bool mapped = WaitForWindowMapped(id);
    glutSetWindow(id);
    return mapped ? id : 0;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool PumpEventsUntil(const std::function<bool()>& condition, int timeoutMs) {
    return WaitUntil(
        [&condition] {
            glutMainLoopEvent();
            return condition();
        },
        timeoutMs);
}

bool PumpUntilTimersDue(int milliseconds, int timeoutMs) {
    int target = markersFired + 1;
    glutTimerFunc(static_cast<unsigned int>(milliseconds), MarkerTimer, 0);
    return PumpEventsUntil([target] { return markersFired >= target; }, timeoutMs);
}

bool WaitForWindowMapped(int id, int timeoutMs) {
    return PumpEventsUntil(
        [id] {
            glutSetWindow(id);
            XWindowAttributes attributes;
            return XGetWindowAttributes(glXGetCurrentDisplay(), glXGetCurrentDrawable(),
                                        &attributes) != 0 &&
                   attributes.map_state == IsViewable;
        },
        timeoutMs);
}

std::vector<unsigned char> ShownPixels(int id) {
    glutSetWindow(id);
    glFinish();
    Display* display = glXGetCurrentDisplay();
    GLXDrawable window = glXGetCurrentDrawable();
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int width = attributes.width;
    int height = attributes.height;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned int>(width),
                              static_cast<unsigned int>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return pixels;
    }
    const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
    for (int row = 0; row < height; ++row) {
        // X rows run from the top, GL rows from the bottom
        unsigned char* out = pixels.data() + static_cast<size_t>(height - 1 - row) * width * 3;
        for (int column = 0; column < width; ++column) {
            unsigned long pixel = XGetPixel(image, column, row);
            for (int channel = 0; channel < 3; ++channel) {
                unsigned long mask = masks[channel];
                *out++ = static_cast<unsigned char>((pixel & mask) >> MaskShift(mask));
            }
        }
    }
    XDestroyImage(image);
    return pixels;
}
