#pragma once

#include <cstdint>
#include <cstdio>

#include "camera/Camera.h"
#include "camera/Matrix4.h"
#include "camera/Vec3.h"

// How a left-button drag moves the current camera.
enum NavigationMode { TrackBall = 0, HyperBall = 1, Drive = 2, Translate = 3, Look = 4 };

// Values of the "Viewer Options" menu entries.
enum ViewerOption {
    kViewerOptionSnapshot = 1,
    kViewerOptionInOut = 2,
    kViewerOptionResetViews = 3,
    kViewerOptionInertia = 4,
    kViewerOptionDumpCamera = 5
};

// Values of the "OpenGL Options" menu entries (4 and 5 have no entry).
enum OpenGLOption {
    kOpenGLOptionLocalViewer = 1,
    kOpenGLOptionPolygonMode = 2,
    kOpenGLOptionFaceCulling = 3,
    kOpenGLOptionShadeModel = 6,
    kOpenGLOptionTwoSidedLighting = 7,
    kOpenGLOptionLighting = 8,
    kOpenGLOptionCulledSide = 9,
    kOpenGLOptionColourMaterial = 10
};

// Wall-clock reading of the frame-rate meter: whole seconds and milliseconds.
struct MeterTime {
    int32_t seconds = 0;
    uint16_t milliseconds = 0;
};

// Name of the camera path file the "PathPlay" menu records to and plays back from.
constexpr const char* kCameraPathFile = "cam_record0.dat";

// Number of slots in the window table; GLUT window ids above kMaxWindowId are refused.
constexpr int kWindowSlots = 33;
constexpr int kMaxWindowId = 32;

// The window object: one GLUT window, four cameras, mouse navigation with inertia, camera path
// recording and playback. Plain GLUT callbacks reach it through the window table.
class Viewer {
public:
    Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    // Releases the camera and display-flag arrays; the window table is not touched.
    virtual ~Viewer();
    // Registers this viewer for window id, installs its callbacks and menus; returns the id or
    // 0 when the id does not fit the table.
    virtual int AttachWindow(int id);
    // GLUT mouse button event.
    virtual void Mouse(int button, int state, int x, int y);
    // GLUT motion event (pointer moved with a button held).
    virtual void Motion(int x, int y);
    // Sets the viewport and the cameras' aspect for a new window size.
    virtual void Reshape(int width, int height);
    // Draws nothing; applications install their own display callback.
    virtual void Display();
    // A key press: modifiers are refreshed, then the key's command runs.
    virtual void Keyboard(unsigned char key, int x, int y);
    // One inertia step: replays the pointer step through Viewer::Motion itself.
    virtual void InertiaMotion(int x, int y);
    // Builds the right-button pop-up menu tree for the current window.
    virtual void CreateMenus();

    // Creates the GLUT window and attaches it; returns what AttachWindow returns.
    int CreateWindow(const char* title, unsigned int displayMode, int x, int y, int width,
                     int height);

    // Places every camera (and the home camera) from the scene box A..B, an eye, a centre and up.
    void SetCameras(const Vec3& cornerA, const Vec3& cornerB, const Vec3& eye, const Vec3& centre,
                    const Vec3& up, float fovy, float aspect, float nearFactor, float farFactor);
    // Camera::SetPerspective with the same values on every camera.
    void SetPerspective(float fovy, float aspect, float zNear, float zFar);
    // Gives every camera a new aspect, keeping the field of view it reads back and its clipping
    // distances.
    void UpdateAspect(float aspect);
    // Every camera back to the home camera, with the window's current aspect.
    void ResetViews();
    // Projection matrix of the current camera; returns out.
    Matrix4& ProjectionMatrix(Matrix4& out);
    // Runs the per-frame camera path step, then returns the current camera's viewing matrix.
    Matrix4& ViewingMatrix(Matrix4& out);
    // Loads the current camera's projection and viewing matrices; counts the frame.
    void BeginFrame();
    // Draws the frusta of the flagged cameras and swaps the buffers.
    void EndFrame();
    // Draws the current camera's view into the back buffer without swapping: matrices, the
    // scene through drawSceneCallback, the flagged frusta. No camera path step runs, so a
    // recording gains no frame and a playback does not move on.
    void DrawCurrentView();
    // Draws the frusta of the cameras whose display flag is set.
    void DrawShownFrusta();
    // Frame-rate meter step (only while meterOn is set).
    void UpdateFrameRate();

