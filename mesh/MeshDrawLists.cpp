#include "mesh/MeshDrawLists.h"

#include <GL/gl.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "mesh/Face.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"
#include "mesh/MeshVertex.h"

namespace {

// Corners per indexed draw of the first frame: a whole number of triangles, small enough that
// the driver's copy of a slice stays a few hundred kilobytes.
constexpr std::size_t kCornersPerSlice = 3 * 21845;

// Replays consecutive lists with a flush between them, so the driver bins one at a time.
void CallDrawLists(GLuint first, GLint count) {
    for (GLint k = 0; k < count; ++k) {
        if (k > 0) {
            glFlush();
        }
        glCallList(first + static_cast<GLuint>(k));
    }
}

unsigned int GetGlError() {
    return glGetError();
}

}  // namespace

unsigned int (*MeshDrawLists::getError)() = GetGlError;

MeshDrawLists::MeshDrawLists(Mesh& listedMesh)
    : mesh(listedMesh), recordedVersion(listedMesh.elementsVersion) {}

MeshDrawLists::~MeshDrawLists() {
    Release();
}

void MeshDrawLists::Draw() {
    mesh.BeginDraw();
    // Options that point at caller data are sent as they stand, never recorded.
    const DrawOptions& options = mesh.drawOptions;
    if (options.texCoords != nullptr || options.colours != nullptr || options.material != nullptr) {
        mesh.DrawFaces();
        return;
    }
    if (mesh.elementsVersion != recordedVersion) {
        Release();
        recordedVersion = mesh.elementsVersion;
    }
    // The normals choice decides the command stream; everything else in it is mesh data, which
    // the mesh changes only in its construction and geometry passes (they raise its version).
    const int choice = options.vertexNormals ? 2 : (options.faceNormals ? 1 : 0);
    GLuint& list = lists[choice];
    GLint& listCount = listCounts[choice];
    if (list != 0) {
        CallDrawLists(list, listCount);
        // The replay ends where the walk over the faces would have ended.
        mesh.faceCursor = mesh.faces.end();
        return;
    }
    // A choice is recorded when it is drawn a second time in a row: recording costs about three
    // immediate frames, so the first frame (and a choice that is only passed through) goes out
    // at once and the steady state gets the list.
    // Mesa aborts or crashes as often as it reports an error when memory runs out while it
    // records, so a list is recorded only where its estimate fits what is left for lists.
    const std::uint64_t cost =
        MeshMemoryDrawListNeed(static_cast<int>(mesh.faces.size()), options.vertexNormals);
    const bool record = choice == lastChoice && cost <= budget;
    lastChoice = choice;
    // An indexed draw is recorded one slice a list (see DrawFacesIndexed).
    const GLint count =
        choice == 2 ? static_cast<GLint>(mesh.halfEdges.size() / kCornersPerSlice + 1) : 1;
    if (!record || (list = glGenLists(count)) == 0) {
        DrawFacesForList();
        return;
    }
    listCount = count;
    listCosts[choice] = cost;
    budget -= cost;
    // Errors left from before are not the recording's.
    TakeErrors();
    recordingFailed = false;
    glNewList(list, GL_COMPILE);
    DrawFacesForList();
    glEndList();
    // A list the driver could not record whole (no memory for it) would replay a partial
    // picture every frame: every list goes, and the faces are sent as they stand from now on.
    if (TakeErrors() || recordingFailed) {
        Release();
        budget = 0;
        DrawFacesForList();
        return;
    }
    CallDrawLists(list, listCount);
}

bool MeshDrawLists::TakeErrors() {
    // each call takes one error flag; a driver keeps at most a few
    constexpr int kMostErrorFlags = 16;
    bool any = false;
    for (int k = 0; k < kMostErrorFlags && getError() != GL_NO_ERROR; ++k) {
        any = true;
    }
    return any;
}

void MeshDrawLists::Release() {
    lastChoice = -1;
    for (int choice = 0; choice < 3; ++choice) {
        if (lists[choice] != 0) {
            glDeleteLists(lists[choice], listCounts[choice]);
            lists[choice] = 0;
            listCounts[choice] = 0;
            budget += listCosts[choice];
            listCosts[choice] = 0;
        }
    }
}

