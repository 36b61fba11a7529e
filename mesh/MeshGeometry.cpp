#include <cassert>
#include <cmath>

#include "mesh/Mesh.h"

namespace {

// Start values of the bounds, beyond any coordinate of a real model.
constexpr float kBoundsStart = 1e10f;

// One axis of the bounds update; the two tests are separate, as one value can set both.
void Widen(float value, float& low, float& high) {
    if (value < low) {
        low = value;
    }
    if (value > high) {
        high = value;
    }
}

}  // namespace

void Mesh::MarkBoundaryVertices() {
    drawListsStale = true;
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end(); ++halfEdgeCursor) {
        (*halfEdgeCursor)->MarkBoundary();
    }
}

void Mesh::MarkDegenerateElements() {
    // Same vertex record at both ends; positions are not compared.
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end(); ++halfEdgeCursor) {
        HalfEdge* halfEdge = *halfEdgeCursor;
        if (halfEdge->origin == halfEdge->EndVertex()) {
            halfEdge->degenerate = 1;
        }
    }
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        (*faceCursor)->ClassifyDegeneracy();
    }
}

void Mesh::ComputeGeometry() {
    assert(connected);
    drawListsStale = true;
    ComputeFaceGeometry();
    ComputeCreases();
    ComputeVertexGeometry();
    geometryComputed = true;
    ComputeCentroid();
    ComputeRadius();
    ComputeBounds();
}

void Mesh::ComputeFaceGeometry() {
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        (*faceCursor)->UpdateGeometry();
    }
}

void Mesh::ComputeCreases() {
    for (halfEdgeCursor = halfEdges.begin(); halfEdgeCursor != halfEdges.end(); ++halfEdgeCursor) {
        (*halfEdgeCursor)->ComputeCrease();
    }
}

void Mesh::ComputeVertexGeometry() {
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        (*vertexCursor)->ComputeValence();
        (*vertexCursor)->ComputeNormal();
    }
}

void Mesh::ComputeCentroid() {
    Vec3Zero(centroid);
    double weightSum = 0.0;
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        const Vec3& p0 = (*faceCursor)->Vertex0()->position;
        const Vec3& p1 = (*faceCursor)->Vertex1()->position;
        const Vec3& p2 = (*faceCursor)->Vertex2()->position;
        Vec3 e1;
        Vec3 e2;
        Vec3 c;
        Vec3Cross(Vec3Subtract(p0, p1, e1), Vec3Subtract(p0, p2, e2), c);
        // twice the triangle's area
        double w = std::sqrt(static_cast<double>(c.x) * c.x + static_cast<double>(c.y) * c.y +
                             static_cast<double>(c.z) * c.z);
        weightSum += w;
        centroid.x += static_cast<float>(w * (p0.x + p1.x + p2.x));
        centroid.y += static_cast<float>(w * (p0.y + p1.y + p2.y));
        centroid.z += static_cast<float>(w * (p0.z + p1.z + p2.z));
    }
    if (weightSum > 0.0) {
        centroid.x = static_cast<float>(centroid.x / (3.0 * weightSum));
        centroid.y = static_cast<float>(centroid.y / (3.0 * weightSum));
        centroid.z = static_cast<float>(centroid.z / (3.0 * weightSum));
        return;
    }

    // No area to weigh by: the mean of the vertices, (0, 0, 0) without any.
    Vec3Zero(centroid);
    if (vertices.empty()) {
        return;
    }
    double sumX = 0.0;
    double sumY = 0.0;
    double sumZ = 0.0;
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        const Vec3& p = (*vertexCursor)->position;
        sumX += p.x;
        sumY += p.y;
        sumZ += p.z;
    }
    const double count = static_cast<double>(vertices.size());
    centroid.Set(static_cast<float>(sumX / count), static_cast<float>(sumY / count),
                 static_cast<float>(sumZ / count));
}

void Mesh::ComputeRadius() {
    float squaredRadius = 0.0f;
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        Vec3 d;
        Vec3Subtract(centroid, (*vertexCursor)->position, d);
        float squaredDistance = Vec3Dot(d, d);
        if (squaredDistance > squaredRadius) {
            squaredRadius = squaredDistance;
        }
    }
    radius = std::sqrt(squaredRadius);
}

void Mesh::ComputeBounds() {
    boundsMin.Set(kBoundsStart, kBoundsStart, kBoundsStart);
    boundsMax.Set(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        const Vec3& p = (*vertexCursor)->position;
        Widen(p.x, boundsMin.x, boundsMax.x);
        Widen(p.y, boundsMin.y, boundsMax.y);
        Widen(p.z, boundsMin.z, boundsMax.z);
    }
}
