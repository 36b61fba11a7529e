#pragma once

#include "mesh/Mesh.h"
#include "mesh/MeshDrawLists.h"
#include "viewer/Viewer.h"

// The program's one window object, built during static initialisation.
extern Viewer theViewer;
// The mesh shown in the window; null until start-up has built it.
extern Mesh* theMesh;
// The display lists theMesh is drawn from; while null the mesh is drawn in immediate mode. Like
// the mesh, never released: the process ends without tearing the scene down.
extern MeshDrawLists* theMeshDrawLists;

// Opens the "ZEL viewer" window, installs the callbacks, sets the lights and GL state and places
// the cameras provisionally.
void InitScene();
// Places every camera round the mesh's bounding box, seen from the +z side; a missing or empty
// mesh keeps the placement it has.
void FitCamerasToMesh();

// Clears the window and draws the mesh with the matrices already loaded; the content of every
// frame and of every snapshot.
void DrawScene();
// Display callback: draws one frame and asks for the next.
void DisplayFunc();
// Reshape callback: forwards to theViewer.
void ReshapeFunc(int width, int height);
// Keyboard callback: forwards to theViewer.
void KeyboardFunc(unsigned char key, int x, int y);
// Mouse button callback: forwards to theViewer.
void MouseFunc(int button, int state, int x, int y);
// Motion callback (pointer moved with a button held): forwards to theViewer.
void MotionFunc(int x, int y);
