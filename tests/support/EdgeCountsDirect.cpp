#include "tests/support/EdgeCountsDirect.h"

#include "tests/support/ReferenceMatching.h"

EdgeCounts EdgeCountsDirect(const std::vector<int>& indices, int* undirectedEdges) {
    const ReferenceMatching matching = ReferenceMatchingOf(indices);
    if (undirectedEdges != nullptr) {
        *undirectedEdges = matching.undirectedEdges;
    }
    return matching.counts;
}

bool EdgeCountsClosedAndConsistent(const EdgeCounts& counts) {
    return counts.total > 0 && counts.good == counts.total;
}

std::ostream& operator<<(std::ostream& out, const EdgeCounts& counts) {
    return out << counts.total << " edges: " << counts.good << " good, " << counts.boundary
               << " boundary, " << counts.nonManifold << " non-manifold, " << counts.degenerate
               << " degenerate, " << counts.inconsistent << " inconsistent";
}
