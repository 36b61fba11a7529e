#pragma once

#include "camera/Vec3.h"

// A rotation quaternion: vector part (x, y, z) first, scalar part w last. Identity (0, 0, 0, 1).
struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;
};

// Normalises axis in place (the caller's vector changes), then out = (axis sin(a/2), cos(a/2))
// with the angle in radians; returns out.
Quaternion& AxisAngleToQuaternion(Vec3& axis, float angleRadians, Quaternion& out);
