#pragma once

#include <gtest/gtest.h>

#include <string>

#include "camera/Vec3.h"

// The vector (x, y, z).
inline Vec3 MakeVec3(float x, float y, float z) {
    Vec3 v;
    v.Set(x, y, z);
    return v;
}

// Expects each component of actual within tolerance of expected; what names the vector in a
// failure.
inline void ExpectVec3Near(const Vec3& actual, const Vec3& expected, float tolerance,
                           const std::string& what = "") {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}
