#include "mesh/MeshVertex.h"

#include <cmath>

#include "mesh/Face.h"
#include "mesh/HalfEdge.h"
#include "mesh/VertexRingIterator.h"

std::int32_t MeshVertex::ComputeValence() {
    valence = 0;
    VertexFanIterator it(*this);
    while (!it.done) {
        ++valence;
        it.Advance();
    }
    return valence;
}

Vec3 MeshVertex::ComputeNormal() {
    Vec3Zero(normal);
    VertexFanIterator it(*this);
    while (!it.done) {
        const Vec3& faceNormal = it.current->face->normal;
        normal.x += faceNormal.x;
        normal.y += faceNormal.y;
        normal.z += faceNormal.z;
        it.Advance();
    }
    // Normals that cancel leave a zero sum, which is kept rather than divided.
    float length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    if (length > 0.0f) {
        normal.x /= length;
        normal.y /= length;
        normal.z /= length;
    }
    return normal;
}
