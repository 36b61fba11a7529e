// Keyboard and menu commands in a real GLUT window: they act on the viewer registered for the
// current window and on the window's OpenGL state.

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "camera/Snapshot.h"
#include "tests/support/FieldOfViewReadBack.h"
#include "tests/support/FileBytes.h"
#include "tests/support/GlWindow.h"
#include "tests/support/TempDirectory.h"
#include "viewer/Viewer.h"

// Last: the X11 headers define macros (None, Bool) that clash with GoogleTest.
#include <GL/glx.h>

namespace {

GLint GetInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

struct PolygonModes {
    GLint front;
    GLint back;
};

PolygonModes GetPolygonModes() {
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return {modes[0], modes[1]};
}

// Every piece of GL state the OpenGL options touch, for before/after comparisons.
struct GlOptionsState {
    GLint localViewer;
    GLint frontMode;
    GLint backMode;
    GLboolean culling;
    GLint shadeModel;
    GLint twoSided;
    GLboolean lighting;
    GLint culledSide;
    GLboolean colourMaterial;

    bool operator==(const GlOptionsState& o) const {
        return localViewer == o.localViewer && frontMode == o.frontMode && backMode == o.backMode &&
               culling == o.culling && shadeModel == o.shadeModel && twoSided == o.twoSided &&
               lighting == o.lighting && culledSide == o.culledSide &&
               colourMaterial == o.colourMaterial;
    }
};

GlOptionsState ReadGlOptionsState() {
    PolygonModes modes = GetPolygonModes();
    return {GetInteger(GL_LIGHT_MODEL_LOCAL_VIEWER),
            modes.front,
            modes.back,
            glIsEnabled(GL_CULL_FACE),
            GetInteger(GL_SHADE_MODEL),
            GetInteger(GL_LIGHT_MODEL_TWO_SIDE),
            glIsEnabled(GL_LIGHTING),
            GetInteger(GL_CULL_FACE_MODE),
            glIsEnabled(GL_COLOR_MATERIAL)};
}

// The state the application starts with: filled, smooth, one-sided, everything off.
void ResetGlOptionsState() {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glCullFace(GL_BACK);
}

class CommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { windowId = OpenTestWindow(64, 64, "zel commands test"); }

    void SetUp() override {
        ASSERT_FALSE(directory.empty());
        glutSetWindow(windowId);
        menusBefore = glutGetMenu();
        ASSERT_EQ(viewer.AttachWindow(windowId), windowId);
        ResetGlOptionsState();
    }

    void TearDown() override {
        if (viewer.pathFile != nullptr) {
            std::fclose(viewer.pathFile);
            viewer.pathFile = nullptr;
        }
        viewer.isPlayingBack = 0;
        viewer.isRecording = 0;
        viewer.inertiaActive = 0;
        Viewer::windows[windowId] = nullptr;
        // Ticks still pending find no viewer and end their chains.
        EXPECT_TRUE(PumpUntilTimersDue(50));
    }

    void Press(unsigned char key) { viewer.Keyboard(key, 0, 0); }

    static int windowId;
    Viewer viewer;
    int menusBefore = 0;
    TempWorkingDirectory workingDirectory{"zel-commands"};
    const std::filesystem::path directory = workingDirectory.Path();
};

int CommandsTest::windowId = 0;

TEST_F(CommandsTest, PolygonModeCyclesFilledLinesPointsFilled) {
    Press('w');
    PolygonModes modes = GetPolygonModes();
    EXPECT_EQ(modes.front, GL_LINE);
    EXPECT_EQ(modes.back, GL_FILL);  // one-sided lighting: back faces stay filled
    Press('w');
    modes = GetPolygonModes();
    EXPECT_EQ(modes.front, GL_POINT);
    EXPECT_EQ(modes.back, GL_POINT);
    Press('w');
    modes = GetPolygonModes();
    EXPECT_EQ(modes.front, GL_FILL);
    EXPECT_EQ(modes.back, GL_FILL);
}

