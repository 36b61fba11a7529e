#include <gtest/gtest.h>

#include <cmath>

#include "camera/Matrix4.h"
#include "camera/Quaternion.h"
#include "camera/Vec3.h"

namespace {

Vec3 MakeVec3(float x, float y, float z) {
    Vec3 v;
    v.Set(x, y, z);
    return v;
}

Matrix4 MakeSequence(float start) {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) {
        m[i] = start + static_cast<float>(i);
    }
    return m;
}

// Reference product written out by row and column, independent of the library's loop order.
float ProductEntry(const Matrix4& a, const Matrix4& b, int row, int column) {
    return a[row] * b[4 * column] + a[4 + row] * b[4 * column + 1] +
           a[8 + row] * b[4 * column + 2] + a[12 + row] * b[4 * column + 3];
}

void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(expected[i], actual[i], tolerance) << "index " << i;
    }
}

void ExpectIdentity(const Matrix4& m, float tolerance) {
    Matrix4 identity;
    TranslationMatrix(identity, 0.0f, 0.0f, 0.0f);
    ExpectMatrixNear(identity, m, tolerance);
}

TEST(Vec3Test, CrossMayWriteIntoEitherOperand) {
    const Vec3 a = MakeVec3(1.0f, 2.0f, 3.0f);
    const Vec3 b = MakeVec3(-4.0f, 0.5f, 2.0f);
    Vec3 expected;
    Vec3Cross(a, b, expected);
    EXPECT_FLOAT_EQ(2.0f * 2.0f - 3.0f * 0.5f, expected.x);
    EXPECT_FLOAT_EQ(3.0f * -4.0f - 1.0f * 2.0f, expected.y);
    EXPECT_FLOAT_EQ(1.0f * 0.5f - 2.0f * -4.0f, expected.z);

    Vec3 intoA = a;
    Vec3Cross(intoA, b, intoA);
    Vec3 intoB = b;
    Vec3Cross(a, intoB, intoB);
    for (const Vec3* v : {&intoA, &intoB}) {
        EXPECT_EQ(expected.x, v->x);
        EXPECT_EQ(expected.y, v->y);
        EXPECT_EQ(expected.z, v->z);
    }
}

TEST(Vec3Test, NormalizeGivesUnitLengthAndLeavesZeroAlone) {
    Vec3 v = MakeVec3(3.0f, 0.0f, -4.0f);
    Vec3Normalize(v);
    EXPECT_NEAR(0.6f, v.x, 1e-7f);
    EXPECT_NEAR(-0.8f, v.z, 1e-7f);
    EXPECT_NEAR(1.0f, Vec3Length(v), 1e-6f);

    Vec3 zero = MakeVec3(0.0f, 0.0f, 0.0f);
    Vec3Normalize(zero);
    EXPECT_EQ(0.0f, zero.x);
    EXPECT_EQ(0.0f, zero.y);
    EXPECT_EQ(0.0f, zero.z);
}

TEST(Matrix4Test, MultiplyMayWriteIntoEitherOperand) {
    const Matrix4 a = MakeSequence(1.0f);
    const Matrix4 b = MakeSequence(-7.5f);
    Matrix4 expected;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            expected[4 * column + row] = ProductEntry(a, b, row, column);
        }
    }

    Matrix4 intoA = a;
    MatrixMultiply(intoA, intoA, b);
    ExpectMatrixNear(expected, intoA, 1e-3f);
    Matrix4 intoB = b;
    MatrixMultiply(intoB, a, intoB);
    ExpectMatrixNear(expected, intoB, 1e-3f);
}

TEST(Matrix4Test, MultiplyPutsTheLeftOperandFirst) {
    // Rotate then translate differs from translate then rotate: A.B applies B first.
    Matrix4 rotation;
    Vec3 z = MakeVec3(0.0f, 0.0f, 1.0f);
    AxisAngleMatrix(rotation, 90.0f, z);
    Matrix4 translation;
    TranslationMatrix(translation, 1.0f, 0.0f, 0.0f);
    Matrix4 product;
    MatrixMultiply(product, rotation, translation);
    // the translation (1, 0, 0) is rotated onto (0, 1, 0)
    EXPECT_NEAR(0.0f, product[12], 1e-5f);
    EXPECT_NEAR(1.0f, product[13], 1e-6f);
    EXPECT_EQ(0.0f, product[14]);
}

TEST(Matrix4Test, MultiplyByIdentityReturnsTheOtherOperand) {
    Matrix4 identity;
    TranslationMatrix(identity, 0.0f, 0.0f, 0.0f);
    const Matrix4 a = MakeSequence(0.25f);
    Matrix4 left;
    MatrixMultiply(left, identity, a);
    Matrix4 right;
    MatrixMultiply(right, a, identity);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(a[i], left[i]) << "index " << i;
        EXPECT_EQ(a[i], right[i]) << "index " << i;
    }
}

