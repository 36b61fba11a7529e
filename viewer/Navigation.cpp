#include <GL/glut.h>

#include <algorithm>
#include <cstdlib>

#include "camera/Trackball.h"
#include "viewer/Viewer.h"

namespace {

// Fraction of the window the pointer moved, positive to the right or downwards; 0 for a window
// without extent, where a step has no meaning and would fill the camera with infinities.
float StepFraction(int a, int b, int c) {
    if (c <= 0) {
        return 0.0f;
    }
    return static_cast<float>(b - a) / static_cast<float>(c);
}

// Distance from the camera to the scene centre, never less than the scene radius.
float CentreDistance(const Camera& camera, const Vec3& sceneCentre, float sceneRadius) {
    Vec3 offset;
    Vec3Subtract(sceneCentre, camera.origin, offset);
    return std::max(Vec3Length(offset), sceneRadius);
}

// Moves the camera by s along axis.
void MoveAlong(Camera& camera, const Vec3& axis, float s) {
    Matrix4 move;
    TranslationMatrix(move, s * axis.x, s * axis.y, s * axis.z);
    camera.Transform(move);
}

// Turns the camera by angleDegrees about axis through point.
void TurnAbout(Camera& camera, float angleDegrees, const Vec3& axis, const Vec3& point) {
    // Copy first: the axis may be one of the camera's own, which the transform changes.
    Vec3 u = axis;
    Vec3 p = point;
    Matrix4 toPoint;
    Matrix4 rotation;
    Matrix4 fromPoint;
    TranslationMatrix(toPoint, p.x, p.y, p.z);
    AxisAngleMatrix(rotation, angleDegrees, u);
    TranslationMatrix(fromPoint, -p.x, -p.y, -p.z);
    Matrix4 turn;
    MatrixMultiply(turn, toPoint, rotation);
    MatrixMultiply(turn, turn, fromPoint);
    camera.Transform(turn);
}

}  // namespace

void Viewer::Mouse(int button, int state, int x, int y) {
    int modifiers = glutGetModifiers();
    shiftDown = (modifiers & GLUT_ACTIVE_SHIFT) != 0 ? 1 : 0;
    ctrlDown = (modifiers & GLUT_ACTIVE_CTRL) != 0 ? 1 : 0;
    altDown = (modifiers & GLUT_ACTIVE_ALT) != 0 ? 1 : 0;

    if (button == GLUT_LEFT_BUTTON) {
        curX = x;
        curY = y;
        if (state == GLUT_DOWN) {
            prevX = x;
            prevY = y;
            leftDown = 1;
            SetInertia(0);
            return;
        }
        // GLUT hands the window the release of a click that picked a menu entry without its
        // press; only the end of a real drag may set the camera spinning.
        if (leftDown == 0) {
            return;
        }
        leftDown = 0;
        bool moving = std::abs(x - prevX) > 1 || std::abs(y - prevY) > 1;
        if (moving && inertiaEnabled != 0) {
            SetInertia(1);
        }
    } else if (button == GLUT_RIGHT_BUTTON) {
        if (state == GLUT_DOWN) {
            prevX = x;
            prevY = y;
            rightDown = 1;
        } else {
            rightDown = 0;
        }
    } else if (button == GLUT_MIDDLE_BUTTON) {
        if (state == GLUT_DOWN) {
            prevX = x;
            prevY = y;
            middleDown = 1;
        } else {
            middleDown = 0;
        }
    } else if (state == GLUT_DOWN) {
        prevX = x;
        prevY = y;
    }
}

void Viewer::Motion(int x, int y) {
    prevX = curX;
    prevY = curY;
    if (leftDown == 0) {
        return;
    }
    curX = x;
    curY = y;
    int w = glutGet(GLUT_WINDOW_WIDTH);
    int h = glutGet(GLUT_WINDOW_HEIGHT);

    // Ctrl is tested before Alt, so with both held the Ctrl column applies.
    switch (mode) {
        case TrackBall:
            OrbitYaw(prevX, curX, w);
            if (ctrlDown) {
                Dolly(prevY, curY, h);
            } else {
                OrbitPitch(prevY, curY, h);
            }
            break;
        case HyperBall:
            if (ctrlDown) {
                HyperBallRotate(prevX, prevY, curX, prevY, w, h);
                Dolly(prevY, curY, h);
            } else {
                HyperBallRotate(prevX, prevY, curX, curY, w, h);
            }
            break;
        case Drive:
            if (ctrlDown) {
                // Reversed steps: here the camera follows the pointer, not the scene.
                TranslateX(curX, prevX, w);
                TranslateY(curY, prevY, h);
            } else if (altDown) {
                YawInPlace(prevX, curX, w);
                PitchInPlace(prevY, curY, h);
            } else {
                YawInPlace(prevX, curX, w);
                Dolly(prevY, curY, h);
            }
            break;
        case Translate:
            TranslateX(prevX, curX, w);
            if (ctrlDown) {
                Dolly(prevY, curY, h);
            } else {
                TranslateY(prevY, curY, h);
            }
            break;
        case Look:
            if (ctrlDown) {
                TranslateX(prevX, curX, w);
                TranslateY(prevY, curY, h);
            } else if (altDown) {
                YawInPlace(prevX, curX, w);
                Dolly(prevY, curY, h);
            } else {
                YawInPlace(prevX, curX, w);
                PitchInPlace(prevY, curY, h);
            }
            break;
        default:
            break;
    }
    glutPostRedisplay();
}

void Viewer::InertiaMotion(int x, int y) {
    Viewer::Motion(x, y);
}

