#include <GL/gl.h>

#include "mesh/Face.h"
#include "mesh/Mesh.h"
#include "mesh/MeshVertex.h"

namespace {

// Specular exponent of every material the mesh sets.
constexpr GLfloat kShininess = 30.0f;
// Vertices on an edge without twin.
constexpr GLfloat kBoundaryColour[4] = {1.0f, 0.0f, 0.0f, 1.0f};
// All other vertices.
constexpr GLfloat kInteriorColour[4] = {0.0f, 1.0f, 0.0f, 1.0f};

// The same RGBA as material for both sides and as current colour.
void SetMaterial(const GLfloat* rgba) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, rgba);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, rgba);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, kShininess);
    glColor4fv(rgba);
}

}  // namespace

void Mesh::Draw() {
    BeginDraw();
    DrawFaces();
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
    DrawColour(boundary);
    glVertex3f(position.x, position.y, position.z);
}

void MeshVertex::DrawColour(bool onBoundary) {
    SetMaterial(onBoundary ? kBoundaryColour : kInteriorColour);
}
