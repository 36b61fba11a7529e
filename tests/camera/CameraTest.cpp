#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "camera/Camera.h"
#include "tests/support/Vec3Expect.h"

namespace {

void ExpectVec3Eq(const Vec3& expected, const Vec3& actual) {
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.z, actual.z);
}

void ExpectSameFrustum(const Camera& expected, const Camera& actual) {
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.zNear, actual.zNear);
    EXPECT_EQ(expected.zFar, actual.zFar);
}

void ExpectSameFrame(const Camera& expected, const Camera& actual) {
    ExpectVec3Eq(expected.xAxis, actual.xAxis);
    ExpectVec3Eq(expected.yAxis, actual.yAxis);
    ExpectVec3Eq(expected.zAxis, actual.zAxis);
    ExpectVec3Eq(expected.origin, actual.origin);
}

void ExpectOrthonormal(const Camera& camera) {
    EXPECT_NEAR(1.0f, Vec3Length(camera.xAxis), 1e-6f);
    EXPECT_NEAR(1.0f, Vec3Length(camera.yAxis), 1e-6f);
    EXPECT_NEAR(1.0f, Vec3Length(camera.zAxis), 1e-6f);
    EXPECT_NEAR(0.0f, Vec3Dot(camera.xAxis, camera.yAxis), 1e-6f);
    EXPECT_NEAR(0.0f, Vec3Dot(camera.yAxis, camera.zAxis), 1e-6f);
    EXPECT_NEAR(0.0f, Vec3Dot(camera.zAxis, camera.xAxis), 1e-6f);
}

// A camera with every one of its eighteen values distinct from the defaults.
Camera MakeUnusualCamera() {
    Camera camera;
    camera.LookAt(MakeVec3(2.0f, 3.0f, 4.0f), MakeVec3(-1.0f, 0.5f, 0.0f),
                  MakeVec3(0.1f, 1.0f, 0.2f));
    camera.SetPerspective(35.0f, 1.5f, 0.5f, 50.0f);
    return camera;
}

// A temporary stream holding text, rewound for reading.
std::FILE* StreamWithText(const char* text) {
    std::FILE* file = std::tmpfile();
    if (file != nullptr) {
        std::fputs(text, file);
        std::rewind(file);
    }
    return file;
}

std::string StreamText(std::FILE* file) {
    std::rewind(file);
    std::string text;
    int c = 0;
    while ((c = std::fgetc(file)) != EOF) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

TEST(CameraTest, DefaultCameraHasIdentityViewAndUnitFrustum) {
    Camera camera;
    ExpectVec3Eq(MakeVec3(1.0f, 0.0f, 0.0f), camera.xAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 1.0f, 0.0f), camera.yAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 1.0f), camera.zAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.origin);
    EXPECT_EQ(1.4142f, camera.zNear);
    EXPECT_LT(camera.zNear, std::sqrt(2.0f));

    Matrix4 view;
    camera.ViewingMatrix(view);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(i % 5 == 0 ? 1.0f : 0.0f, view[i]) << "index " << i;
    }
    Matrix4 projection;
    camera.ProjectionMatrix(projection);
    EXPECT_FLOAT_EQ(1.4142f, projection[0]);
    EXPECT_FLOAT_EQ(1.4142f, projection[5]);
    EXPECT_EQ(-1.0f, projection[11]);
    EXPECT_EQ(0.0f, projection[15]);
}

TEST(CameraTest, LookAtAlongZGivesIdentityAxes) {
    Camera camera;
    camera.SetPerspective(60.0f, 2.0f, 0.1f, 20.0f);
    const Camera before = camera;
    camera.LookAt(MakeVec3(0.0f, 0.0f, 5.0f), MakeVec3(0.0f, 0.0f, 0.0f),
                  MakeVec3(0.0f, 1.0f, 0.0f));
    ExpectVec3Eq(MakeVec3(1.0f, 0.0f, 0.0f), camera.xAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 1.0f, 0.0f), camera.yAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 1.0f), camera.zAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 5.0f), camera.origin);
    ExpectSameFrustum(before, camera);

    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    camera.GetLookAt(eye, centre, up);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 5.0f), eye);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 4.0f), centre);
    ExpectVec3Eq(MakeVec3(0.0f, 1.0f, 0.0f), up);
}

