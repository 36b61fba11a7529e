#pragma once

#include <cmath>

// The field of view a camera reads back after its perspective was set to fovy with this near
// distance, worked out step by step in 32-bit floats: the frustum's top is the tangent of half
// the angle (degrees to radians by 0.0174532) times the near distance, and top over near turns
// back into degrees by 114.59156, which is not quite the inverse factor. Each read-back and set
// again shrinks the angle by about 0.9999947, and the last digits depend on the near distance.
inline float FieldOfViewReadBack(float fovy, float zNear) {
    float top = std::tan(fovy * 0.0174532f * 0.5f) * zNear;
    return std::atan2(top / zNear, 1.0f) * 114.59156f;
}
