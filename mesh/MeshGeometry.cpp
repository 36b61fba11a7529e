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

// Adds a face of these corners to the centroid sums: twice its area as the weight, times its
// corner sum.
void AddCornersToCentroid(const Vec3& p0, const Vec3& p1, const Vec3& p2, Vec3& centroid,
                          double& weightSum) {
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

void AddFaceToCentroid(const Face& face, Vec3& centroid, double& weightSum) {
    AddCornersToCentroid(face.Vertex0()->position, face.Vertex1()->position,
                         face.Vertex2()->position, centroid, weightSum);
}

// A copy of the half-edge with the direction and length the face pass gives it, computed from
// the positions alone: the first of a pair (or a half-edge without twin) computes its own, the
// second takes the opposite of the first's.
HalfEdge PassDirection(const HalfEdge& halfEdge) {
    HalfEdge copy;
    copy.origin = halfEdge.origin;
    copy.next = halfEdge.next;
    if (halfEdge.twin == nullptr || halfEdge.twin > &halfEdge) {
        copy.ComputeDirection();
    } else {
        copy.ComputeDirectionOppositeTo(PassDirection(*halfEdge.twin));
    }
    return copy;
}

// The normal the face pass gives the face, computed from the positions alone.
Vec3 PassNormal(const Face& face) {
    return Face::NormalOf(PassDirection(*face.halfEdges[1]).direction,
                          PassDirection(*face.halfEdges[2]).direction);
}

// Keeps the larger of the squared radius so far and the position's squared distance.
void WidenRadius(const Vec3& centroid, const Vec3& position, float& squaredRadius) {
    Vec3 d;
    Vec3Subtract(centroid, position, d);
    float squaredDistance = Vec3Dot(d, d);
    if (squaredDistance > squaredRadius) {
        squaredRadius = squaredDistance;
    }
}

// Widens the bounds to hold the position.
void WidenBounds(const Vec3& p, Vec3& boundsMin, Vec3& boundsMax) {
    Widen(p.x, boundsMin.x, boundsMax.x);
    Widen(p.y, boundsMin.y, boundsMax.y);
    Widen(p.z, boundsMin.z, boundsMax.z);
}

}  // namespace

void Mesh::MarkBoundaryVertices() {
    ++elementsVersion;
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
    ComputeGeometryInTwoPasses(false);
}

void Mesh::ComputeGeometryInTwoPasses(bool marks) {
    assert(connected);
    ++elementsVersion;
    // The steps stream the element records several times and reach twins and vertices at random;
    // two traversals read each record about once. Every value comes out bit for bit as the
    // steps give it: the same operations in the same order per element and per sum.
    UpdateFacesAndCentroid(marks);
    geometryComputed = true;
    UpdateVerticesRadiusAndBounds();
}

void Mesh::UpdateFacesAndCentroid(bool marks) {
    Vec3Zero(centroid);
    double weightSum = 0.0;
    for (faceCursor = faces.begin(); faceCursor != faces.end(); ++faceCursor) {
        Face* face = *faceCursor;
        HalfEdge* const* corners = face->halfEdges;
        if (marks) {
            // The marks only ever set flags, so marking face by face ends as the steps end.
            for (int k = 0; k < 3; ++k) {
                corners[k]->MarkBoundary();
                if (corners[k]->origin == corners[k]->EndVertex()) {
                    corners[k]->degenerate = 1;
                }
            }
            face->ClassifyDegeneracy();
        }
        // Half-edges lie in the order they are visited, so a twin stored before its half-edge was
        // visited first. The first of a pair computes its direction and the second takes the
        // twin's, which gives what UpdateGeometry gives but reaches the twin once instead of
        // twice. The second's twin lies in an earlier face or this one, so once this normal
        // exists both normals do, and the pair's crease (the same dot product either way) is set
        // on both half-edges here.
        bool secondOfPair[3];
        for (int k = 0; k < 3; ++k) {
            HalfEdge* halfEdge = corners[k];
            secondOfPair[k] = halfEdge->twin != nullptr && halfEdge->twin < halfEdge;
            if (secondOfPair[k]) {
                halfEdge->ComputeDirectionFromTwin();
            } else {
                halfEdge->ComputeDirection();
            }
        }
        face->ComputeNormal();
        for (int k = 0; k < 3; ++k) {
            HalfEdge* halfEdge = corners[k];
            if (halfEdge->twin == nullptr) {
                halfEdge->crease = true;
            } else if (secondOfPair[k]) {
                halfEdge->ComputeCrease();
                halfEdge->twin->crease = halfEdge->crease;
            }
        }
        AddFaceToCentroid(*face, centroid, weightSum);
    }
    FinishCentroid(weightSum);
}

