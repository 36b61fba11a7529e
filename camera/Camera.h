#pragma once

#include <cstdio>

#include "camera/Matrix4.h"
#include "camera/Vec3.h"

// Radians back to degrees, doubled, as a 32-bit float (about 360/pi). It is not the exact
// inverse of kDegreesToRadians, so a field of view reads back as 0.9999947 of what was set.
constexpr float kTwiceRadiansToDegrees = 114.59156f;

// An orthonormal frame (looking along -zAxis, yAxis up) and a symmetric perspective frustum.
struct Camera {
    Vec3 xAxis{1.0f, 0.0f, 0.0f};
    Vec3 yAxis{0.0f, 1.0f, 0.0f};
    Vec3 zAxis{0.0f, 0.0f, 1.0f};
    Vec3 origin{0.0f, 0.0f, 0.0f};
    float left = -1.0f;
    float right = 1.0f;
    float bottom = -1.0f;
    float top = 1.0f;
    float zNear = 1.4142f;
    float zFar = 10.0f;

    // Copies all eighteen values of another camera; returns this camera.
    Camera& Copy(const Camera& other);
    // Places the frame at eye looking at centre with up; the frustum is untouched.
    void LookAt(const Vec3& eye, const Vec3& centre, const Vec3& up);
    // Sets the symmetric frustum from a vertical field of view in degrees; the frame is untouched.
    void SetPerspective(float fovy, float aspect, float nearDistance, float farDistance);
    // eye = origin, centre = the point one unit in front of the eye, up = yAxis.
    void GetLookAt(Vec3& eye, Vec3& centre, Vec3& up) const;
    // The inverse of SetPerspective (fovy reads back very slightly smaller).
    void GetPerspective(float& fovy, float& aspect, float& nearDistance, float& farDistance) const;
    // Maps a point in camera coordinates to world coordinates; returns out.
    Vec3& CameraToWorld(Vec3& out, const Vec3& point) const;
    // Identity axes and zero origin; the frustum is untouched.
    void ResetFrame();
    // Applies m to the frame, then rescales axes to unit xAxis and the frustum by the same factor.
    void Transform(const Matrix4& m);
    // World-to-camera matrix; returns out.
    Matrix4& ViewingMatrix(Matrix4& out) const;
    // Perspective projection matrix of the frustum; returns out.
    Matrix4& ProjectionMatrix(Matrix4& out) const;
    // The eight frustum corners in world coordinates: near plane 0..3, far plane 4..7.
    void FrustumCorners(Vec3 corners[8]) const;
    // Draws the frustum as line loops and lines with the current OpenGL state.
    void DrawFrustum() const;
    // Writes the twelve frame values as one line; with a null file prints an error instead.
    void Write(std::FILE* file) const;
    // Reads twelve frame values, keeping those a short read matched; false only at end of file
    // or without a file.
    bool Read(std::FILE* file);
};
