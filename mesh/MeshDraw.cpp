#include <GL/gl.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "mesh/Face.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"
#include "mesh/MeshVertex.h"

namespace {

// Specular exponent of every material the mesh sets.
constexpr GLfloat kShininess = 30.0f;
// Vertices on an edge without twin.
constexpr GLfloat kBoundaryColour[4] = {1.0f, 0.0f, 0.0f, 1.0f};
// All other vertices.
constexpr GLfloat kInteriorColour[4] = {0.0f, 1.0f, 0.0f, 1.0f};
// Corners per indexed draw of the first frame: a whole number of triangles, small enough that
// the driver's copy of a slice stays a few hundred kilobytes.
constexpr std::size_t kCornersPerSlice = 3 * 21845;

// The same RGBA as material for both sides and as current colour.
void SetMaterial(const GLfloat* rgba) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, rgba);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, rgba);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, kShininess);
    glColor4fv(rgba);
}

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

unsigned int (*Mesh::drawGetError)() = GetGlError;

void Mesh::Draw() {
    BeginDraw();
    // Options that point at caller data are sent as they stand, never recorded.
    if (drawOptions.texCoords != nullptr || drawOptions.colours != nullptr ||
        drawOptions.material != nullptr) {
        DrawFaces();
        return;
    }
    if (drawListsStale) {
        ReleaseDrawLists();
        drawListsStale = false;
    }
    // The normals choice decides the command stream; everything else in it is mesh data, which
    // the mesh changes only in its construction and geometry passes (they mark the lists stale).
    const int choice = drawOptions.vertexNormals ? 2 : (drawOptions.faceNormals ? 1 : 0);
    GLuint& list = drawLists[choice];
    GLint& listCount = drawListCounts[choice];
    if (list != 0) {
        CallDrawLists(list, listCount);
        // The replay ends where the walk over the faces would have ended.
        faceCursor = faces.end();
        return;
    }
    // A choice is recorded when it is drawn a second time in a row: recording costs about three
    // immediate frames, so the first frame (and a choice that is only passed through) goes out
    // at once and the steady state gets the list.
    // Mesa aborts or crashes as often as it reports an error when memory runs out while it
    // records, so a list is recorded only where its estimate fits what is left for lists.
    const std::uint64_t cost =
        MeshMemoryDrawListNeed(static_cast<int>(faces.size()), drawOptions.vertexNormals);
    const bool record = choice == lastDrawChoice && cost <= drawListBudget;
    lastDrawChoice = choice;
    // An indexed draw is recorded one slice a list (see DrawFacesIndexed).
    const GLint count =
        choice == 2 ? static_cast<GLint>(halfEdges.size() / kCornersPerSlice + 1) : 1;
    if (!record || (list = glGenLists(count)) == 0) {
        DrawFacesForList();
        return;
    }
    listCount = count;
    drawListCosts[choice] = cost;
    drawListBudget -= cost;
    drawListRelease = &Mesh::ReleaseDrawLists;
    // Errors left from before are not the recording's.
    DrawTakeErrors();
    drawListFailed = false;
    glNewList(list, GL_COMPILE);
    DrawFacesForList();
    glEndList();
    // A list the driver could not record whole (no memory for it) would replay a partial
    // picture every frame: every list goes, and the faces are sent as they stand from now on.
    if (DrawTakeErrors() || drawListFailed) {
        ReleaseDrawLists();
        drawListBudget = 0;
        DrawFacesForList();
        return;
    }
    CallDrawLists(list, listCount);
}

bool Mesh::DrawTakeErrors() {
    // each call takes one error flag; a driver keeps at most a few
    constexpr int kMostErrorFlags = 16;
    bool any = false;
    for (int k = 0; k < kMostErrorFlags && drawGetError() != GL_NO_ERROR; ++k) {
        any = true;
    }
    return any;
}

void Mesh::DrawImmediate() {
    BeginDraw();
    DrawFaces();
}

void Mesh::ReleaseDrawLists() {
    lastDrawChoice = -1;
    for (int choice = 0; choice < 3; ++choice) {
        if (drawLists[choice] != 0) {
            glDeleteLists(drawLists[choice], drawListCounts[choice]);
            drawLists[choice] = 0;
            drawListCounts[choice] = 0;
            drawListBudget += drawListCosts[choice];
            drawListCosts[choice] = 0;
        }
    }
}

