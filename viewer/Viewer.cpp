#include "viewer/Viewer.h"

#include <GL/glut.h>

#include <cmath>
#include <cstdio>
#include <ctime>

Viewer* Viewer::windows[kWindowSlots];
bool Viewer::windowsCleared = false;

Viewer::Viewer() {
    // The first viewer built owns the table's start state; later ones must not drop entries.
    if (!windowsCleared) {
        for (Viewer*& slot : windows) {
            slot = nullptr;
        }
        windowsCleared = true;
    }
    windowId = -1;
    mode = TrackBall;
    inOut = 0;
    cameraCount = 4;
    cameras = new Camera[cameraCount];
    cameraShown = new int32_t[cameraCount]();
    currentCamera = cameras;
}

Viewer::~Viewer() {
    // A slot left pointing here would dispatch later GLUT events to freed memory.
    if (windowId > 0 && windowId < kWindowSlots && windows[windowId] == this) {
        windows[windowId] = nullptr;
    }
    delete[] cameras;
    delete[] cameraShown;
}

Viewer* Viewer::Current() {
    int id = glutGetWindow();
    if (id < 0 || id >= kWindowSlots) {
        return nullptr;
    }
    return windows[id];
}

int Viewer::CreateWindow(const char* title, unsigned int displayMode, int x, int y, int width,
                         int height) {
    glutInitDisplayMode(displayMode);
    glutInitWindowPosition(x, y);
    glutInitWindowSize(width, height);
    windowId = glutCreateWindow(title);
    return AttachWindow(windowId);
}

int Viewer::AttachWindow(int id) {
    // GLUT numbers windows from 1; anything lower is no window and must not index the table.
    if (id < 1) {
        std::printf("ERROR: invalid window id %d!\n", id);
        std::fflush(stdout);
        windowId = 0;
        return 0;
    }
    glutSetWindow(id);
    windowId = id;
    if (id > kMaxWindowId) {
        std::printf("ERROR: too many windows added!\n");
        std::fflush(stdout);
        glutDestroyWindow(windowId);
        windowId = 0;
        return 0;
    }
    windows[id] = this;
    glutKeyboardFunc(ViewerKeyboardFunc);
    glutMouseFunc(ViewerMouseFunc);
    glutMotionFunc(ViewerMotionFunc);
    glutReshapeFunc(ViewerReshapeFunc);
    glutDisplayFunc(ViewerDisplayFunc);
    inertiaCallback = ViewerInertiaFunc;
    CreateMenus();
    return windowId;
}

void Viewer::Reshape(int width, int height) {
    glViewport(0, 0, width, height);
    // A minimised window reports a zero side; its aspect would give a degenerate frustum.
    if (width <= 0 || height <= 0) {
        return;
    }
    UpdateAspect(static_cast<float>(width) / static_cast<float>(height));
}

void Viewer::Display() {}

void Viewer::SetCameras(const Vec3& cornerA, const Vec3& cornerB, const Vec3& eye,
                        const Vec3& centre, const Vec3& up, float fovy, float aspect,
                        float nearFactor, float farFactor) {
    sceneCentre.Set((cornerA.x + cornerB.x) * 0.5f, (cornerA.y + cornerB.y) * 0.5f,
                    (cornerA.z + cornerB.z) * 0.5f);
    Vec3 toCorner;
    Vec3Subtract(cornerB, sceneCentre, toCorner);
    sceneRadius = Vec3Length(toCorner);
    SetPerspective(fovy, aspect, sceneRadius * nearFactor, sceneRadius * farFactor);
    worldUp.Copy(up);
    for (int i = 0; i < cameraCount; ++i) {
        cameras[i].LookAt(eye, centre, worldUp);
    }
    homeCamera.Copy(cameras[0]);
}

void Viewer::SetPerspective(float fovy, float aspect, float zNear, float zFar) {
    for (int i = 0; i < cameraCount; ++i) {
        cameras[i].SetPerspective(fovy, aspect, zNear, zFar);
    }
}

void Viewer::UpdateAspect(float aspect) {
    // Each camera keeps its own field of view and clipping distances, as read back from its
    // frustum; the degree conversions there shrink the field of view by 0.9999947 per call.
    for (int i = 0; i < cameraCount; ++i) {
        Camera& camera = cameras[i];
        float fovy = 0.0f;
        float oldAspect = 0.0f;
        float zNear = 0.0f;
        float zFar = 0.0f;
        camera.GetPerspective(fovy, oldAspect, zNear, zFar);
        // A frustum of zero height and near distance (cameras placed round a box of no size) has
        // no field of view to read back; setting the NaN would spread it to every frustum value.
        if (std::isnan(fovy)) {
            continue;
        }
        camera.SetPerspective(fovy, aspect, zNear, zFar);
    }
}