void Mesh::UpdateVerticesRadiusAndBounds() {
    float squaredRadius = 0.0f;
    boundsMin.Set(kBoundsStart, kBoundsStart, kBoundsStart);
    boundsMax.Set(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        MeshVertex* vertex = *vertexCursor;
        vertex->ComputeValenceAndNormal();
        WidenRadius(centroid, vertex->position, squaredRadius);
        WidenBounds(vertex->position, boundsMin, boundsMax);
    }
    radius = std::sqrt(squaredRadius);
}

void Mesh::UpdateFaceRange(std::size_t first, std::size_t last) {
    if (first == last) {
        return;
    }
    const HalfEdge* const rangeStart = halfEdges.front() + 3 * first;
    Face* const end = faces.front() + last;
    for (Face* face = faces.front() + first; face != end; ++face) {
        HalfEdge* const* corners = face->halfEdges;
        for (int k = 0; k < 3; ++k) {
            HalfEdge* halfEdge = corners[k];
            if (halfEdge->twin == nullptr) {
                // Another thread may mark the same vertex: the flag is stored atomically, and
                // read only once both threads are done.
                __atomic_store_n(&halfEdge->origin->boundary, true, __ATOMIC_RELAXED);
                __atomic_store_n(&halfEdge->EndVertex()->boundary, true, __ATOMIC_RELAXED);
            }
            if (halfEdge->origin == halfEdge->EndVertex()) {
                halfEdge->degenerate = 1;
            }
        }
        face->ClassifyDegeneracy();
        // As in UpdateFacesAndCentroid, the second of a pair takes the opposite of the first's
        // direction and sets the pair's crease. A first in an earlier range (another thread's)
        // may not have its direction or its face's normal yet: both are computed here from
        // copies, the same way, without reading what the other thread writes.
        for (int k = 0; k < 3; ++k) {
            HalfEdge* halfEdge = corners[k];
            const HalfEdge* twin = halfEdge->twin;
            if (twin == nullptr || twin > halfEdge) {
                halfEdge->ComputeDirection();
            } else if (twin >= rangeStart) {
                halfEdge->ComputeDirectionFromTwin();
            } else {
                halfEdge->ComputeDirectionOppositeTo(PassDirection(*twin));
            }
        }
        face->ComputeNormal();
        for (int k = 0; k < 3; ++k) {
            HalfEdge* halfEdge = corners[k];
            HalfEdge* twin = halfEdge->twin;
            if (twin == nullptr) {
                halfEdge->crease = true;
            } else if (twin < halfEdge) {
                const Vec3 twinNormal =
                    twin >= rangeStart ? twin->face->normal : PassNormal(*twin->face);
                halfEdge->crease = Vec3Dot(face->normal, twinNormal) < 0.0f;
                // the first of the pair is this thread's to set: its own thread leaves it
                twin->crease = halfEdge->crease;
            }
        }
    }
}

void Mesh::UpdateVertexRange(std::size_t first, std::size_t last, float& squaredRadius, Vec3& low,
                             Vec3& high) {
    if (first == last) {
        return;
    }
    MeshVertex* const end = vertices.front() + last;
    for (MeshVertex* vertex = vertices.front() + first; vertex != end; ++vertex) {
        vertex->ComputeValenceAndNormal();
        WidenRadius(centroid, vertex->position, squaredRadius);
        WidenBounds(vertex->position, low, high);
    }
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
        AddFaceToCentroid(**faceCursor, centroid, weightSum);
    }
    FinishCentroid(weightSum);
}

void Mesh::ComputeCentroidFromArrays(const float* coordinates, const int* indices) {
    Vec3Zero(centroid);
    double weightSum = 0.0;
    auto position = [coordinates](int vertex) {
        const float* p = coordinates + 3 * static_cast<std::size_t>(vertex);
        return Vec3{p[0], p[1], p[2]};
    };
    const std::size_t cornerCount = 3 * faces.size();
    for (std::size_t k = 0; k < cornerCount; k += 3) {
        AddCornersToCentroid(position(indices[k]), position(indices[k + 1]),
                             position(indices[k + 2]), centroid, weightSum);
    }
    FinishCentroid(weightSum);
}

void Mesh::FinishCentroid(double weightSum) {
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
        WidenRadius(centroid, (*vertexCursor)->position, squaredRadius);
    }
    radius = std::sqrt(squaredRadius);
}

void Mesh::ComputeBounds() {
    boundsMin.Set(kBoundsStart, kBoundsStart, kBoundsStart);
    boundsMax.Set(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    for (vertexCursor = vertices.begin(); vertexCursor != vertices.end(); ++vertexCursor) {
        WidenBounds((*vertexCursor)->position, boundsMin, boundsMax);
    }
}
