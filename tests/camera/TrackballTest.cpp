#include <gtest/gtest.h>

#include <cmath>

#include "camera/Trackball.h"

namespace {

float QuaternionNorm(const Quaternion& q) {
    return std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
}

TEST(ProjectToSheetTest, CentreIsTheTopOfTheSphere) {
    EXPECT_NEAR(0.8f, ProjectToSheet(kTrackballRadius, 0.0f, 0.0f), 1e-7f);
    EXPECT_NEAR(std::sqrt(0.64f - 0.09f), ProjectToSheet(kTrackballRadius, 0.0f, -0.3f), 1e-6f);
    EXPECT_NEAR(std::sqrt(0.64f - 0.25f), ProjectToSheet(kTrackballRadius, 0.3f, 0.4f), 1e-6f);
}

TEST(ProjectToSheetTest, SheetMeetsTheSphereWithoutAStep) {
    const double boundary = 0.8 * 0.7071067811865476;
    const float expected = static_cast<float>(0.4 * std::sqrt(2.0));
    const float atBoundary = ProjectToSheet(kTrackballRadius, static_cast<float>(boundary), 0.0f);
    const float inside =
        ProjectToSheet(kTrackballRadius, static_cast<float>(boundary * (1.0 - 1e-5)), 0.0f);
    const float outside =
        ProjectToSheet(kTrackballRadius, 0.0f, static_cast<float>(boundary * (1.0 + 1e-5)));
    EXPECT_NEAR(expected, atBoundary, 1e-5f);
    EXPECT_NEAR(expected, inside, 2e-5f);
    EXPECT_NEAR(expected, outside, 2e-5f);
    // the sphere still rises toward the centre and the sheet falls away from it
    EXPECT_GT(inside, outside);
}

TEST(ProjectToSheetTest, SheetFallsOffAsOneOverDistance) {
    EXPECT_NEAR(0.2f, ProjectToSheet(kTrackballRadius, 1.6f, 0.0f), 1e-6f);
    EXPECT_NEAR(0.2f, ProjectToSheet(kTrackballRadius, 0.0f, -1.6f), 1e-6f);
    EXPECT_NEAR(0.32f, ProjectToSheet(kTrackballRadius, 0.6f, 0.8f), 1e-6f);
}

TEST(TrackballTest, EqualPointsGiveExactIdentity) {
    for (float position : {0.0f, 0.3f, -0.95f}) {
        Quaternion q{0.5f, 0.5f, 0.5f, 0.5f};
        Trackball(q, position, -position, position, -position);
        EXPECT_EQ(0.0f, q.x);
        EXPECT_EQ(0.0f, q.y);
        EXPECT_EQ(0.0f, q.z);
        EXPECT_EQ(1.0f, q.w);
    }
}

TEST(TrackballTest, DragRightTurnsAboutNegativeY) {
    Quaternion q;
    Trackball(q, 0.0f, 0.0f, 0.1f, 0.0f);
    EXPECT_EQ(0.0f, q.x);
    EXPECT_EQ(0.0f, q.z);
    EXPECT_LT(q.y, 0.0f);
    // sin(phi/2) is the clamped chord over twice the radius
    const float z2 = std::sqrt(0.64f - 0.01f);
    const float chord = std::sqrt(0.01f + (0.8f - z2) * (0.8f - z2));
    EXPECT_NEAR(-chord / 1.6f, q.y, 1e-6f);
    EXPECT_NEAR(1.0f, QuaternionNorm(q), 1e-6f);
}

TEST(TrackballTest, ReversedDragGivesTheInverseRotation) {
    Quaternion forward;
    Trackball(forward, -0.2f, 0.1f, 0.4f, -0.3f);
    Quaternion backward;
    Trackball(backward, 0.4f, -0.3f, -0.2f, 0.1f);
    EXPECT_NEAR(-forward.x, backward.x, 1e-6f);
    EXPECT_NEAR(-forward.y, backward.y, 1e-6f);
    EXPECT_NEAR(-forward.z, backward.z, 1e-6f);
    EXPECT_NEAR(forward.w, backward.w, 1e-6f);
    EXPECT_NEAR(1.0f, QuaternionNorm(forward), 1e-6f);
}

TEST(TrackballTest, FarApartPointsClampToHalfTurn) {
    Quaternion q;
    Trackball(q, -1.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(0.0f, q.w, 1e-6f);
    EXPECT_NEAR(-1.0f, q.y, 1e-6f);
    EXPECT_EQ(0.0f, q.x);
    EXPECT_EQ(0.0f, q.z);

    // corner to corner is even further; still no more than half a turn, and no NaN
    Trackball(q, -1.0f, -1.0f, 1.0f, 1.0f);
    EXPECT_NEAR(0.0f, q.w, 1e-6f);
    EXPECT_NEAR(1.0f, QuaternionNorm(q), 1e-6f);
}

}  // namespace
