#include "mesh/Face.h"

#include <cmath>

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
    // The arithmetic of Vec3Cross and Vec3Length written out, so that it inlines in this pass
    // over every face; the operations and their order are the same.
    const Vec3& a = halfEdges[1]->direction;
    const Vec3& b = halfEdges[2]->direction;
    Vec3 n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    // A zero cross product (degenerate or collinear face) stays (0, 0, 0).
    if (length > 0.0f) {
        n.x /= length;
        n.y /= length;
        n.z /= length;
    }
    normal = n;
    const Vec3& p = Vertex0()->position;
    planeOffset = static_cast<double>(normal.x) * p.x + static_cast<double>(normal.y) * p.y +
                  static_cast<double>(normal.z) * p.z;
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
