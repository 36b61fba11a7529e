#include "camera/Vec3.h"

#include <cmath>

Vec3& Vec3::Set(float newX, float newY, float newZ) {
    x = newX;
    y = newY;
    z = newZ;
    return *this;
}

Vec3& Vec3::Copy(const Vec3& other) {
    x = other.x;
    y = other.y;
    z = other.z;
    return *this;
}

void Vec3Zero(Vec3& v) {
    v.Set(0.0f, 0.0f, 0.0f);
}

Vec3& Vec3Subtract(const Vec3& a, const Vec3& b, Vec3& out) {
    return out.Set(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vec3& Vec3Cross(const Vec3& a, const Vec3& b, Vec3& out) {
    // The temporary lets out be a or b.
    Vec3 product;
    product.Set(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    return out.Copy(product);
}

float Vec3Length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Vec3& Vec3Scale(Vec3& v, float s) {
    return v.Set(v.x * s, v.y * s, v.z * s);
}

Vec3& Vec3Normalize(Vec3& v) {
    // A zero vector has no direction; leaving it zero beats filling it with NaNs.
    float length = Vec3Length(v);
    if (length == 0.0f) {
        return v;
    }
    return Vec3Scale(v, 1.0f / length);
}

float Vec3Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
