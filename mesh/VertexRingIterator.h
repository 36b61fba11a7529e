#pragma once

struct HalfEdge;
struct MeshVertex;

// Walks the half-edges leaving one vertex; current always leaves the vertex.
class VertexRingIterator {
public:
    // The half-edge the walk began with.
    HalfEdge* start;
    // The half-edge the caller reads.
    HalfEdge* current;
    // The half-edge the walk continues from.
    HalfEdge* cursor;
    // The walk is finished.
    bool done;
    // The forward direction is still open.
    bool forward = false;
    // The backward direction is open.
    bool backward = false;
    // The walk met a boundary going forward and turned back.
    bool reversed = false;

    // Starts at the vertex's halfEdge; a vertex without one gives a finished walk.
    explicit VertexRingIterator(const MeshVertex& vertex);

    // True when the walk has a start half-edge.
    bool IsValid() const;
    // True once the forward walk has met a half-edge without twin.
    virtual bool HitBoundary() const = 0;
    // Moves current to the next half-edge of the walk, or sets done.
    virtual void Advance() = 0;
    // One step to the neighbouring face across cursor's edge; false at a boundary.
    bool StepForward();
    // One step to the neighbouring face across the edge arriving at the vertex; false at a
    // boundary.
    bool StepBackward();

protected:
    // Iterators are local values, never deleted through the base.
    ~VertexRingIterator() = default;
};

// Walks a vertex's fan face by face, turning back once at a boundary.
class VertexFanIterator final : public VertexRingIterator {
public:
    // Starts at the vertex's halfEdge walking forward.
    explicit VertexFanIterator(const MeshVertex& vertex);

    // True once the forward walk has met a half-edge without twin.
    bool HitBoundary() const override;
    // Steps forward; at the first boundary turns back from start and steps backward.
    void Advance() override;
};