TEST(CameraTest, LookAtKeepsOnlyThePerpendicularPartOfUp) {
    Camera camera;
    const Vec3 eye = MakeVec3(3.0f, 2.0f, -1.0f);
    const Vec3 centre = MakeVec3(0.0f, 0.0f, 1.0f);
    camera.LookAt(eye, centre, MakeVec3(0.3f, 1.0f, 0.0f));
    ExpectOrthonormal(camera);
    // the camera looks from the eye toward the centre
    Vec3 toEye;
    Vec3Subtract(eye, centre, toEye);
    Vec3Normalize(toEye);
    ExpectVec3Near(camera.zAxis, toEye, 1e-6f);
    EXPECT_GT(camera.yAxis.y, 0.0f);
    // right-handed frame: x cross y is z
    Vec3 cross;
    Vec3Cross(camera.xAxis, camera.yAxis, cross);
    ExpectVec3Near(cross, camera.zAxis, 1e-6f);
}

TEST(CameraTest, LookAtWithDegenerateInputLeavesZeroAxesNotNaN) {
    Camera camera;
    const Vec3 point = MakeVec3(1.0f, 2.0f, 3.0f);
    camera.LookAt(point, point, MakeVec3(0.0f, 1.0f, 0.0f));
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.xAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.yAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.zAxis);
    ExpectVec3Eq(point, camera.origin);

    // up along the view direction
    camera.LookAt(MakeVec3(0.0f, 4.0f, 0.0f), MakeVec3(0.0f, 0.0f, 0.0f),
                  MakeVec3(0.0f, 2.0f, 0.0f));
    ExpectVec3Eq(MakeVec3(0.0f, 1.0f, 0.0f), camera.zAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.xAxis);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 0.0f), camera.yAxis);
}

TEST(CameraTest, SetPerspectiveUsesTheSinglePrecisionDegreeFactor) {
    Camera camera = MakeUnusualCamera();
    const Camera before = camera;
    camera.SetPerspective(90.0f, 2.0f, 1.0f, 100.0f);
    ExpectSameFrame(before, camera);
    EXPECT_NEAR(std::tan(0.785394), camera.top, 1e-6f);
    EXPECT_LT(camera.top, 1.0f);
    EXPECT_GT(camera.top, 0.99999f);
    EXPECT_EQ(-camera.top, camera.bottom);
    EXPECT_EQ(2.0f * camera.top, camera.right);
    EXPECT_EQ(-camera.right, camera.left);
    EXPECT_EQ(1.0f, camera.zNear);
    EXPECT_EQ(100.0f, camera.zFar);

    // the frustum scales with the near distance
    camera.SetPerspective(90.0f, 1.0f, 3.0f, 10.0f);
    EXPECT_NEAR(3.0f * std::tan(0.785394), camera.top, 3e-6f);
}

TEST(CameraTest, GetPerspectiveReadsBackSlightlySmallerAngle) {
    Camera camera;
    camera.SetPerspective(45.0f, 1.25f, 0.5f, 80.0f);
    float fovy = 0.0f;
    float aspect = 0.0f;
    float zNear = 0.0f;
    float zFar = 0.0f;
    camera.GetPerspective(fovy, aspect, zNear, zFar);
    EXPECT_NEAR(44.99976f, fovy, 2e-5f);
    EXPECT_LT(fovy, 45.0f);
    EXPECT_FLOAT_EQ(1.25f, aspect);
    EXPECT_EQ(0.5f, zNear);
    EXPECT_EQ(80.0f, zFar);

    camera.SetPerspective(90.0f, 1.0f, 1.0f, 10.0f);
    camera.GetPerspective(fovy, aspect, zNear, zFar);
    EXPECT_NEAR(90.0f * 0.9999947f, fovy, 5e-5f);
}

TEST(CameraTest, TransformByTranslationMovesOnlyTheOrigin) {
    Camera camera;
    camera.origin.Set(1.0f, 2.0f, 3.0f);
    const Camera before = camera;
    Matrix4 m;
    TranslationMatrix(m, 0.0f, 0.0f, -1.0f);
    camera.Transform(m);
    ExpectVec3Eq(MakeVec3(1.0f, 2.0f, 2.0f), camera.origin);
    ExpectVec3Eq(before.xAxis, camera.xAxis);
    ExpectVec3Eq(before.yAxis, camera.yAxis);
    ExpectVec3Eq(before.zAxis, camera.zAxis);
    ExpectSameFrustum(before, camera);
}

