#pragma once

#include "app/ZelMesh.h"

// Merges vertices at exactly the same position (0 and -0 count as the same), keeping them in the
// order of their first appearance, renumbers the faces, and returns the new vertex count.
int ZelMeshWeld(ZelMesh* mesh);
