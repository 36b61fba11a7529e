#include "camera/Matrix4.h"

#include <cmath>
#include <utility>

namespace {
// Squared axis lengths inside these bounds count as unit length and skip the square root.
constexpr float kUnitLengthLow = 0.9999f;
constexpr float kUnitLengthHigh = 1.0001f;

void MatrixSetIdentity(Matrix4& out) {
    for (int i = 0; i < 16; ++i) {
        out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    }
}
}  // namespace

Matrix4& MatrixCopy(Matrix4& destination, const Matrix4& source) {
    for (int i = 0; i < 16; ++i) {
        destination[i] = source[i];
    }
    return destination;
}

Matrix4& MatrixMultiply(Matrix4& out, const Matrix4& a, const Matrix4& b) {
    // The temporary lets out be a or b.
    Matrix4 product;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[4 * k + row] * b[4 * column + k];
            }
            product[4 * column + row] = sum;
        }
    }
    return MatrixCopy(out, product);
}

Vec3& RotateVector(Vec3& out, const Matrix4& m, const Vec3& v) {
    // Read v fully before writing, so out may be v.
    float x = m[0] * v.x + m[4] * v.y + m[8] * v.z;
    float y = m[1] * v.x + m[5] * v.y + m[9] * v.z;
    float z = m[2] * v.x + m[6] * v.y + m[10] * v.z;
    return out.Set(x, y, z);
}

Matrix4& MatrixTranspose(Matrix4& m) {
    std::swap(m[1], m[4]);
    std::swap(m[2], m[8]);
    std::swap(m[3], m[12]);
    std::swap(m[6], m[9]);
    std::swap(m[7], m[13]);
    std::swap(m[11], m[14]);
    return m;
}

Matrix4& AxisAngleMatrix(Matrix4& out, float angleDegrees, const Vec3& axis) {
    float theta = angleDegrees * kDegreesToRadians;
    float c = std::cos(theta);
    float s = std::sin(theta);

    // the common rotation about Z, written directly and without normalising
    if (axis.x == 0.0f && axis.y == 0.0f && axis.z == 1.0f) {
        for (int i = 0; i < 16; ++i) {
            out[i] = 0.0f;
        }
        out[0] = c;
        out[1] = s;
        out[4] = -s;
        out[5] = c;
        out[10] = 1.0f;
        out[15] = 1.0f;
        return out;
    }

    // normalise only axes clearly off unit length; a zero axis stays zero
    float x = axis.x;
    float y = axis.y;
    float z = axis.z;
    float lengthSquared = x * x + y * y + z * z;
    if (lengthSquared > kUnitLengthHigh ||
        (lengthSquared < kUnitLengthLow && lengthSquared != 0.0f)) {
        float length = std::sqrt(lengthSquared);
        x /= length;
        y /= length;
        z /= length;
    }

    float oneMinusC = 1.0f - c;
    out[0] = x * x + c * (1.0f - x * x);
    out[1] = x * y * oneMinusC + s * z;
    out[2] = x * z * oneMinusC - s * y;
    out[3] = 0.0f;
    out[4] = x * y * oneMinusC - s * z;
    out[5] = y * y + c * (1.0f - y * y);
    out[6] = y * z * oneMinusC + s * x;
    out[7] = 0.0f;
    out[8] = x * z * oneMinusC + s * y;
    out[9] = y * z * oneMinusC - s * x;
    out[10] = z * z + c * (1.0f - z * z);
    out[11] = 0.0f;
    out[12] = 0.0f;
    out[13] = 0.0f;
    out[14] = 0.0f;
    out[15] = 1.0f;
    return out;
}

Matrix4& TranslationMatrix(Matrix4& out, float x, float y, float z) {
    MatrixSetIdentity(out);
    out[12] = x;
    out[13] = y;
    out[14] = z;
    return out;
}

Matrix4& FrustumMatrix(Matrix4& out, float left, float right, float bottom, float top, float zNear,
                       float zFar) {
    for (int i = 0; i < 16; ++i) {
        out[i] = 0.0f;
    }
    out[0] = 2.0f * zNear / (right - left);
    out[8] = (right + left) / (right - left);
    out[5] = 2.0f * zNear / (top - bottom);
    out[9] = (top + bottom) / (top - bottom);
    out[10] = -(zFar + zNear) / (zFar - zNear);
    out[14] = -2.0f * zFar * zNear / (zFar - zNear);
    out[11] = -1.0f;
    return out;
}

Matrix4& ViewMatrixFromAxes(Matrix4& out, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis,
                            const Vec3& origin) {
    // the axes as rows, and the origin carried into camera coordinates
    out[0] = xAxis.x;
    out[4] = xAxis.y;
    out[8] = xAxis.z;
    out[12] = -Vec3Dot(xAxis, origin);
    out[1] = yAxis.x;
    out[5] = yAxis.y;
    out[9] = yAxis.z;
    out[13] = -Vec3Dot(yAxis, origin);
    out[2] = zAxis.x;
    out[6] = zAxis.y;
    out[10] = zAxis.z;
    out[14] = -Vec3Dot(zAxis, origin);
    out[3] = 0.0f;
    out[7] = 0.0f;
    out[11] = 0.0f;
    out[15] = 1.0f;
    return out;
}

Matrix4& MatrixFromAxes(Matrix4& out, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis,
                        const Vec3& origin) {
    out[0] = xAxis.x;
    out[1] = xAxis.y;
    out[2] = xAxis.z;
    out[3] = 0.0f;
    out[4] = yAxis.x;
    out[5] = yAxis.y;
    out[6] = yAxis.z;
    out[7] = 0.0f;
    out[8] = zAxis.x;
    out[9] = zAxis.y;
    out[10] = zAxis.z;
    out[11] = 0.0f;
    out[12] = origin.x;
    out[13] = origin.y;
    out[14] = origin.z;
    out[15] = 1.0f;
    return out;
}

Matrix4& QuaternionMatrix(Matrix4& out, const Quaternion& q) {
    float x = q.x;
    float y = q.y;
    float z = q.z;
    float w = q.w;
    out[0] = 1.0f - 2.0f * (y * y + z * z);
    out[1] = 2.0f * (x * y - w * z);
    out[2] = 2.0f * (x * z + w * y);
    out[3] = 0.0f;
    out[4] = 2.0f * (x * y + w * z);
    out[5] = 1.0f - 2.0f * (x * x + z * z);
    out[6] = 2.0f * (y * z - w * x);
    out[7] = 0.0f;
    out[8] = 2.0f * (x * z - w * y);
    out[9] = 2.0f * (y * z + w * x);
    out[10] = 1.0f - 2.0f * (x * x + y * y);
    out[11] = 0.0f;
    out[12] = 0.0f;
    out[13] = 0.0f;
    out[14] = 0.0f;
    out[15] = 1.0f;
    return out;
}
