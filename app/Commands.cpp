// The user's commands: single-key shortcuts and the right-button pop-up menu tree. Both lead to
// the static command operations, which act on the viewer of the current GLUT window.

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "camera/Snapshot.h"
#include "camera/Vec3.h"
#include "viewer/Viewer.h"

namespace {

constexpr unsigned char kEscapeKey = 27;

// Status the process ends with when the user presses Esc.
constexpr int kEscapeExitStatus = 1;

// Values of the "PathPlay" menu entries.
constexpr int kPathPlayRecord = 1;
constexpr int kPathPlayPlay = 2;
constexpr int kPathPlayStop = 3;

// Flips a GL capability.
void ToggleCapability(GLenum capability) {
    if (glIsEnabled(capability)) {
        glDisable(capability);
    } else {
        glEnable(capability);
    }
}

// Flips a 0/1 light model parameter.
void ToggleLightModel(GLenum parameter) {
    GLint value = 0;
    glGetIntegerv(parameter, &value);
    glLightModeli(parameter, value == 1 ? 0 : 1);
}

// Filled -> lines -> points -> filled. Without two-sided lighting only the front faces turn
// to lines, so the back faces stay filled.
void CyclePolygonMode() {
    GLint modes[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    if (modes[0] == GL_POINT) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    } else if (modes[0] == GL_FILL) {
        GLint twoSided = 0;
        glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
        glPolygonMode(twoSided != 0 ? GL_FRONT_AND_BACK : GL_FRONT, GL_LINE);
    } else {
        glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
    }
}

void PrintVec3(const char* label, const Vec3& v) {
    std::printf("%s", label);
    std::printf("(%.3f, %.3f, %.3f)\n", v.x, v.y, v.z);
}

void DumpCamera(const Camera& camera) {
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    camera.GetLookAt(eye, centre, up);
    float fovy = 0.0f;
    float aspect = 0.0f;
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    camera.GetPerspective(fovy, aspect, nearDistance, farDistance);
    std::printf("--- CURRENT CAM PARAMS ---\n");
    PrintVec3("       Eye: ", eye);
    PrintVec3("LookAtCntr: ", centre);
    PrintVec3("    ViewUp: ", up);
    std::printf("     Y FOV: %f\n", fovy);
    std::printf("    Aspect: %f\n", aspect);
    std::printf("      Near: %f\n", nearDistance);
    std::printf("       Far: %f\n", farDistance);
    std::fflush(stdout);
}

}  // namespace

void Viewer::Keyboard(unsigned char key, int /*x*/, int /*y*/) {
    // Modifiers are refreshed for every key, also for keys without a command.
    int modifiers = glutGetModifiers();
    shiftDown = (modifiers & GLUT_ACTIVE_SHIFT) != 0 ? 1 : 0;
    ctrlDown = (modifiers & GLUT_ACTIVE_CTRL) != 0 ? 1 : 0;
    altDown = (modifiers & GLUT_ACTIVE_ALT) != 0 ? 1 : 0;

    switch (key) {
        case kEscapeKey:
            std::exit(kEscapeExitStatus);
        case 'z':
            SelectMode(TrackBall);
            break;
        case 'h':
            SelectMode(HyperBall);
            break;
        case 'x':
            SelectMode(Drive);
            break;
        case 'c':
            SelectMode(Translate);
            break;
        case 'v':
            SelectMode(Look);
            break;
        case '=':
            ViewerOptionsMenu(kViewerOptionSnapshot);
            break;
        case 'o':
            ViewerOptionsMenu(kViewerOptionInOut);
            break;
        case 'r':
            ViewerOptionsMenu(kViewerOptionResetViews);
            break;
        case 'i':
            ViewerOptionsMenu(kViewerOptionInertia);
            break;
        case 'w':
            OpenGLOptionsMenu(kOpenGLOptionPolygonMode);
            break;
        case 'b':
            OpenGLOptionsMenu(kOpenGLOptionFaceCulling);
            break;
        case 'l':
            OpenGLOptionsMenu(kOpenGLOptionLighting);
            break;
        case 'n':
            OpenGLOptionsMenu(kOpenGLOptionCulledSide);
            break;
        case 'm':
            OpenGLOptionsMenu(kOpenGLOptionColourMaterial);
            break;
        case '1':
            SelectCamera(0);
            break;
        case '2':
            SelectCamera(1);
            break;
        case '3':
            SelectCamera(2);
            break;
        case '4':
            SelectCamera(3);
            break;
        case '!':
            ToggleCameraDisplay(0);
            break;
        case '@':
            ToggleCameraDisplay(1);
            break;
        case '#':
            ToggleCameraDisplay(2);
            break;
        case '$':
            ToggleCameraDisplay(3);
            break;
        default:
            break;
    }
}

