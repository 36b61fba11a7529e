#include "mesh/VertexRingIterator.h"

#include "mesh/HalfEdge.h"
#include "mesh/MeshVertex.h"

VertexRingIterator::VertexRingIterator(const MeshVertex& vertex)
    : start(vertex.halfEdge), current(start), cursor(start), done(start == nullptr) {}

bool VertexRingIterator::IsValid() const {
    return start != nullptr;
}

bool VertexRingIterator::StepForward() {
    HalfEdge* twin = cursor->twin;
    if (twin == nullptr) {
        forward = false;
        if (reversed) {
            done = true;
        } else {
            backward = true;
        }
        return false;
    }
    HalfEdge* neighbour = twin->next;
    if (neighbour == start) {
        // Full circle: current and cursor stay where they are.
        done = true;
        return true;
    }
    current = cursor = neighbour;
    return true;
}

bool VertexRingIterator::StepBackward() {
    // The half-edge of cursor's face arriving at the vertex; its twin leaves the vertex.
    HalfEdge* neighbour = cursor->next->next->twin;
    if (neighbour == nullptr) {
        backward = false;
        if (reversed) {
            done = true;
        } else {
            forward = true;
        }
        return false;
    }
    if (neighbour == start) {
        done = true;
        return true;
    }
    current = cursor = neighbour;
    return true;
}

VertexFanIterator::VertexFanIterator(const MeshVertex& vertex) : VertexRingIterator(vertex) {
    forward = true;
    backward = false;
}

bool VertexFanIterator::HitBoundary() const {
    return !forward;
}

void VertexFanIterator::Advance() {
    if (done) {
        return;
    }
    if (forward) {
        if (StepForward()) {
            return;
        }
        // Boundary ahead: go back to the start and walk the rest of the fan the other way.
        reversed = true;
        cursor = start;
    }
    StepBackward();
}
