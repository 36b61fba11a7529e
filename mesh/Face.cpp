#include "mesh/Face.h"

#include "mesh/HalfEdge.h"
#include "mesh/MeshVertex.h"

Face::Face(HalfEdge* halfEdge0, HalfEdge* halfEdge1, HalfEdge* halfEdge2)
    : halfEdges{halfEdge0, halfEdge1, halfEdge2} {
    LinkHalfEdges();
}

void Face::LinkHalfEdges() {
    for (int corner = 0; corner < 3; ++corner) {
        halfEdges[corner]->next = halfEdges[(corner + 1) % 3];
        halfEdges[corner]->face = this;
    }
}

void Face::UpdateGeometry() {
    for (HalfEdge* halfEdge : halfEdges) {
        halfEdge->UpdateGeometry();
    }
    ComputeNormal();
}

void Face::ComputeNormal() {
    normal = NormalOf(halfEdges[1]->direction, halfEdges[2]->direction);
    const Vec3& p = Vertex0()->position;
    planeOffset = static_cast<double>(normal.x) * p.x + static_cast<double>(normal.y) * p.y +
                  static_cast<double>(normal.z) * p.z;
}

Vec3 Face::NormalOf(const Vec3& direction1, const Vec3& direction2) {
    // A zero cross product (degenerate or collinear face) stays (0, 0, 0).
    Vec3 normal;
    Vec3Cross(direction1, direction2, normal);
    Vec3DivideByLength(normal);
    return normal;
}

void Face::ClassifyDegeneracy() {
    int count = 0;
    for (const HalfEdge* halfEdge : halfEdges) {
        if (halfEdge->degenerate == 1) {
            ++count;
        }
    }
    if (count == 3) {
        degeneracy = 1;
    } else if (count > 0) {
        degeneracy = 2;
    }
}