void Viewer::CreateMenus() {
    // The creation order fixes the GLUT menu ids; entries go to the menu created last.
    int pathPlayMenu = glutCreateMenu(PathPlayMenu);
    glutAddMenuEntry("Record", kPathPlayRecord);
    glutAddMenuEntry("Play", kPathPlayPlay);
    glutAddMenuEntry("Stop", kPathPlayStop);

    int camViewMenu = glutCreateMenu(SelectCamera);
    for (int i = 0; i < cameraCount; ++i) {
        char text[32];
        std::snprintf(text, sizeof(text), "Cam (%d)", i);
        glutAddMenuEntry(text, i);
    }

    int camDisplayMenu = glutCreateMenu(ToggleCameraDisplay);
    glutAddMenuEntry("Cam 0 (!)", 0);
    glutAddMenuEntry("Cam 1 (@)", 1);
    glutAddMenuEntry("Cam 2 (#)", 2);
    glutAddMenuEntry("Cam 3 ($)", 3);

    int viewerOptionsMenu = glutCreateMenu(ViewerOptionsMenu);
    glutAddMenuEntry("SnapShot (=)", kViewerOptionSnapshot);
    glutAddMenuEntry("InOut/OutIn (o)", kViewerOptionInOut);
    glutAddMenuEntry("Reset Orig Views (r)", kViewerOptionResetViews);
    glutAddMenuEntry("Inertia (i)", kViewerOptionInertia);
    glutAddMenuEntry("Dump Cam Params", kViewerOptionDumpCamera);

    int openGlOptionsMenu = glutCreateMenu(OpenGLOptionsMenu);
    glutAddMenuEntry("Solid/Wire/Pt (w)", kOpenGLOptionPolygonMode);
    glutAddMenuEntry("Smooth/Flat Shading", kOpenGLOptionShadeModel);
    glutAddMenuEntry("Lighting (l)", kOpenGLOptionLighting);
    glutAddMenuEntry("One/Two Sided Lighting", kOpenGLOptionTwoSidedLighting);
    glutAddMenuEntry("Inf/Local Viewer", kOpenGLOptionLocalViewer);
    glutAddMenuEntry("Materials (m)", kOpenGLOptionColourMaterial);
    glutAddMenuEntry("Face Culling (b)", kOpenGLOptionFaceCulling);
    glutAddMenuEntry("Back/Front Cull Face (n)", kOpenGLOptionCulledSide);

    mainMenu = glutCreateMenu(SelectMode);
    glutAddMenuEntry("TrackBall (z)", TrackBall);
    glutAddMenuEntry("HyperBall (h)", HyperBall);
    glutAddMenuEntry("Drive (x)", Drive);
    glutAddMenuEntry("Translate (c)", Translate);
    glutAddMenuEntry("Look (v)", Look);
    glutAddSubMenu("Viewer Options", viewerOptionsMenu);
    glutAddSubMenu("OpenGL Options", openGlOptionsMenu);
    glutAddSubMenu("PathPlay", pathPlayMenu);
    glutAddSubMenu("Cam View", camViewMenu);
    glutAddSubMenu("Cam Display", camDisplayMenu);

    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

void Viewer::SelectMode(int newMode) {
    Viewer* viewer = Current();
    if (viewer == nullptr || newMode < TrackBall || newMode > Look) {
        return;
    }
    viewer->mode = newMode;
    viewer->SetInertia(0);
}

void Viewer::ViewerOptionsMenu(int option) {
    Viewer* viewer = Current();
    if (viewer == nullptr) {
        return;
    }
    switch (option) {
        case kViewerOptionSnapshot:
            // Drawn again into the back buffer and read there: front-buffer reads are black
            // under some drivers (Mesa's llvmpipe) and undefined before the first frame.
            viewer->DrawCurrentView();
            WriteSnapshot();
            break;
        case kViewerOptionInOut:
            viewer->inOut = viewer->inOut == 0 ? 1 : 0;
            break;
        case kViewerOptionResetViews:
            viewer->ResetViews();
            glutPostRedisplay();
            break;
        case kViewerOptionInertia:
            // Switching off also stops a running inertia; switching on only allows the next one.
            if (viewer->inertiaEnabled) {
                viewer->inertiaEnabled = 0;
                viewer->SetInertia(0);
            } else {
                viewer->inertiaEnabled = 1;
            }
            break;
        case kViewerOptionDumpCamera:
            DumpCamera(*viewer->currentCamera);
            break;
        default:
            break;
    }
}

void Viewer::OpenGLOptionsMenu(int option) {
    // Without a registered window there is no GL context to change.
    if (Current() == nullptr) {
        return;
    }
    switch (option) {
        case kOpenGLOptionLocalViewer:
            ToggleLightModel(GL_LIGHT_MODEL_LOCAL_VIEWER);
            break;
        case kOpenGLOptionPolygonMode:
            CyclePolygonMode();
            break;
        case kOpenGLOptionFaceCulling:
            ToggleCapability(GL_CULL_FACE);
            break;
        case kOpenGLOptionShadeModel: {
            GLint shadeModel = GL_SMOOTH;
            glGetIntegerv(GL_SHADE_MODEL, &shadeModel);
            glShadeModel(shadeModel == GL_SMOOTH ? GL_FLAT : GL_SMOOTH);
            break;
        }
        case kOpenGLOptionTwoSidedLighting:
            ToggleLightModel(GL_LIGHT_MODEL_TWO_SIDE);
            break;
        case kOpenGLOptionLighting:
            ToggleCapability(GL_LIGHTING);
            break;
        case kOpenGLOptionCulledSide: {
            GLint culledSide = GL_BACK;
            glGetIntegerv(GL_CULL_FACE_MODE, &culledSide);
            glCullFace(culledSide == GL_BACK ? GL_FRONT : GL_BACK);
            break;
        }
        case kOpenGLOptionColourMaterial:
            ToggleCapability(GL_COLOR_MATERIAL);
            break;
        default:
            break;
    }
    glutPostRedisplay();
}

void Viewer::PathPlayMenu(int entry) {
    Viewer* viewer = Current();
    if (viewer == nullptr) {
        return;
    }
    switch (entry) {
        case kPathPlayRecord:
            viewer->StartRecording(kCameraPathFile);
            break;
        case kPathPlayPlay:
            viewer->StartPlayback(kCameraPathFile);
            break;
        case kPathPlayStop:
            viewer->StopPathPlay();
            break;
        default:
            break;
    }
}