    // Elementary navigation operations on the current camera, each for one pointer step
    // from a to b over an extent of c pixels.
    void TranslateX(int a, int b, int c);
    void TranslateY(int a, int b, int c);
    void Dolly(int a, int b, int c);
    void YawInPlace(int a, int b, int c);
    void PitchInPlace(int a, int b, int c);
    void OrbitYaw(int a, int b, int c);
    void OrbitPitch(int a, int b, int c);
    // Virtual trackball rotation about the scene centre for a drag (x1, y1) -> (x2, y2).
    void HyperBallRotate(int x1, int y1, int x2, int y2, int w, int h);

    // Starts (nonzero) or stops (0) the inertia replay.
    void SetInertia(int on);
    // Replays the last pointer step once; returns 0 when inertia is off.
    int InertiaStep();

    // Camera path recording and playback.
    void StartRecording(const char* fileName);
    void EndRecording();
    void StartPlayback(const char* fileName);
    void EndPlayback();
    void StopPathPlay();

    // Menu and key commands; each acts on the viewer of the current GLUT window.
    static void SelectMode(int mode);
    static void ViewerOptionsMenu(int option);
    static void OpenGLOptionsMenu(int option);
    static void PathPlayMenu(int entry);
    static void SelectCamera(int i);
    static void ToggleCameraDisplay(int i);

    // The viewer registered for the current GLUT window, or null.
    static Viewer* Current();

    // Window table indexed by GLUT window id; slot 0 is never filled.
    static Viewer* windows[kWindowSlots];
    // Set by the first viewer constructed, which clears the window table.
    static bool windowsCleared;

    Camera* cameras = nullptr;
    Camera* currentCamera = nullptr;
    Camera homeCamera;
    int32_t isRecording = 0;
    int32_t isPlayingBack = 0;
    std::FILE* pathFile = nullptr;
    Vec3 sceneCentre;
    float sceneRadius = 0.0f;
    Vec3 worldUp;
    int32_t inOut = 0;
    int32_t playbackStartClock = 0;
    int32_t cameraCount = 4;
    MeterTime meterLast;
    int32_t meterOn = 0;
    float frameRate = 0.0f;
    int32_t meterFrames = 0;
    uint8_t leftDown = 0;
    uint8_t middleDown = 0;
    uint8_t rightDown = 0;
    int32_t prevX = 0;
    int32_t prevY = 0;
    int32_t curX = 0;
    int32_t curY = 0;
    float speed = 1.0f;
    uint8_t ctrlDown = 0;
    uint8_t altDown = 0;
    uint8_t shiftDown = 0;
    int32_t inertiaActive = 0;
    int32_t inertiaEnabled = 1;
    uint32_t timerInterval = 10;
    int32_t mainMenu = 0;
    int32_t mode = TrackBall;
    int32_t* cameraShown = nullptr;
    void (*inertiaCallback)(int x, int y) = nullptr;
    // Draws the application's scene (clear included) with the matrices loaded; used when a
    // view must be drawn outside the display callback, as a snapshot does. Null: nothing drawn.
    void (*drawSceneCallback)() = nullptr;
    int32_t windowId = -1;
    // An inertia timer tick is pending for this window, so a new run does not start a second chain.
    uint8_t inertiaTimerArmed = 0;
};

// GLUT callbacks installed by Viewer::AttachWindow: each forwards to the current window's viewer.
void ViewerDisplayFunc();
void ViewerReshapeFunc(int width, int height);
void ViewerKeyboardFunc(unsigned char key, int x, int y);
void ViewerMouseFunc(int button, int state, int x, int y);
void ViewerMotionFunc(int x, int y);
// Stored in Viewer::inertiaCallback; forwards to Viewer::InertiaMotion.
void ViewerInertiaFunc(int x, int y);

// GLUT timer callbacks; value is the window id.
void InertiaTimer(int value);
void PlaybackTimer(int value);