TEST(Matrix4Test, TransposeSwapsRowsAndColumns) {
    const Matrix4 original = MakeSequence(0.0f);
    Matrix4 m = original;
    MatrixTranspose(m);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(original[4 * row + column], m[4 * column + row]);
        }
    }
}

TEST(AxisAngleMatrixTest, ExactZAxisBranchKeepsTheInexactCosine) {
    Vec3 axis = MakeVec3(0.0f, 0.0f, 1.0f);
    Matrix4 m = MakeSequence(5.0f);
    AxisAngleMatrix(m, 90.0f, axis);
    Vec3 out;
    RotateVector(out, m, MakeVec3(1.0f, 0.0f, 0.0f));
    // 90 * 0.0174532 falls short of pi/2, so x is a few millionths, not 0
    EXPECT_GT(out.x, 5e-6f);
    EXPECT_LT(out.x, 1.2e-5f);
    EXPECT_NEAR(1.0f, out.y, 1e-6f);
    EXPECT_EQ(0.0f, out.z);
    EXPECT_EQ(1.0f, m[10]);
    EXPECT_EQ(1.0f, m[15]);
    for (int i : {2, 3, 6, 7, 8, 9, 11, 12, 13, 14}) {
        EXPECT_EQ(0.0f, m[i]) << "index " << i;
    }
    EXPECT_EQ(1.0f, axis.z);
}

TEST(AxisAngleMatrixTest, LongAxisIsNormalisedToTheSameRotation) {
    Matrix4 direct;
    AxisAngleMatrix(direct, 37.0f, MakeVec3(0.0f, 0.0f, 1.0f));
    Matrix4 twice;
    AxisAngleMatrix(twice, 37.0f, MakeVec3(0.0f, 0.0f, 2.0f));
    Matrix4 half;
    AxisAngleMatrix(half, 37.0f, MakeVec3(0.0f, 0.0f, 0.5f));
    ExpectMatrixNear(direct, twice, 1e-7f);
    ExpectMatrixNear(direct, half, 1e-7f);
}

TEST(AxisAngleMatrixTest, AxisWithinToleranceIsUsedUnnormalised) {
    const float z = 1.00004f;
    Matrix4 m;
    AxisAngleMatrix(m, 30.0f, MakeVec3(0.0f, 0.0f, z));
    float theta = 30.0f * kDegreesToRadians;
    float c = std::cos(theta);
    float s = std::sin(theta);
    EXPECT_NEAR(z * z + c * (1.0f - z * z), m[10], 1e-7f);
    EXPECT_GT(m[10], 1.000005f);
    EXPECT_NEAR(-s * z, m[4], 1e-7f);
    EXPECT_NEAR(s * z, m[1], 1e-7f);
    EXPECT_LT(m[4], -s - 1e-5f);
}

TEST(AxisAngleMatrixTest, ZeroAxisGivesScaledIdentity) {
    Matrix4 m;
    AxisAngleMatrix(m, 60.0f, MakeVec3(0.0f, 0.0f, 0.0f));
    float c = std::cos(60.0f * kDegreesToRadians);
    for (int i = 0; i < 16; ++i) {
        float expected = (i % 5 != 0) ? 0.0f : (i == 15 ? 1.0f : c);
        EXPECT_FLOAT_EQ(expected, m[i]) << "index " << i;
    }
}

