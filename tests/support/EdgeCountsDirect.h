#pragma once

#include <ostream>
#include <vector>

#include "mesh/EdgeCounts.h"

// Classifies the half-edges of a face list straight from the indices, with the reference
// matching (see ReferenceMatching.h), without building a mesh: for each undirected edge, p
// half-edges run one way and q the other; p = q = 1 is good, a lone half-edge boundary, two the
// same way inconsistent, three or more non-manifold; a half-edge from a vertex to itself is
// degenerate. undirectedEdges, when given, receives the number of edges between two different
// vertices.
EdgeCounts EdgeCountsDirect(const std::vector<int>& indices, int* undirectedEdges = nullptr);

// True when every half-edge has exactly one twin running the other way: a closed mesh, wound
// consistently, with at least one face.
bool EdgeCountsClosedAndConsistent(const EdgeCounts& counts);

// The counts on one line, for failure messages.
std::ostream& operator<<(std::ostream& out, const EdgeCounts& counts);
