#include "app/Scene.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

Viewer theViewer;
Mesh* theMesh = nullptr;
MeshDrawLists* theMeshDrawLists = nullptr;

namespace {

// Both lights are directional (w = 0); given before any viewing matrix, they stay fixed to the eye.
constexpr GLfloat kLight0Position[] = {20.0f, 20.0f, 20.0f, 0.0f};
constexpr GLfloat kLight0Ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
constexpr GLfloat kLight0Diffuse[] = {0.8f, 0.8f, 0.8f, 1.0f};
constexpr GLfloat kLight1Position[] = {-20.0f, 20.0f, 20.0f, 0.0f};
constexpr GLfloat kLight1Diffuse[] = {0.4f, 0.4f, 0.4f, 1.0f};

// Camera set-up shared by the provisional placement and the fit.
constexpr float kFieldOfViewY = 45.0f;
constexpr float kAspect = 1.0f;
constexpr float kNearFactor = 0.01f;
constexpr float kFarFactor = 10.0f;
// Share of the largest extent added round the mesh's box on every side.
constexpr float kMarginFactor = 0.1f;
// Margin round a mesh whose vertices all lie on one point, which has no size to take one from.
constexpr float kPointMargin = 1.0f;

// Exit status when the mesh cannot be shown, as when it cannot be loaded.
constexpr int kExitNotShown = 2;

// Whether the driver has reported running out of memory; takes every pending error.
bool SceneDriverOutOfMemory() {
    constexpr int kMostErrorFlags = 16;
    bool outOfMemory = false;
    for (int k = 0; k < kMostErrorFlags; ++k) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) {
            break;
        }
        outOfMemory = outOfMemory || error == GL_OUT_OF_MEMORY;
    }
    return outOfMemory;
}

}  // namespace

void InitScene() {
    theViewer.CreateWindow("ZEL viewer", GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH, 50, 50, 512, 512);

    // The application's callbacks replace the ones the Viewer installed.
    glutDisplayFunc(DisplayFunc);
    glutReshapeFunc(ReshapeFunc);
    glutIdleFunc(glutPostRedisplay);
    glutKeyboardFunc(KeyboardFunc);
    glutMouseFunc(MouseFunc);
    glutMotionFunc(MotionFunc);
    theViewer.drawSceneCallback = DrawScene;

    glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLight0Ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLight0Diffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, kLight1Position);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, kLight1Diffuse);

    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DEPTH_TEST);

    // Provisional placement; FitCamerasToMesh replaces it when there is a mesh to frame.
    const Vec3 cornerA{-12.0f, -12.0f, -12.0f};
    const Vec3 cornerB{22.0f, 22.0f, 22.0f};
    const Vec3 up{0.0f, 1.0f, 0.0f};
    theViewer.SetCameras(cornerA, cornerB, cornerB, cornerA, up, kFieldOfViewY, kAspect,
                         kNearFactor, kFarFactor);
}

void FitCamerasToMesh() {
    // Without vertices the bounds are the (1e10, -1e10) sentinels, which would frame nothing.
    if (theMesh == nullptr || theMesh->maxVertexId < 0) {
        return;
    }
    const Vec3& low = theMesh->boundsMin;
    const Vec3& high = theMesh->boundsMax;

    // Margin from the largest extent, the same on all three axes.
    float dx = high.x - low.x;
    float dy = high.y - low.y;
    float dz = high.z - low.z;
    float extent = dx > dy ? dx : dy;
    if (dz > extent) {
        extent = dz;
    }
    float margin = kMarginFactor * extent;
    // All vertices on one point: a box of no size would give the cameras a zero near and far
    // distance and a projection full of NaN. A unit margin frames the point instead.
    if (extent == 0.0f) {
        margin = kPointMargin;
    }

    Vec3 boxMin{low.x - margin, low.y - margin, low.z - margin};
    Vec3 boxMax{high.x + margin, high.y + margin, high.z + margin};
    Vec3 centre{(boxMin.x + boxMax.x) * 0.5f, (boxMin.y + boxMax.y) * 0.5f,
                (boxMin.z + boxMax.z) * 0.5f};
    // In front of the box's +z face by as much as the centre lies behind it.
    Vec3 eye{centre.x, centre.y, 2.0f * boxMax.z - centre.z};
    const Vec3 up{0.0f, 1.0f, 0.0f};
    theViewer.SetCameras(boxMin, boxMax, eye, centre, up, kFieldOfViewY, kAspect, kNearFactor,
                         kFarFactor);
}

void DrawScene() {
    glClearColor(0.6f, 0.7f, 0.7f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (theMeshDrawLists != nullptr) {
        theMeshDrawLists->Draw();
    } else if (theMesh != nullptr) {
        theMesh->Draw();
    }
    glPopMatrix();
}

void DisplayFunc() {
    theViewer.BeginFrame();
    DrawScene();
    // The mesh answers a driver that runs out of memory for its lists or slices by sending its
    // faces as they stand; if even that frame could not be drawn whole, there is no memory to
    // show the mesh, and a partial picture is not shown.
    if (SceneDriverOutOfMemory()) {
        std::fputs("Error: the OpenGL driver ran out of memory drawing the mesh\n", stderr);
        std::exit(kExitNotShown);
    }
    theViewer.EndFrame();
    glutPostRedisplay();
}

void ReshapeFunc(int width, int height) {
    theViewer.Reshape(width, height);
}

void KeyboardFunc(unsigned char key, int x, int y) {
    theViewer.Keyboard(key, x, y);
}

void MouseFunc(int button, int state, int x, int y) {
    theViewer.Mouse(button, state, x, y);
}

void MotionFunc(int x, int y) {
    theViewer.Motion(x, y);
}