void Viewer::ResetViews() {
    for (int i = 0; i < cameraCount; ++i) {
        cameras[i].Copy(homeCamera);
    }
    int width = glutGet(GLUT_WINDOW_WIDTH);
    int height = glutGet(GLUT_WINDOW_HEIGHT);
    if (width > 0 && height > 0) {
        UpdateAspect(static_cast<float>(width) / static_cast<float>(height));
    }
}

Matrix4& Viewer::ProjectionMatrix(Matrix4& out) {
    return currentCamera->ProjectionMatrix(out);
}

Matrix4& Viewer::ViewingMatrix(Matrix4& out) {
    // The camera path advances here because this runs exactly once per displayed frame.
    if (isRecording) {
        for (int i = 0; i < cameraCount; ++i) {
            cameras[i].Write(pathFile);
        }
    } else if (isPlayingBack) {
        bool atEnd = false;
        for (int i = 0; i < cameraCount; ++i) {
            if (!cameras[i].Read(pathFile)) {
                atEnd = true;
            }
        }
        if (atEnd) {
            EndPlayback();
        }
    }
    return currentCamera->ViewingMatrix(out);
}

void Viewer::BeginFrame() {
    Matrix4 matrix;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(ProjectionMatrix(matrix).m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(ViewingMatrix(matrix).m);
    UpdateFrameRate();
}

void Viewer::EndFrame() {
    DrawShownFrusta();
    glutSwapBuffers();
}

void Viewer::DrawCurrentView() {
    Matrix4 matrix;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(ProjectionMatrix(matrix).m);
    glMatrixMode(GL_MODELVIEW);
    // the camera's own matrix: ViewingMatrix would record or play back a path frame
    glLoadMatrixf(currentCamera->ViewingMatrix(matrix).m);
    if (drawSceneCallback != nullptr) {
        drawSceneCallback();
    }
    DrawShownFrusta();
}

void Viewer::DrawShownFrusta() {
    for (int i = 0; i < cameraCount; ++i) {
        if (cameraShown[i] != 0) {
            cameras[i].DrawFrustum();
        }
    }
}

void Viewer::SelectCamera(int i) {
    Viewer* viewer = Current();
    if (viewer == nullptr || i < 0 || i >= viewer->cameraCount) {
        return;
    }
    viewer->currentCamera = &viewer->cameras[i];
    glutPostRedisplay();
}

void Viewer::ToggleCameraDisplay(int i) {
    Viewer* viewer = Current();
    if (viewer == nullptr || i < 0 || i >= viewer->cameraCount) {
        return;
    }
    viewer->cameraShown[i] = viewer->cameraShown[i] == 0 ? 1 : 0;
    glutPostRedisplay();
}

void Viewer::UpdateFrameRate() {
    if (meterOn == 0) {
        return;
    }
    ++meterFrames;
    std::timespec clockNow{};
    std::timespec_get(&clockNow, TIME_UTC);
    MeterTime now;
    now.seconds = static_cast<int32_t>(clockNow.tv_sec);
    now.milliseconds = static_cast<uint16_t>(clockNow.tv_nsec / 1000000);
    // A negative millisecond difference borrows from the seconds through the signed sum.
    int millisecondDifference =
        static_cast<int>(now.milliseconds) - static_cast<int>(meterLast.milliseconds);
    float elapsed = static_cast<float>(millisecondDifference) * 0.001f +
                    static_cast<float>(now.seconds - meterLast.seconds);
    if (elapsed < 1.0f) {
        return;
    }
    meterLast = now;
    frameRate = static_cast<float>(meterFrames) / elapsed;
    meterFrames = 0;
}

void ViewerDisplayFunc() {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->Display();
    }
}

void ViewerReshapeFunc(int width, int height) {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->Reshape(width, height);
    }
}

void ViewerKeyboardFunc(unsigned char key, int x, int y) {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->Keyboard(key, x, y);
    }
}

void ViewerMouseFunc(int button, int state, int x, int y) {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->Mouse(button, state, x, y);
    }
}

void ViewerMotionFunc(int x, int y) {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->Motion(x, y);
    }
}

void ViewerInertiaFunc(int x, int y) {
    if (Viewer* viewer = Viewer::Current()) {
        viewer->InertiaMotion(x, y);
    }
}