void Viewer::TranslateX(int a, int b, int c) {
    Camera& camera = *currentCamera;
    float t = StepFraction(a, b, c);
    float s = 0.0f;
    if (inOut) {
        s = t * (-0.25f * sceneRadius);
    } else if (camera.zNear != 0.0f) {
        // Without a near distance there is no view width to scale the step by.
        float d = CentreDistance(camera, sceneCentre, sceneRadius);
        s = -(d * t * (camera.right - camera.left) / camera.zNear);
    }
    MoveAlong(camera, camera.xAxis, speed * s);
}

void Viewer::TranslateY(int a, int b, int c) {
    Camera& camera = *currentCamera;
    float t = StepFraction(a, b, c);
    float s = 0.0f;
    if (inOut) {
        s = t * (0.25f * sceneRadius);
    } else if (camera.zNear != 0.0f) {
        float d = CentreDistance(camera, sceneCentre, sceneRadius);
        s = d * t * (camera.top - camera.bottom) / camera.zNear;
    }
    MoveAlong(camera, camera.yAxis, speed * s);
}

void Viewer::Dolly(int a, int b, int c) {
    Camera& camera = *currentCamera;
    float t = StepFraction(a, b, c);
    float d = CentreDistance(camera, sceneCentre, sceneRadius);
    MoveAlong(camera, camera.zAxis, speed * (2.0f * d * t));
}

void Viewer::YawInPlace(int a, int b, int c) {
    Camera& camera = *currentCamera;
    TurnAbout(camera, -90.0f * StepFraction(a, b, c), worldUp, camera.origin);
}

void Viewer::PitchInPlace(int a, int b, int c) {
    Camera& camera = *currentCamera;
    TurnAbout(camera, -90.0f * StepFraction(a, b, c), camera.xAxis, camera.origin);
}

void Viewer::OrbitYaw(int a, int b, int c) {
    Camera& camera = *currentCamera;
    const Vec3& axis = inOut ? worldUp : camera.yAxis;
    TurnAbout(camera, -180.0f * StepFraction(a, b, c), axis, sceneCentre);
}

void Viewer::OrbitPitch(int a, int b, int c) {
    Camera& camera = *currentCamera;
    TurnAbout(camera, -180.0f * StepFraction(a, b, c), camera.xAxis, sceneCentre);
}

void Viewer::HyperBallRotate(int x1, int y1, int x2, int y2, int w, int h) {
    // A window without extent has no normalised coordinates.
    if (w <= 0 || h <= 0) {
        return;
    }
    Camera& camera = *currentCamera;
    float fw = static_cast<float>(w);
    float fh = static_cast<float>(h);
    float nx1 = 2.0f * static_cast<float>(x1) / fw - 1.0f;
    float ny1 = 1.0f - 2.0f * static_cast<float>(y1) / fh;
    float nx2 = 2.0f * static_cast<float>(x2) / fw - 1.0f;
    float ny2 = 1.0f - 2.0f * static_cast<float>(y2) / fh;

    Quaternion q;
    Trackball(q, nx1, ny1, nx2, ny2);

    // The rotation is expressed in the camera's own coordinates, then carried to world space.
    Vec3 zero;
    Matrix4 cameraToWorld;
    MatrixFromAxes(cameraToWorld, camera.xAxis, camera.yAxis, camera.zAxis, zero);
    Matrix4 spin;
    QuaternionMatrix(spin, q);
    MatrixTranspose(spin);
    Matrix4 placement;
    TranslationMatrix(placement, sceneCentre.x, sceneCentre.y, sceneCentre.z);
    MatrixMultiply(placement, placement, cameraToWorld);
    MatrixMultiply(placement, placement, spin);

    // Camera position relative to the centre, in camera coordinates.
    Matrix4 worldToCamera;
    ViewMatrixFromAxes(worldToCamera, camera.xAxis, camera.yAxis, camera.zAxis, zero);
    Vec3 offset;
    Vec3Subtract(camera.origin, sceneCentre, offset);
    Vec3 relative;
    RotateVector(relative, worldToCamera, offset);

    camera.ResetFrame();
    camera.origin = relative;
    camera.Transform(placement);
}

void Viewer::SetInertia(int on) {
    inertiaActive = on;
    if (on == 0) {
        return;
    }
    bool registered = windowId > 0 && windowId < kWindowSlots && windows[windowId] == this;
    // The step finds its viewer through the current GLUT window.
    if (registered && glutGetWindow() != windowId) {
        glutSetWindow(windowId);
    }
    InertiaStep();
    // One timer chain per window: a tick still pending from an earlier run carries this one.
    // Without a table entry no tick could find this viewer, so none is armed.
    if (registered && inertiaActive != 0 && inertiaTimerArmed == 0) {
        inertiaTimerArmed = 1;
        glutTimerFunc(timerInterval, InertiaTimer, windowId);
    }
}

int Viewer::InertiaStep() {
    if (inertiaActive == 0) {
        return 0;
    }
    int x = curX;
    int y = curY;
    curX = prevX;
    curY = prevY;
    // The button flag is raised only for the step, so stray motion events move nothing.
    leftDown = 1;
    if (inertiaCallback != nullptr) {
        inertiaCallback(x, y);
    }
    leftDown = 0;
    return 1;
}

void InertiaTimer(int value) {
    if (value < 0 || value >= kWindowSlots) {
        return;
    }
    Viewer* viewer = Viewer::windows[value];
    if (viewer == nullptr) {
        return;
    }
    viewer->inertiaTimerArmed = 0;
    if (glutGetWindow() != value) {
        glutSetWindow(value);
    }
    viewer->InertiaStep();
    if (viewer->inertiaActive != 0) {
        viewer->inertiaTimerArmed = 1;
        glutTimerFunc(viewer->timerInterval, InertiaTimer, viewer->windowId);
    }
}
