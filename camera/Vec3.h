#pragma once

#include <cmath>

// A position, direction or normal: three 32-bit floats. The operations are inline, since the
// mesh's per-element passes call them millions of times.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // Stores the three components; returns this vector.
    Vec3& Set(float newX, float newY, float newZ) {
        x = newX;
        y = newY;
        z = newZ;
        return *this;
    }
    // Copies the three components of another vector; returns this vector.
    Vec3& Copy(const Vec3& other) { return Set(other.x, other.y, other.z); }
};

// Sets v to (0, 0, 0).
inline void Vec3Zero(Vec3& v) {
    v.Set(0.0f, 0.0f, 0.0f);
}

// out = a + b; returns out.
inline Vec3& Vec3Add(const Vec3& a, const Vec3& b, Vec3& out) {
    return out.Set(a.x + b.x, a.y + b.y, a.z + b.z);
}

// out = a - b; returns out.
inline Vec3& Vec3Subtract(const Vec3& a, const Vec3& b, Vec3& out) {
    return out.Set(a.x - b.x, a.y - b.y, a.z - b.z);
}

// out = a x b, formed in a temporary so out may alias a or b; returns out.
inline Vec3& Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out) {
    Vec3 product;
    product.Set(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    return out.Copy(product);
}

// Dot product of a and b.
inline float Vec3Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Euclidean length of v.
inline float Vec3Length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Multiplies v in place by s; returns v.
inline Vec3& Vec3Scale(Vec3& v, float s) {
    return v.Set(v.x * s, v.y * s, v.z * s);
}

// Divides each component of v in place by s; returns v.
inline Vec3& Vec3Divide(Vec3& v, float s) {
    return v.Set(v.x / s, v.y / s, v.z / s);
}

// Scales v in place to unit length by the reciprocal of its length; a zero vector is left
// unchanged. Returns v.
inline Vec3& Vec3Normalize(Vec3& v) {
    // A zero vector has no direction; leaving it zero beats filling it with NaNs.
    float length = Vec3Length(v);
    if (length == 0.0f) {
        return v;
    }
    return Vec3Scale(v, 1.0f / length);
}

// Divides v in place by its length when that length is positive, which keeps a zero vector
// zero; returns the length.
inline float Vec3DivideByLength(Vec3& v) {
    float length = Vec3Length(v);
    if (length > 0.0f) {
        Vec3Divide(v, length);
    }
    return length;
}