TEST(AxisAngleMatrixTest, XAndYAxesGiveExactPlainRotations) {
    Matrix4 aboutX;
    AxisAngleMatrix(aboutX, 90.0f, MakeVec3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(1.0f, aboutX[0]);
    EXPECT_EQ(0.0f, aboutX[1]);
    EXPECT_EQ(0.0f, aboutX[2]);
    EXPECT_EQ(0.0f, aboutX[4]);
    EXPECT_EQ(0.0f, aboutX[8]);
    // right-handed: y turns toward z
    Vec3 turned;
    RotateVector(turned, aboutX, MakeVec3(0.0f, 1.0f, 0.0f));
    EXPECT_NEAR(1.0f, turned.z, 1e-6f);
    EXPECT_NEAR(0.0f, turned.y, 1e-5f);

    Matrix4 aboutY;
    AxisAngleMatrix(aboutY, 90.0f, MakeVec3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(1.0f, aboutY[5]);
    EXPECT_EQ(0.0f, aboutY[1]);
    EXPECT_EQ(0.0f, aboutY[4]);
    EXPECT_EQ(0.0f, aboutY[6]);
    EXPECT_EQ(0.0f, aboutY[9]);
    // right-handed: z turns toward x
    RotateVector(turned, aboutY, MakeVec3(0.0f, 0.0f, 1.0f));
    EXPECT_NEAR(1.0f, turned.x, 1e-6f);
}

TEST(Matrix4Test, FrustumMatrixMatchesGlFrustum) {
    Matrix4 m = MakeSequence(3.0f);
    FrustumMatrix(m, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 10.0f);
    EXPECT_FLOAT_EQ(1.0f, m[0]);
    EXPECT_FLOAT_EQ(1.0f, m[5]);
    EXPECT_FLOAT_EQ(-11.0f / 9.0f, m[10]);
    EXPECT_FLOAT_EQ(-20.0f / 9.0f, m[14]);
    EXPECT_EQ(-1.0f, m[11]);
    EXPECT_EQ(0.0f, m[15]);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) {
        EXPECT_EQ(0.0f, m[i]) << "index " << i;
    }

    // an off-centre frustum shifts through indices 8 and 9
    FrustumMatrix(m, 0.0f, 2.0f, -1.0f, 3.0f, 2.0f, 6.0f);
    EXPECT_FLOAT_EQ(2.0f, m[0]);
    EXPECT_FLOAT_EQ(1.0f, m[8]);
    EXPECT_FLOAT_EQ(1.0f, m[5]);
    EXPECT_FLOAT_EQ(0.5f, m[9]);
}

TEST(Matrix4Test, ViewMatrixFromAxesInvertsMatrixFromAxes) {
    Vec3 x = MakeVec3(1.0f, 0.0f, 0.0f);
    Vec3 y = MakeVec3(0.0f, 1.0f, 0.0f);
    Vec3 z = MakeVec3(0.0f, 0.0f, 1.0f);
    Matrix4 view;
    ViewMatrixFromAxes(view, x, y, z, MakeVec3(0.0f, 0.0f, 5.0f));
    EXPECT_EQ(-5.0f, view[14]);
    EXPECT_EQ(0.0f, view[12]);
    EXPECT_EQ(0.0f, view[13]);

    // a tilted orthonormal frame away from the origin
    Matrix4 rotation;
    AxisAngleMatrix(rotation, 33.0f, MakeVec3(1.0f, 2.0f, -0.5f));
    RotateVector(x, rotation, MakeVec3(1.0f, 0.0f, 0.0f));
    RotateVector(y, rotation, MakeVec3(0.0f, 1.0f, 0.0f));
    RotateVector(z, rotation, MakeVec3(0.0f, 0.0f, 1.0f));
    const Vec3 origin = MakeVec3(3.0f, -1.0f, 2.0f);
    ViewMatrixFromAxes(view, x, y, z, origin);
    Matrix4 frame;
    MatrixFromAxes(frame, x, y, z, origin);
    EXPECT_EQ(3.0f, frame[12]);
    EXPECT_EQ(x.y, frame[1]);
    EXPECT_EQ(z.x, frame[8]);
    Matrix4 product;
    MatrixMultiply(product, view, frame);
    ExpectIdentity(product, 1e-5f);
    MatrixMultiply(product, frame, view);
    ExpectIdentity(product, 1e-5f);
}

TEST(QuaternionTest, AxisAngleToQuaternionNormalisesTheCallersAxis) {
    Vec3 axis = MakeVec3(0.0f, 3.0f, 4.0f);
    Quaternion q;
    AxisAngleToQuaternion(axis, 1.0f, q);
    EXPECT_NEAR(0.6f, axis.y, 1e-7f);
    EXPECT_NEAR(0.8f, axis.z, 1e-7f);
    EXPECT_NEAR(0.6f * std::sin(0.5), q.y, 1e-7f);
    EXPECT_NEAR(0.8f * std::sin(0.5), q.z, 1e-7f);
    EXPECT_NEAR(std::cos(0.5), q.w, 1e-7f);
    EXPECT_EQ(0.0f, q.x);
}

TEST(QuaternionTest, QuaternionMatrixIsTheTransposedRotation) {
    const float degrees = 50.0f;
    for (Vec3 axis :
         {MakeVec3(0.0f, 0.0f, 1.0f), MakeVec3(1.0f, 2.0f, 3.0f), MakeVec3(-0.3f, 0.1f, 0.9f)}) {
        Matrix4 rotation;
        AxisAngleMatrix(rotation, degrees, axis);
        Quaternion q;
        AxisAngleToQuaternion(axis, degrees * kDegreesToRadians, q);
        Matrix4 fromQuaternion;
        QuaternionMatrix(fromQuaternion, q);
        EXPECT_EQ(1.0f, fromQuaternion[15]);
        MatrixTranspose(fromQuaternion);
        ExpectMatrixNear(rotation, fromQuaternion, 1e-6f);
    }
}

}  // namespace