TEST_F(CommandsTest, PolygonModeTurnsBothSidesToLinesWithTwoSidedLighting) {
    Viewer::OpenGLOptionsMenu(kOpenGLOptionTwoSidedLighting);
    ASSERT_EQ(GetInteger(GL_LIGHT_MODEL_TWO_SIDE), 1);
    Viewer::OpenGLOptionsMenu(kOpenGLOptionPolygonMode);
    PolygonModes modes = GetPolygonModes();
    EXPECT_EQ(modes.front, GL_LINE);
    EXPECT_EQ(modes.back, GL_LINE);
}

TEST_F(CommandsTest, EveryOpenGLOptionTogglesItsStateBothWays) {
    struct Case {
        int option;
        GLint (*read)();
        GLint first;
        GLint second;
    };
    const std::vector<Case> cases = {
        {kOpenGLOptionLocalViewer, [] { return GetInteger(GL_LIGHT_MODEL_LOCAL_VIEWER); }, 0, 1},
        {kOpenGLOptionFaceCulling, [] { return GLint(glIsEnabled(GL_CULL_FACE)); }, 0, 1},
        {kOpenGLOptionShadeModel, [] { return GetInteger(GL_SHADE_MODEL); }, GL_SMOOTH, GL_FLAT},
        {kOpenGLOptionTwoSidedLighting, [] { return GetInteger(GL_LIGHT_MODEL_TWO_SIDE); }, 0, 1},
        {kOpenGLOptionLighting, [] { return GLint(glIsEnabled(GL_LIGHTING)); }, 0, 1},
        {kOpenGLOptionCulledSide, [] { return GetInteger(GL_CULL_FACE_MODE); }, GL_BACK, GL_FRONT},
        {kOpenGLOptionColourMaterial, [] { return GLint(glIsEnabled(GL_COLOR_MATERIAL)); }, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        ASSERT_EQ(c.read(), c.first);
        Viewer::OpenGLOptionsMenu(c.option);
        EXPECT_EQ(c.read(), c.second);
        Viewer::OpenGLOptionsMenu(c.option);
        EXPECT_EQ(c.read(), c.first);
    }
}

TEST_F(CommandsTest, OpenGLOptionKeysReachTheirOptions) {
    Press('b');
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    Press('l');
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    Press('n');
    EXPECT_EQ(GetInteger(GL_CULL_FACE_MODE), GL_FRONT);
    Press('m');
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    // Shading, two-sided lighting and the local viewer have no key.
    GlOptionsState before = ReadGlOptionsState();
    for (unsigned char key : {'s', 'f', 't', 'g'}) {
        Press(key);
    }
    EXPECT_TRUE(ReadGlOptionsState() == before);
}

TEST_F(CommandsTest, UnknownOpenGLOptionsChangeNothing) {
    // Move every state off its default first, so a wrong reset would show too.
    for (int option : {1, 2, 3, 6, 7, 8, 9, 10}) {
        Viewer::OpenGLOptionsMenu(option);
    }
    GlOptionsState before = ReadGlOptionsState();
    for (int option : {0, 4, 5, 11, -1}) {
        SCOPED_TRACE(option);
        Viewer::OpenGLOptionsMenu(option);
        EXPECT_TRUE(ReadGlOptionsState() == before);
    }
}

TEST_F(CommandsTest, ModeKeysSelectTheModeAndStopInertia) {
    const std::vector<std::pair<unsigned char, int>> keys = {
        {'h', HyperBall}, {'x', Drive}, {'c', Translate}, {'v', Look}, {'z', TrackBall}};
    for (const auto& [key, mode] : keys) {
        SCOPED_TRACE(key);
        viewer.inertiaActive = 1;
        Press(key);
        EXPECT_EQ(viewer.mode, mode);
        EXPECT_EQ(viewer.inertiaActive, 0);
    }
    // The same mode again still stops inertia.
    viewer.inertiaActive = 1;
    Viewer::SelectMode(TrackBall);
    EXPECT_EQ(viewer.mode, TrackBall);
    EXPECT_EQ(viewer.inertiaActive, 0);
}

TEST_F(CommandsTest, OutOfRangeModesDoNothing) {
    Viewer::SelectMode(Drive);
    for (int mode : {-1, 5, 100}) {
        SCOPED_TRACE(mode);
        viewer.inertiaActive = 1;
        Viewer::SelectMode(mode);
        EXPECT_EQ(viewer.mode, Drive);
        EXPECT_EQ(viewer.inertiaActive, 1);
    }
}

TEST_F(CommandsTest, InertiaKeyStopsThenOnlyReenables) {
    viewer.inertiaActive = 1;
    Press('i');
    EXPECT_EQ(viewer.inertiaEnabled, 0);
    EXPECT_EQ(viewer.inertiaActive, 0);
    // Switching back on leaves a running inertia alone and starts none.
    Press('i');
    EXPECT_EQ(viewer.inertiaEnabled, 1);
    EXPECT_EQ(viewer.inertiaActive, 0);
    viewer.inertiaActive = 1;
    viewer.inertiaEnabled = 0;
    Press('i');
    EXPECT_EQ(viewer.inertiaEnabled, 1);
    EXPECT_EQ(viewer.inertiaActive, 1);
}

TEST_F(CommandsTest, InOutKeyTogglesTheFlag) {
    Press('o');
    EXPECT_EQ(viewer.inOut, 1);
    Press('o');
    EXPECT_EQ(viewer.inOut, 0);
}

TEST_F(CommandsTest, ResetKeyRestoresTheHomeView) {
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    eye.Set(0.0f, 0.0f, 5.0f);
    up.Set(0.0f, 1.0f, 0.0f);
    viewer.homeCamera.LookAt(eye, centre, up);
    for (int i = 0; i < viewer.cameraCount; ++i) {
        viewer.cameras[i].origin.Set(10.0f + i, 0.0f, 0.0f);
    }
    Press('3');
    Press('r');
    for (int i = 0; i < viewer.cameraCount; ++i) {
        EXPECT_NEAR(viewer.cameras[i].origin.z, 5.0f, 1e-6f);
        EXPECT_NEAR(viewer.cameras[i].origin.x, 0.0f, 1e-6f);
    }
    EXPECT_EQ(viewer.currentCamera, &viewer.cameras[2]);
}

TEST_F(CommandsTest, SnapshotKeyWritesTheNextSnapshotFile) {
    std::string name = "snap" + std::to_string(snapshotCounter) + ".ppm";
    testing::internal::CaptureStdout();
    Press('=');
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
}

// What the scene callback saw: how often it ran and the modelview matrix it drew with.
int sceneDraws = 0;
GLfloat sceneModelview[16];

// A scene that is all blue.
void DrawBlueScene() {
    ++sceneDraws;
    glGetFloatv(GL_MODELVIEW_MATRIX, sceneModelview);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

TEST_F(CommandsTest, SnapshotDrawsTheCurrentViewAndTakesNoPathStep) {
    // The screen shows red; the snapshot must hold the view drawn for it.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    viewer.drawSceneCallback = DrawBlueScene;
    sceneDraws = 0;
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    eye.Set(1.0f, 2.0f, 3.0f);
    up.Set(0.0f, 1.0f, 0.0f);
    viewer.cameras[1].LookAt(eye, centre, up);
    Press('2');

    // Recording: the snapshot writes no frame to the path file.
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    std::string name = "snap" + std::to_string(snapshotCounter) + ".ppm";
    Press('=');
    viewer.EndRecording();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::filesystem::file_size(kCameraPathFile), 0u);
    EXPECT_EQ(sceneDraws, 1);
    Matrix4 view;
    viewer.cameras[1].ViewingMatrix(view);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(sceneModelview[i], view.m[i]) << i;
    }
    std::string text = ReadFileBytes(name);
    const std::string header = "P6\n64 64\n255\n";
    ASSERT_EQ(text.size(), header.size() + 64 * 64 * 3) << name;
    EXPECT_EQ(text.substr(0, header.size()), header);
    std::string blue;
    for (int i = 0; i < 64 * 64; ++i) {
        blue += std::string("\0\0\xff", 3);
    }
    EXPECT_TRUE(text.substr(header.size()) == blue) << "the snapshot is not the view drawn for it";

    // Playback of two frames: a snapshot between them neither reads a frame nor moves a camera.
    testing::internal::CaptureStdout();
    viewer.StartRecording(kCameraPathFile);
    for (float x : {10.0f, 20.0f}) {
        viewer.cameras[1].origin.x = x;
        viewer.ViewingMatrix(view);
    }
    viewer.StartPlayback(kCameraPathFile);
    viewer.ViewingMatrix(view);
    ASSERT_FLOAT_EQ(viewer.cameras[1].origin.x, 10.0f);
    Press('=');
    EXPECT_FLOAT_EQ(viewer.cameras[1].origin.x, 10.0f);
    viewer.ViewingMatrix(view);
    EXPECT_FLOAT_EQ(viewer.cameras[1].origin.x, 20.0f);
    viewer.StopPathPlay();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sceneDraws, 2);
}

