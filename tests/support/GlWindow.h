#pragma once

// Helpers for tests that need a real GLUT window (run them under an X server, e.g. Xvfb).
// Tests wait for what they check, with a time limit, never for a fixed time.

#include <functional>
#include <vector>

// Time limit for any one wait of a window test, generous for a loaded machine.
constexpr int kGlWaitTimeoutMs = 20000;

// Calls glutInit once per process with a bare program name; later calls do nothing.
void GlInitOnce();

// Creates a visible double-buffered RGB window with depth of the given size, makes it current,
// waits until it is mapped, and returns its GLUT id (0 when it did not show in time).
int OpenTestWindow(int width = 64, int height = 64, const char* title = "zel test");

// Polls condition (without running GLUT) until it holds; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kGlWaitTimeoutMs);

// Runs GLUT's event loop until condition holds; false after timeoutMs.
bool PumpEventsUntil(const std::function<bool()>& condition, int timeoutMs = kGlWaitTimeoutMs);

// Runs GLUT's event loop until every timer due within the next milliseconds has fired: a marker
// timer armed now for that delay fires after them, since GLUT fires timers in the order they
// fall due. False when the marker did not fire within timeoutMs.
bool PumpUntilTimersDue(int milliseconds, int timeoutMs = kGlWaitTimeoutMs);

// Runs GLUT's event loop until window id is mapped on the screen; false after timeoutMs.
bool WaitForWindowMapped(int id, int timeoutMs = kGlWaitTimeoutMs);

// The pixels of window id as the X server holds them, that is what the screen shows: RGB, three
// bytes a pixel, rows from the bottom up as glReadPixels gives them. The window must be mapped.
std::vector<unsigned char> ShownPixels(int id);