TEST(CameraTest, TransformByUniformScaleGrowsTheFrustumInstead) {
    Camera camera = MakeUnusualCamera();
    const Camera before = camera;
    Matrix4 m;
    TranslationMatrix(m, 0.0f, 0.0f, 0.0f);
    m[0] = m[5] = m[10] = 2.0f;
    camera.Transform(m);
    ExpectVec3Near(camera.xAxis, before.xAxis, 1e-6f);
    ExpectVec3Near(camera.yAxis, before.yAxis, 1e-6f);
    ExpectVec3Near(camera.zAxis, before.zAxis, 1e-6f);
    ExpectVec3Near(camera.origin, MakeVec3(4.0f, 6.0f, 8.0f), 1e-6f);
    EXPECT_FLOAT_EQ(2.0f * before.left, camera.left);
    EXPECT_FLOAT_EQ(2.0f * before.right, camera.right);
    EXPECT_FLOAT_EQ(2.0f * before.bottom, camera.bottom);
    EXPECT_FLOAT_EQ(2.0f * before.top, camera.top);
    EXPECT_FLOAT_EQ(2.0f * before.zNear, camera.zNear);
    EXPECT_FLOAT_EQ(2.0f * before.zFar, camera.zFar);
}

TEST(CameraTest, TransformByRotationTurnsFrameAndOriginRigidly) {
    Camera camera = MakeUnusualCamera();
    const Camera before = camera;
    Matrix4 m;
    AxisAngleMatrix(m, 90.0f, MakeVec3(0.0f, 1.0f, 0.0f));
    camera.Transform(m);
    ExpectOrthonormal(camera);
    // about +y by a quarter turn, z goes to x and x to -z
    ExpectVec3Near(camera.origin, MakeVec3(before.origin.z, before.origin.y, -before.origin.x),
                   1e-4f);
    ExpectVec3Near(camera.zAxis, MakeVec3(before.zAxis.z, before.zAxis.y, -before.zAxis.x), 1e-5f);
    EXPECT_NEAR(before.zNear, camera.zNear, 1e-6f);
    EXPECT_NEAR(before.top, camera.top, 1e-6f);
}

TEST(CameraTest, ResetFrameKeepsTheFrustum) {
    Camera camera = MakeUnusualCamera();
    const Camera before = camera;
    camera.ResetFrame();
    ExpectSameFrame(Camera{}, camera);
    ExpectSameFrustum(before, camera);
}

TEST(CameraTest, FrustumCornersOfDefaultCamera) {
    Camera camera;
    Vec3 corners[8];
    camera.FrustumCorners(corners);
    const float n = 1.4142f;
    const float k = 10.0f / n;
    const Vec3 expected[8] = {MakeVec3(1, 1, -n),    MakeVec3(-1, 1, -n), MakeVec3(-1, -1, -n),
                              MakeVec3(1, -1, -n),   MakeVec3(k, k, -10), MakeVec3(-k, k, -10),
                              MakeVec3(-k, -k, -10), MakeVec3(k, -k, -10)};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        ExpectVec3Near(corners[i], expected[i], 1e-5f);
    }
    EXPECT_NEAR(7.0711f, corners[4].x, 1e-4f);
}

TEST(CameraTest, FrustumCornersFollowTheFrame) {
    Camera camera;
    camera.SetPerspective(90.0f, 2.0f, 1.0f, 4.0f);
    camera.LookAt(MakeVec3(0.0f, 0.0f, 5.0f), MakeVec3(0.0f, 0.0f, 0.0f),
                  MakeVec3(0.0f, 1.0f, 0.0f));
    Vec3 corners[8];
    camera.FrustumCorners(corners);
    ExpectVec3Near(corners[0], MakeVec3(camera.right, camera.top, 4.0f), 1e-5f);
    ExpectVec3Near(corners[6], MakeVec3(4.0f * camera.left, 4.0f * camera.bottom, 1.0f), 1e-5f);
}

TEST(CameraPathLineTest, DefaultCameraWritesTwelveSixDecimalNumbers) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(nullptr, file);
    Camera camera;
    camera.Write(file);
    EXPECT_EQ(
        "1.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 1.000000 "
        "0.000000 0.000000 0.000000\n",
        StreamText(file));
    std::fclose(file);
}

