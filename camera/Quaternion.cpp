#include "camera/Quaternion.h"

#include <cmath>

Quaternion& AxisAngleToQuaternion(Vec3& axis, float angleRadians, Quaternion& out) {
    Vec3Normalize(axis);
    // Half the angle once, in double, so sine and cosine describe the same rotation.
    double halfAngle = static_cast<double>(angleRadians) / 2.0;
    float s = static_cast<float>(std::sin(halfAngle));
    out.x = axis.x * s;
    out.y = axis.y * s;
    out.z = axis.z * s;
    out.w = static_cast<float>(std::cos(halfAngle));
    return out;
}
