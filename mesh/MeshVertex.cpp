#include "mesh/MeshVertex.h"

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
        Vec3Add(normal, it.current->face->normal, normal);
        it.Advance();
    }
    // Normals that cancel leave a zero sum, which is kept rather than divided.
    Vec3DivideByLength(normal);
    return normal;
}

void MeshVertex::ComputeValenceAndNormal() {
    valence = 0;
    Vec3Zero(normal);
    VertexFanIterator it(*this);
    while (!it.done) {
        ++valence;
        Vec3Add(normal, it.current->face->normal, normal);
        it.Advance();
    }
    Vec3DivideByLength(normal);
}
