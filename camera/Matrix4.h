#pragma once

#include "camera/Quaternion.h"
#include "camera/Vec3.h"

// Degrees to radians as a 32-bit float, deliberately not pi/180: every angle in the system is
// converted with it, so rotations and fields of view come out very slightly small.
constexpr float kDegreesToRadians = 0.0174532f;

// A 4x4 matrix of 32-bit floats in column-major order, exactly as glLoadMatrixf takes it:
// element (row r, column c) is m[4c + r]; the translation is m[12], m[13], m[14].
struct Matrix4 {
    float m[16];

    // Element i in column-major order, as glLoadMatrixf reads it.
    float& operator[](int i) { return m[i]; }
    // Element i in column-major order, read-only.
    const float& operator[](int i) const { return m[i]; }
};

// Copies the sixteen floats of source into destination; returns destination.
Matrix4& MatrixCopy(Matrix4& destination, const Matrix4& source);
// out = a * b (a on the left), formed in a temporary so out may alias a or b; returns out.
Matrix4& MatrixMultiply(Matrix4& out, const Matrix4& a, const Matrix4& b);
// out = upper-left 3x3 of m times v (translation ignored); returns out.
Vec3& RotateVector(Vec3& out, const Matrix4& m, const Vec3& v);
// Transposes all sixteen entries in place; returns m.
Matrix4& MatrixTranspose(Matrix4& m);
// Right-handed rotation by angleDegrees about axis; returns out.
Matrix4& AxisAngleMatrix(Matrix4& out, float angleDegrees, const Vec3& axis);
// Identity with (x, y, z) as translation; returns out.
Matrix4& TranslationMatrix(Matrix4& out, float x, float y, float z);
// Perspective projection, the same matrix as glFrustum; returns out.
Matrix4& FrustumMatrix(Matrix4& out, float left, float right, float bottom, float top, float zNear,
                       float zFar);
// World-to-camera matrix of the frame (x, y, z axes and origin); returns out.
Matrix4& ViewMatrixFromAxes(Matrix4& out, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis,
                            const Vec3& origin);
// Camera-to-world matrix of the frame: the axes as columns, origin as translation; returns out.
Matrix4& MatrixFromAxes(Matrix4& out, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis,
                        const Vec3& origin);
// Rotation matrix of q laid out as the transpose of the usual one (the inverse rotation);
// returns out.
Matrix4& QuaternionMatrix(Matrix4& out, const Quaternion& q);