TEST_F(CommandsTest, NumberKeysSelectCamerasAndShiftedNumbersToggleFrusta) {
    const char select[] = "1234";
    const char toggle[] = "!@#$";
    for (int i = 0; i < 4; ++i) {
        Press(static_cast<unsigned char>(select[i]));
        EXPECT_EQ(viewer.currentCamera, &viewer.cameras[i]);
        Press(static_cast<unsigned char>(toggle[i]));
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(viewer.cameraShown[j], j <= i ? 1 : 0) << i << " " << j;
        }
    }
    Press('$');
    EXPECT_EQ(viewer.cameraShown[3], 0);
}

TEST_F(CommandsTest, KeysWithoutACommandOnlyRefreshModifiers) {
    Viewer::SelectMode(Drive);
    Press('2');
    GlOptionsState glBefore = ReadGlOptionsState();
    for (unsigned char key : std::string("ZHXCVWBLNMOIR5%q ")) {
        SCOPED_TRACE(key);
        viewer.shiftDown = 1;
        viewer.ctrlDown = 1;
        viewer.altDown = 1;
        viewer.inertiaActive = 1;
        Press(key);
        // Outside a GLUT input callback no modifier is held.
        EXPECT_EQ(viewer.shiftDown, 0);
        EXPECT_EQ(viewer.ctrlDown, 0);
        EXPECT_EQ(viewer.altDown, 0);
        EXPECT_EQ(viewer.mode, Drive);
        EXPECT_EQ(viewer.inertiaActive, 1);
        EXPECT_EQ(viewer.inertiaEnabled, 1);
        EXPECT_EQ(viewer.inOut, 0);
        EXPECT_EQ(viewer.currentCamera, &viewer.cameras[1]);
        EXPECT_TRUE(ReadGlOptionsState() == glBefore);
    }
}

