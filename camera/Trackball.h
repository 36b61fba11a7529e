#pragma once

#include "camera/Quaternion.h"

// Radius of the virtual trackball sphere in normalised window units (the window spans -1..1).
constexpr float kTrackballRadius = 0.8f;

// Height of the trackball surface over (x, y): the sphere of radius r near the centre, the
// hyperbolic sheet that meets it at r/sqrt(2) further out.
float ProjectToSheet(float r, float x, float y);

// Rotation for a drag from (x1, y1) to (x2, y2) in normalised window units, y up: about the axis
// p2 x p1 of the two trackball points. Equal points give the identity. Returns out.
Quaternion& Trackball(Quaternion& out, float x1, float y1, float x2, float y2);