void MeshDrawLists::DrawFacesForList() {
    // A list keeps an attribute given inside glBegin/glEnd as data of every vertex, while one
    // given before glBegin is a single state change. When every corner has the same colour
    // (every closed mesh), that colour goes in once before glBegin: the current colour and
    // material at every vertex, and so every pixel, stay those of the full stream, the list is
    // about a fifth smaller, and the driver has less to carry per vertex also when the stream is
    // sent without a list. A mesh with both colours gets the full stream.
    // The corners are the vertices with an outgoing half-edge (every corner starts one), so one
    // walk along the vertex records finds the colours without reaching each face's corners.
    const bool boundary = mesh.faces.empty() || mesh.faces.front()->Vertex0()->boundary;
    for (const MeshVertex* vertex : mesh.vertices) {
        if (vertex->halfEdge != nullptr && vertex->boundary != boundary) {
            mesh.DrawFaces();
            return;
        }
    }
    if (!mesh.faces.empty()) {
        MeshVertex::DrawColour(boundary);
    }
    const DrawOptions& options = mesh.drawOptions;
    if (options.vertexNormals && !indexedFailed && DrawFacesIndexed()) {
        return;
    }
    // Only the normals choice varies here: the per-face options are never recorded.
    glBegin(GL_TRIANGLES);
    for (mesh.faceCursor = mesh.faces.begin(); mesh.faceCursor != mesh.faces.end();
         ++mesh.faceCursor) {
        const Face* face = *mesh.faceCursor;
        if (options.faceNormals) {
            glNormal3f(face->normal.x, face->normal.y, face->normal.z);
        }
        for (const HalfEdge* halfEdge : face->halfEdges) {
            const MeshVertex* vertex = halfEdge->origin;
            if (options.vertexNormals) {
                glNormal3f(vertex->normal.x, vertex->normal.y, vertex->normal.z);
            }
            glVertex3f(vertex->position.x, vertex->position.y, vertex->position.z);
        }
    }
    glEnd();
}

bool MeshDrawLists::DrawFacesIndexed() {
    // With vertex normals a corner sends exactly its vertex's position and normal, so the faces
    // can go out as one indexed draw over the vertex records: the driver then lights each vertex
    // about once instead of once per corner, with the same inputs and so the same pixels.
    const std::size_t cornerCount = mesh.halfEdges.size();
    if (cornerCount == 0 || cornerCount > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    // The faces go out in slices through one small index buffer: the driver then copies and
    // bins a slice at a time instead of holding a copy of the whole mesh for the first frame.
    // The triangles and their order are those of one draw, so the frame is the same.
    // From the C heap: a missing buffer is answered here, where the faces can still go out one
    // by one, and not by a handler for failed allocations.
    const std::unique_ptr<GLuint[], decltype(&std::free)> corners(
        static_cast<GLuint*>(std::malloc(kCornersPerSlice * sizeof(GLuint))), &std::free);
    if (!corners) {
        return false;
    }
    GLint recording = 0;
    glGetIntegerv(GL_LIST_INDEX, &recording);
    // Errors left from before are not the draw's.
    if (recording == 0) {
        TakeErrors();
    }
    const MeshVertex* const vertexBase = mesh.vertices.front();
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), &vertexBase->position.x);
    glNormalPointer(GL_FLOAT, sizeof(MeshVertex), &vertexBase->normal.x);
    // The half-edge list is the corner list, so it is read without the face records.
    std::size_t corner = 0;
    for (mesh.halfEdgeCursor = mesh.halfEdges.begin(); mesh.halfEdgeCursor != mesh.halfEdges.end();
         ++mesh.halfEdgeCursor) {
        corners[corner++] =
            static_cast<GLuint>(mesh.vertices.PositionOf((*mesh.halfEdgeCursor)->origin));
        if (corner == kCornersPerSlice) {
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corner), GL_UNSIGNED_INT,
                           corners.get());
            // Ending the driver's batch here keeps its binned triangles to a slice or two; a
            // list cannot hold a flush, so while recording the next slice goes to the next list
            // and the replay flushes between them.
            corner = 0;
            if (recording != 0) {
                glEndList();
                // a list that did not record ends the recording: the caller's glEndList then
                // finds none open, and every list goes
                if (TakeErrors()) {
                    recordingFailed = true;
                    break;
                }
                glNewList(static_cast<GLuint>(++recording), GL_COMPILE);
            } else {
                glFlush();
            }
        }
    }
    if (corner > 0) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corner), GL_UNSIGNED_INT, corners.get());
    }
    glPopClientAttrib();
    if (recording == 0 && TakeErrors()) {
        indexedFailed = true;
        return false;
    }
    // Every face is drawn: the face cursor ends where a walk over the faces leaves it.
    mesh.faceCursor = mesh.faces.end();
    // The current normal is left as the last corner of the stream leaves it.
    const Vec3& lastNormal = mesh.faces.back()->Vertex2()->normal;
    glNormal3f(lastNormal.x, lastNormal.y, lastNormal.z);
    return true;
}