TEST_F(CommandsTest, RealShiftedKeyPressSetsShiftOnly) {
    // A real key event through the window's keyboard callback, sent to the window by xdotool.
    unsigned long window = static_cast<unsigned long>(glXGetCurrentDrawable());
    ASSERT_NE(window, 0u);
    std::string command = "xdotool key --window " + std::to_string(window) + " shift+z";
    ASSERT_EQ(std::system(command.c_str()), 0);
    viewer.mode = Look;
    EXPECT_TRUE(PumpEventsUntil([this] { return viewer.shiftDown != 0; }));
    EXPECT_EQ(viewer.shiftDown, 1);
    EXPECT_EQ(viewer.ctrlDown, 0);
    EXPECT_EQ(viewer.altDown, 0);
    EXPECT_EQ(viewer.mode, Look);
}

TEST_F(CommandsTest, EscapeEndsTheProcessWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Press(27), testing::ExitedWithCode(1), "");
}

TEST_F(CommandsTest, MenusAreCreatedInOrderWithTheirEntries) {
    // PathPlay, Cam View, Cam Display, Viewer Options, OpenGL Options, then the main menu.
    const int expectedEntries[] = {3, 4, 4, 5, 8, 10};
    EXPECT_EQ(glutGetMenu(), viewer.mainMenu);
    EXPECT_EQ(viewer.mainMenu, menusBefore + 6);
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        glutSetMenu(viewer.mainMenu - 5 + k);
        EXPECT_EQ(glutGet(GLUT_MENU_NUM_ITEMS), expectedEntries[k]);
    }
}