void Mesh::BeginDraw() {
    GLint shadeModel = GL_FLAT;
    glGetIntegerv(GL_SHADE_MODEL, &shadeModel);
    GLboolean lighting = GL_FALSE;
    glGetBooleanv(GL_LIGHTING, &lighting);

    const GLfloat meshColour[4] = {colour.x, colour.y, colour.z, 1.0f};
    SetMaterial(meshColour);

    // Vertex normals only where they show: smooth, lit and with valid twins.
    if (shadeModel == GL_SMOOTH && lighting == GL_TRUE && connected) {
        drawOptions.vertexNormals = geometryComputed;
        drawOptions.faceNormals = false;
    } else {
        drawOptions.vertexNormals = false;
        drawOptions.faceNormals = geometryComputed;
    }
}

void Mesh::DrawFaces() {
    glBegin(GL_TRIANGLES);
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        (*faceCursor)->Draw(drawOptions);
    }
    glEnd();
}

void Mesh::DrawFacesForList() {
    // A list keeps an attribute given inside glBegin/glEnd as data of every vertex, while one
    // given before glBegin is a single state change. When every corner has the same colour
    // (every closed mesh), that colour goes in once before glBegin: the current colour and
    // material at every vertex, and so every pixel, stay those of the full stream, the list is
    // about a fifth smaller, and the driver has less to carry per vertex also when the stream is
    // sent without a list. A mesh with both colours gets the full stream.
    // The corners are the vertices with an outgoing half-edge (every corner starts one), so one
    // walk along the vertex records finds the colours without reaching each face's corners.
    const bool boundary = faces.empty() || faces.front()->Vertex0()->boundary;
    for (const MeshVertex* vertex : vertices) {
        if (vertex->halfEdge != nullptr && vertex->boundary != boundary) {
            DrawFaces();
            return;
        }
    }
    if (!faces.empty()) {
        SetMaterial(boundary ? kBoundaryColour : kInteriorColour);
    }
    if (drawOptions.vertexNormals && !indexedDrawFailed && DrawFacesIndexed()) {
        return;
    }
    // Only the normals choice varies here: the per-face options are never recorded.
    glBegin(GL_TRIANGLES);
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        const Face* face = *faceCursor;
        if (drawOptions.faceNormals) {
            glNormal3f(face->normal.x, face->normal.y, face->normal.z);
        }
        for (const HalfEdge* halfEdge : face->halfEdges) {
            const MeshVertex* vertex = halfEdge->origin;
            if (drawOptions.vertexNormals) {
                glNormal3f(vertex->normal.x, vertex->normal.y, vertex->normal.z);
            }
            glVertex3f(vertex->position.x, vertex->position.y, vertex->position.z);
        }
    }
    glEnd();
}

bool Mesh::DrawFacesIndexed() {
    // With vertex normals a corner sends exactly its vertex's position and normal, so the faces
    // can go out as one indexed draw over the vertex records: the driver then lights each vertex
    // about once instead of once per corner, with the same inputs and so the same pixels.
    const std::size_t cornerCount = halfEdges.size();
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
        DrawTakeErrors();
    }
    const MeshVertex* const vertexBase = vertices.front();
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), &vertexBase->position.x);
    glNormalPointer(GL_FLOAT, sizeof(MeshVertex), &vertexBase->normal.x);
    // The half-edge list is the corner list, so it is read without the face records.
    std::size_t corner = 0;
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end(); ++halfEdgeCursor) {
        corners[corner++] = static_cast<GLuint>(vertices.PositionOf((*halfEdgeCursor)->origin));
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
                if (DrawTakeErrors()) {
                    drawListFailed = true;
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
    if (recording == 0 && DrawTakeErrors()) {
        indexedDrawFailed = true;
        return false;
    }
    // Every face is drawn: the face cursor ends where a walk over the faces leaves it.
    faceCursor = faces.end();
    // The current normal is left as the last corner of the stream leaves it.
    const Vec3& lastNormal = faces.back()->Vertex2()->normal;
    glNormal3f(lastNormal.x, lastNormal.y, lastNormal.z);
    return true;
}

void Face::Draw(const DrawOptions& options) const {
    if (options.faceNormals) {
        glNormal3f(normal.x, normal.y, normal.z);
    }
    if (options.colours != nullptr) {
        glColor4uiv(options.colours);
    }
    if (options.material != nullptr) {
        SetMaterial(options.material);
    }
    const MeshVertex* corners[3] = {Vertex0(), Vertex1(), Vertex2()};
    for (int corner = 0; corner < 3; ++corner) {
        if (options.texCoords != nullptr) {
            glTexCoord2fv(options.texCoords + 2 * corner);
        }
        corners[corner]->Draw(options);
    }
}

void MeshVertex::Draw(const DrawOptions& options) const {
    if (options.vertexNormals) {
        glNormal3f(normal.x, normal.y, normal.z);
    }
    SetMaterial(boundary ? kBoundaryColour : kInteriorColour);
    glVertex3f(position.x, position.y, position.z);
}
