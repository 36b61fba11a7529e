#pragma once

// Helpers for tests that need a real GLUT window (run them under an X server, e.g. Xvfb).

// Calls glutInit once per process with a bare program name; later calls do nothing.
void GlInitOnce();

// Creates a visible double-buffered RGB window with depth of the given size, makes it current,
// waits until it is mapped, and returns its GLUT id.
int OpenTestWindow(int width = 64, int height = 64, const char* title = "zel test");

// Runs GLUT's event loop for about the given time, so that callbacks and timers fire.
void PumpEvents(int milliseconds);
