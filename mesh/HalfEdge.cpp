#include "mesh/HalfEdge.h"

#include <cmath>

#include "mesh/Face.h"
#include "mesh/MeshVertex.h"

namespace {

// Divides v by its length when that length is positive; returns the length.
float DivideByLength(Vec3& v) {
    // Vec3Length written out, so that it inlines in the per-half-edge passes.
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length > 0.0f) {
        v.x /= length;
        v.y /= length;
        v.z /= length;
    }
    return length;
}

}  // namespace

void HalfEdge::ComputeDirection() {
    const Vec3& end = EndVertex()->position;
    const Vec3& start = origin->position;
    Vec3 d{end.x - start.x, end.y - start.y, end.z - start.z};
    length = DivideByLength(d);
    // A zero-length edge has no direction; (0, 0, 0) keeps NaN out of every normal.
    if (length > 0.0f) {
        direction = d;
    } else {
        Vec3Zero(direction);
    }
}

void HalfEdge::ComputeDirectionWithTwin() {
    ComputeDirection();
    twin->length = length;
    twin->direction = Vec3{-direction.x, -direction.y, -direction.z};
    DivideByLength(twin->direction);
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
    const Vec3& a = face->normal;
    const Vec3& b = twin->face->normal;
    crease = a.x * b.x + a.y * b.y + a.z * b.z < 0.0f;
}

void HalfEdge::MarkBoundary() {
    if (twin != nullptr) {
        return;
    }
    origin->boundary = true;
    EndVertex()->boundary = true;
}
