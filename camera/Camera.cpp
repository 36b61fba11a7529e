#include "camera/Camera.h"

#include <cmath>

Camera& Camera::Copy(const Camera& other) {
    *this = other;
    return *this;
}

void Camera::LookAt(const Vec3& eye, const Vec3& centre, const Vec3& up) {
    // Each axis is divided only when it has a length, so degenerate input leaves zero axes
    // rather than NaNs.
    Vec3DivideByLength(Vec3Subtract(eye, centre, zAxis));
    Vec3DivideByLength(Vec3Cross(up, zAxis, xAxis));
    Vec3DivideByLength(Vec3Cross(zAxis, xAxis, yAxis));
    origin.Copy(eye);
}

void Camera::SetPerspective(float fovy, float aspect, float nearDistance, float farDistance) {
    zNear = nearDistance;
    zFar = farDistance;
    float t = std::tan(fovy * kDegreesToRadians * 0.5f) * nearDistance;
    top = t;
    bottom = -t;
    right = t * aspect;
    left = -t * aspect;
}

void Camera::GetLookAt(Vec3& eye, Vec3& centre, Vec3& up) const {
    eye.Copy(origin);
    Vec3Subtract(origin, zAxis, centre);
    up.Copy(yAxis);
}

void Camera::GetPerspective(float& fovy, float& aspect, float& nearDistance,
                            float& farDistance) const {
    fovy = std::atan2(top / zNear, 1.0f) * kTwiceRadiansToDegrees;
    aspect = right / top;
    nearDistance = zNear;
    farDistance = zFar;
}

Vec3& Camera::CameraToWorld(Vec3& out, const Vec3& point) const {
    // Accumulate in a temporary so out may be point.
    Vec3 world;
    world.Set(origin.x + point.x * xAxis.x + point.y * yAxis.x + point.z * zAxis.x,
              origin.y + point.x * xAxis.y + point.y * yAxis.y + point.z * zAxis.y,
              origin.z + point.x * xAxis.z + point.y * yAxis.z + point.z * zAxis.z);
    return out.Copy(world);
}

void Camera::ResetFrame() {
    xAxis.Set(1.0f, 0.0f, 0.0f);
    yAxis.Set(0.0f, 1.0f, 0.0f);
    zAxis.Set(0.0f, 0.0f, 1.0f);
    Vec3Zero(origin);
}

void Camera::Transform(const Matrix4& m) {
    // move the frame
    RotateVector(xAxis, m, xAxis);
    RotateVector(yAxis, m, yAxis);
    RotateVector(zAxis, m, zAxis);
    RotateVector(origin, m, origin);
    origin.Set(origin.x + m[12], origin.y + m[13], origin.z + m[14]);

    // A scale in m keeps unit axes and shows up as a proportionally larger frustum instead.
    float s = Vec3Length(xAxis);
    Vec3Divide(xAxis, s);
    Vec3Divide(yAxis, s);
    Vec3Divide(zAxis, s);
    left *= s;
    right *= s;
    bottom *= s;
    top *= s;
    zNear *= s;
    zFar *= s;
}

Matrix4& Camera::ViewingMatrix(Matrix4& out) const {
    return ViewMatrixFromAxes(out, xAxis, yAxis, zAxis, origin);
}

Matrix4& Camera::ProjectionMatrix(Matrix4& out) const {
    return FrustumMatrix(out, left, right, bottom, top, zNear, zFar);
}

void Camera::FrustumCorners(Vec3 corners[8]) const {
    // The far corners scale the near ones by zFar / zNear, the similar triangle.
    float k = zFar / zNear;
    corners[0].Set(right, top, -zNear);
    corners[1].Set(left, top, -zNear);
    corners[2].Set(left, bottom, -zNear);
    corners[3].Set(right, bottom, -zNear);
    corners[4].Set(k * right, k * top, -zFar);
    corners[5].Set(k * left, k * top, -zFar);
    corners[6].Set(k * left, k * bottom, -zFar);
    corners[7].Set(k * right, k * bottom, -zFar);
    for (int i = 0; i < 8; ++i) {
        CameraToWorld(corners[i], corners[i]);
    }
}

void Camera::Write(std::FILE* file) const {
    if (file == nullptr) {
        std::printf("ERROR WRITING CAM TO FILE!\n");
        std::fflush(stdout);
        return;
    }
    std::fprintf(file, "%f %f %f %f %f %f %f %f %f %f %f %f\n", xAxis.x, xAxis.y, xAxis.z, yAxis.x,
                 yAxis.y, yAxis.z, zAxis.x, zAxis.y, zAxis.z, origin.x, origin.y, origin.z);
}

bool Camera::Read(std::FILE* file) {
    // No stream means nothing left to read, the same as end of file.
    if (file == nullptr) {
        return false;
    }
    // A partial match keeps what it matched; only end of file counts as failure.
    int matched = std::fscanf(file, "%f %f %f %f %f %f %f %f %f %f %f %f", &xAxis.x, &xAxis.y,
                              &xAxis.z, &yAxis.x, &yAxis.y, &yAxis.z, &zAxis.x, &zAxis.y, &zAxis.z,
                              &origin.x, &origin.y, &origin.z);
    return matched != EOF;
}