TEST_F(CommandsTest, DumpPrintsTheCurrentCamera) {
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
    eye.Set(1.0f, 2.0f, 3.0f);
    centre.Set(1.0f, 2.0f, -7.0f);
    up.Set(0.0f, 1.0f, 0.0f);
    viewer.cameras[2].LookAt(eye, centre, up);
    viewer.cameras[2].SetPerspective(45.0f, 1.5f, 0.5f, 20.0f);
    Viewer::SelectCamera(2);

    testing::internal::CaptureStdout();
    Viewer::ViewerOptionsMenu(kViewerOptionDumpCamera);
    std::string output = testing::internal::GetCapturedStdout();
    // The centre is one unit in front of the eye, and 45 degrees read back as 44.999760.
    EXPECT_EQ(output,
              "--- CURRENT CAM PARAMS ---\n"
              "       Eye: (1.000, 2.000, 3.000)\n"
              "LookAtCntr: (1.000, 2.000, 2.000)\n"
              "    ViewUp: (0.000, 1.000, 0.000)\n"
              "     Y FOV: 44.999760\n"
              "    Aspect: 1.500000\n"
              "      Near: 0.500000\n"
              "       Far: 20.000000\n");
}

// The eight lines "Dump Cam Params" prints for the current camera.
std::vector<std::string> DumpLines() {
    testing::internal::CaptureStdout();
    Viewer::ViewerOptionsMenu(kViewerOptionDumpCamera);
    std::istringstream output(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The field of view a dump prints, or -1 without one.
float DumpedFovy(const std::vector<std::string>& lines) {
    float fovy = -1.0f;
    if (lines.size() < 5 || std::sscanf(lines[4].c_str(), "     Y FOV: %f", &fovy) != 1) {
        return -1.0f;
    }
    return fovy;
}

TEST_F(CommandsTest, DumpShowsTheFieldOfViewShrunkOncePerAspectUpdate) {
    // Placed as the application places them, round a box from (-1, -1, -1) to (3, 3, 3): the
    // near distance is a hundredth of the box's half diagonal, sqrt(12).
    viewer.SetCameras(Vec3{-1.0f, -1.0f, -1.0f}, Vec3{3.0f, 3.0f, 3.0f}, Vec3{1.0f, 1.0f, 12.0f},
                      Vec3{1.0f, 1.0f, 1.0f}, Vec3{0.0f, 1.0f, 0.0f}, 45.0f, 1.0f, 0.01f, 10.0f);
    float zNear = viewer.cameras[0].zNear;
    ASSERT_NEAR(zNear, 0.01f * std::sqrt(12.0f), 1e-7f);
    float placed = FieldOfViewReadBack(45.0f, zNear);
    float shrunkOnce = FieldOfViewReadBack(placed, zNear);
    float shrunkTwice = FieldOfViewReadBack(shrunkOnce, zNear);

    // The window's first reshape, then a second one of the same size.
    viewer.Reshape(512, 512);
    std::vector<std::string> square = DumpLines();
    ASSERT_EQ(square.size(), 8u);
    EXPECT_NEAR(DumpedFovy(square), shrunkOnce, 1e-5f);
    EXPECT_NEAR(DumpedFovy(square), 44.99952f, 1e-5f);
    viewer.Reshape(512, 512);
    EXPECT_NEAR(DumpedFovy(DumpLines()), shrunkTwice, 1e-5f);
    EXPECT_NEAR(DumpedFovy(DumpLines()), 44.99928f, 1e-5f);

    // "Reset Orig Views" starts again from the placement: one shrink, in the square test window.
    Press('r');
    EXPECT_EQ(DumpLines(), square);

    // After the same number of updates, a wide window changes the aspect and nothing else.
    viewer.Reshape(512, 512);
    std::vector<std::string> squareAgain = DumpLines();
    Press('r');
    viewer.Reshape(800, 400);
    std::vector<std::string> wide = DumpLines();
    ASSERT_EQ(wide.size(), squareAgain.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        SCOPED_TRACE(i);
        if (i == 5) {
            EXPECT_EQ(squareAgain[i], "    Aspect: 1.000000");
            EXPECT_EQ(wide[i], "    Aspect: 2.000000");
        } else {
            EXPECT_EQ(wide[i], squareAgain[i]);
        }
    }
}

TEST_F(CommandsTest, UnknownViewerOptionsAndPathEntriesDoNothing) {
    testing::internal::CaptureStdout();
    for (int value : {0, 6, -1}) {
        Viewer::ViewerOptionsMenu(value);
        Viewer::PathPlayMenu(value);
    }
    Viewer::PathPlayMenu(4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(viewer.inOut, 0);
    EXPECT_EQ(viewer.inertiaEnabled, 1);
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_FALSE(std::filesystem::exists(kCameraPathFile));
}

TEST_F(CommandsTest, PathPlayMenuRecordsPlaysAndStopsTheFixedFile) {
    testing::internal::CaptureStdout();
    Viewer::PathPlayMenu(1);
    ASSERT_EQ(viewer.isRecording, 1);
    Matrix4 view;
    viewer.ViewingMatrix(view);
    Viewer::PathPlayMenu(1);
    Viewer::PathPlayMenu(2);
    ASSERT_EQ(viewer.isPlayingBack, 1);
    Viewer::PathPlayMenu(3);
    Viewer::PathPlayMenu(3);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.substr(0, 35), "Already recording!\nCAM PLAYBACK...\n");
    EXPECT_NE(output.find(" seconds\nNot recording or playing back!\n"), std::string::npos)
        << output;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(directory) / kCameraPathFile));
}

TEST_F(CommandsTest, RecordInADirectoryThatCannotHoldTheFileFails) {
    // The working directory is gone, so creating the path file fails even for root.
    std::filesystem::path gone = directory / "gone";
    std::filesystem::create_directory(gone);
    std::filesystem::current_path(gone);
    std::filesystem::remove(gone);
    testing::internal::CaptureStdout();
    Viewer::PathPlayMenu(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR (StartRecording) fp==NULL\n");
    EXPECT_EQ(viewer.isRecording, 0);
    EXPECT_EQ(viewer.pathFile, nullptr);
}

TEST(CommandsWithoutWindowTest, CommandsWithoutARegisteredViewerDoNothing) {
    // No viewer is registered for the current window (if any), so nothing may change.
    GlInitOnce();
    ASSERT_EQ(Viewer::Current(), nullptr);
    testing::internal::CaptureStdout();
    Viewer::SelectMode(Drive);
    Viewer::ViewerOptionsMenu(kViewerOptionDumpCamera);
    Viewer::OpenGLOptionsMenu(kOpenGLOptionLighting);
    Viewer::PathPlayMenu(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(std::filesystem::exists(kCameraPathFile));
}

}  // namespace
