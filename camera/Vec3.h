#pragma once

// A position, direction or normal: three 32-bit floats.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // Stores the three components; returns this vector.
    Vec3& Set(float newX, float newY, float newZ);
    // Copies the three components of another vector; returns this vector.
    Vec3& Copy(const Vec3& other);
};

// Sets v to (0, 0, 0).
void Vec3Zero(Vec3& v);
// out = a - b; returns out.
Vec3& Vec3Subtract(const Vec3& a, const Vec3& b, Vec3& out);
// out = a x b, formed in a temporary so out may alias a or b; returns out.
Vec3& Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out);
// Euclidean length of v.
float Vec3Length(const Vec3& v);
// Multiplies v in place by s; returns v.
Vec3& Vec3Scale(Vec3& v, float s);
// Scales v in place to unit length; a zero vector is left unchanged. Returns v.
Vec3& Vec3Normalize(Vec3& v);
// Dot product of a and b.
float Vec3Dot(const Vec3& a, const Vec3& b);
