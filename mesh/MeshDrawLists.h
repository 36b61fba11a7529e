#pragma once

#include <cstdint>

class Mesh;

// The display lists one mesh is drawn from: drawing's own cache beside the mesh, which knows
// nothing of it. A choice of normals is recorded when it is drawn a second time in a row, and
// replayed afterwards; every frame looks and leaves the OpenGL state as Mesh::Draw does.
class MeshDrawLists {
public:
    // Bytes the OpenGL driver may still take for display lists: a list whose estimate
    // (MeshMemoryDrawListNeed) exceeds it is not recorded, and its faces are sent as they stand.
    // Recording takes from it, releasing the lists gives back; 0 from the moment the driver
    // could not record a list (it ran out of memory). Unlimited unless a caller knows better.
    std::uint64_t budget = UINT64_MAX;

    // Reads and clears one of the OpenGL driver's error flags (glGetError); the drawing checks
    // through it whether the driver recorded or drew everything. Tests replace it to stand for a
    // driver that runs out of memory, which Mesa cannot be made to do reliably.
    static unsigned int (*getError)();

    // The lists of mesh, none recorded yet; the mesh must outlive them.
    explicit MeshDrawLists(Mesh& mesh);
    // Deletes the lists recorded, in the OpenGL context they were recorded in, which must be
    // current; with none recorded no OpenGL is needed.
    ~MeshDrawLists();
    MeshDrawLists(const MeshDrawLists&) = delete;
    MeshDrawLists& operator=(const MeshDrawLists&) = delete;

    // Draws every face of the mesh as Mesh::Draw does, from a list where one is recorded; needs a
    // current OpenGL context. Lists recorded before the mesh's elements changed are not replayed.
    void Draw();
    // Deletes the lists; they are recorded again when next drawn.
    void Release();

private:
    // The faces as a list records them; a mesh in one colour gets it once.
    void DrawFacesForList();
    // With vertex normals, the faces of a mesh in one colour as one indexed draw over the vertex
    // records; false, having sent nothing, when the corner list cannot be had, and false also when
    // the driver had no room for the slices (drawn then in part: the caller draws every face
    // again, which gives the same pixels). While recording, a slice list that fails to record
    // ends the recording early (recordingFailed).
    bool DrawFacesIndexed();
    // True when the driver reported an error since the last call: the recording or drawing
    // before it did not complete. Every pending error is taken.
    static bool TakeErrors();

    Mesh& mesh;
    // The mesh's elementsVersion the lists were recorded from.
    std::uint64_t recordedVersion;
    // First display list per choice of normals (none, face, vertex), 0 until recorded, and the
    // number of consecutive lists the choice was recorded in.
    unsigned int lists[3] = {0, 0, 0};
    int listCounts[3] = {0, 0, 0};
    // The budget each recorded choice took.
    std::uint64_t listCosts[3] = {0, 0, 0};
    // The normals choice of the last frame drawn without a list, -1 for none.
    int lastChoice = -1;
    // A slice list of the recording under way failed to record.
    bool recordingFailed = false;
    // The driver had no room for the indexed slices once; faces go out one by one since.
    bool indexedFailed = false;
};
