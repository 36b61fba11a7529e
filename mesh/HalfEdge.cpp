#include "mesh/HalfEdge.h"

#include "mesh/Face.h"
#include "mesh/MeshVertex.h"

void HalfEdge::ComputeDirection() {
    Vec3 d;
    Vec3Subtract(EndVertex()->position, origin->position, d);
    length = Vec3DivideByLength(d);
    // A zero-length edge has no direction; (0, 0, 0) keeps NaN out of every normal.
    if (length > 0.0f) {
        direction = d;
    } else {
        Vec3Zero(direction);
    }
}

void HalfEdge::ComputeDirectionWithTwin() {
    ComputeDirection();
    twin->ComputeDirectionFromTwin();
}

void HalfEdge::ComputeDirectionFromTwin() {
    ComputeDirectionOppositeTo(*twin);
}

void HalfEdge::ComputeDirectionOppositeTo(const HalfEdge& other) {
    length = other.length;
    direction.Set(-other.direction.x, -other.direction.y, -other.direction.z);
    Vec3DivideByLength(direction);
}

void HalfEdge::UpdateGeometry() {
    if (processed) {
        // The twin already gave this half-edge its direction and length in this pass.
        processed = false;
        return;
    }
    if (twin != nullptr) {
        ComputeDirectionWithTwin();
        twin->processed = true;
    } else {
        ComputeDirection();
    }
}

void HalfEdge::ComputeCrease() {
    if (twin == nullptr) {
        crease = true;
        return;
    }
    crease = Vec3Dot(face->normal, twin->face->normal) < 0.0f;
}

void HalfEdge::MarkBoundary() {
    if (twin != nullptr) {
        return;
    }
    origin->boundary = true;
    EndVertex()->boundary = true;
}