TEST(CameraPathLineTest, WriteToNullPrintsAnError) {
    testing::internal::CaptureStdout();
    Camera camera;
    camera.Write(nullptr);
    EXPECT_EQ("ERROR WRITING CAM TO FILE!\n", testing::internal::GetCapturedStdout());
}

TEST(CameraPathLineTest, ReadReturnsWhatWasWritten) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(nullptr, file);
    const Camera first = MakeUnusualCamera();
    Camera second;
    second.LookAt(MakeVec3(-7.0f, 0.0f, 1.0f), MakeVec3(0.0f, 0.0f, 0.0f),
                  MakeVec3(0.0f, 0.0f, 1.0f));
    first.Write(file);
    second.Write(file);
    std::rewind(file);

    Camera camera;
    camera.SetPerspective(20.0f, 1.0f, 2.0f, 3.0f);
    const Camera frustum = camera;
    const Camera* expectations[] = {&first, &second};
    for (const Camera* expected : expectations) {
        EXPECT_TRUE(camera.Read(file));
        ExpectVec3Near(camera.xAxis, expected->xAxis, 1e-6f);
        ExpectVec3Near(camera.yAxis, expected->yAxis, 1e-6f);
        ExpectVec3Near(camera.zAxis, expected->zAxis, 1e-6f);
        ExpectVec3Near(camera.origin, expected->origin, 1e-6f);
        ExpectSameFrustum(frustum, camera);
    }
    // after the last line only end of file is left
    const Camera last = camera;
    EXPECT_FALSE(camera.Read(file));
    ExpectSameFrame(last, camera);
    std::fclose(file);
}

TEST(CameraPathLineTest, ReadAcrossLineBreaksTakesTwelveNumbers) {
    std::FILE* file = StreamWithText("1 2 3\n4 5 6\n7 8 9 10\n11 12\n");
    ASSERT_NE(nullptr, file);
    Camera camera;
    EXPECT_TRUE(camera.Read(file));
    ExpectVec3Eq(MakeVec3(1, 2, 3), camera.xAxis);
    ExpectVec3Eq(MakeVec3(10, 11, 12), camera.origin);
    std::fclose(file);
}

TEST(CameraPathLineTest, ShortReadStoresWhatMatchedAndStillSucceeds) {
    std::FILE* file = StreamWithText("0.5 -2 3.25 4");
    ASSERT_NE(nullptr, file);
    Camera camera;
    EXPECT_TRUE(camera.Read(file));
    ExpectVec3Eq(MakeVec3(0.5f, -2.0f, 3.25f), camera.xAxis);
    EXPECT_EQ(4.0f, camera.yAxis.x);
    EXPECT_EQ(1.0f, camera.yAxis.y);
    ExpectVec3Eq(MakeVec3(0.0f, 0.0f, 1.0f), camera.zAxis);
    // nothing left: the next read meets end of file
    EXPECT_FALSE(camera.Read(file));
    std::fclose(file);
}

TEST(CameraPathLineTest, GarbageStopsTheReadWithoutEndOfFile) {
    std::FILE* file = StreamWithText("1 0 0 x 1 0 0 0 1 0 0 0\n");
    ASSERT_NE(nullptr, file);
    Camera camera = MakeUnusualCamera();
    const Camera before = camera;
    EXPECT_TRUE(camera.Read(file));
    ExpectVec3Eq(MakeVec3(1.0f, 0.0f, 0.0f), camera.xAxis);
    ExpectVec3Eq(before.yAxis, camera.yAxis);
    ExpectVec3Eq(before.origin, camera.origin);
    // the stream stays stuck at the bad token, matching nothing but not ending
    EXPECT_TRUE(camera.Read(file));
    EXPECT_TRUE(camera.Read(file));
    ExpectVec3Eq(before.yAxis, camera.yAxis);
    std::fclose(file);
}

TEST(CameraPathLineTest, EmptyInputIsEndOfFileAndChangesNothing) {
    for (const char* text : {"", "\n  \n"}) {
        std::FILE* file = StreamWithText(text);
        ASSERT_NE(nullptr, file);
        Camera camera = MakeUnusualCamera();
        const Camera before = camera;
        EXPECT_FALSE(camera.Read(file));
        ExpectSameFrame(before, camera);
        std::fclose(file);
    }
    Camera camera;
    EXPECT_FALSE(camera.Read(nullptr));
}

}  // namespace
