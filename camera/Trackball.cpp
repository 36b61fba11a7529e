#include "camera/Trackball.h"

#include <cmath>

#include "camera/Vec3.h"

namespace {
// r/sqrt(2), where the sphere hands over to the hyperbolic sheet; the two factors differ in
// the last bit and both are kept so the branch point and the sheet height stay as they were.
constexpr double kSphereLimitFactor = 0.7071067811865476;
constexpr double kSheetFactor = 0.7071067811865475;
// 1 / (2 * kTrackballRadius) with the radius as a 32-bit float.
constexpr double kHalfInverseRadius = 0.6249999906867744;
}  // namespace

float ProjectToSheet(float r, float x, float y) {
    float d = std::sqrt(x * x + y * y);
    if (r * kSphereLimitFactor > d) {
        return std::sqrt(r * r - d * d);
    }
    // d is at least r/sqrt(2) > 0 here, so the division is safe.
    double t = r * kSheetFactor;
    return static_cast<float>(t * t / d);
}

Quaternion& Trackball(Quaternion& out, float x1, float y1, float x2, float y2) {
    if (x1 == x2 && y1 == y2) {
        out = Quaternion{};
        return out;
    }

    // lift both points onto the trackball surface
    Vec3 p1;
    Vec3 p2;
    p1.Set(x1, y1, ProjectToSheet(kTrackballRadius, x1, y1));
    p2.Set(x2, y2, ProjectToSheet(kTrackballRadius, x2, y2));

    // the axis turns p2 toward p1
    Vec3 axis;
    Vec3Cross(p2, p1, axis);

    // the angle grows with the chord between the points, clamped so asin stays defined
    Vec3 difference;
    Vec3Subtract(p1, p2, difference);
    float t = static_cast<float>(Vec3Length(difference) * kHalfInverseRadius);
    if (t > 1.0f) {
        t = 1.0f;
    }
    if (t < -1.0f) {
        t = -1.0f;
    }
    float phi = static_cast<float>(2.0 * std::asin(t));
    return AxisAngleToQuaternion(axis, phi, out);
}
