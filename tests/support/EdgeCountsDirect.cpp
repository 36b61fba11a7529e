#include "tests/support/EdgeCountsDirect.h"

#include <cstddef>
#include <map>
#include <utility>

EdgeCounts EdgeCountsDirect(const std::vector<int>& indices, int* undirectedEdges) {
    // (smaller end, larger end) -> half-edges running up, half-edges running down
    std::map<std::pair<int, int>, std::pair<int, int>> directions;
    EdgeCounts counts;
    counts.total = static_cast<int>(indices.size() / 3 * 3);
    for (std::size_t f = 0; f + 2 < indices.size(); f += 3) {
        for (std::size_t c = 0; c < 3; ++c) {
            const int a = indices[f + c];
            const int b = indices[f + (c + 1) % 3];
            if (a == b) {
                ++counts.degenerate;
            } else if (a < b) {
                ++directions[{a, b}].first;
            } else {
                ++directions[{b, a}].second;
            }
        }
    }
    for (const auto& entry : directions) {
        const int up = entry.second.first;
        const int down = entry.second.second;
        const int n = up + down;
        if (n == 1) {
            counts.boundary += 1;
        } else if (n == 2) {
            (up == 1 ? counts.good : counts.inconsistent) += 2;
        } else {
            counts.nonManifold += n;
        }
    }
    if (undirectedEdges != nullptr) {
        *undirectedEdges = static_cast<int>(directions.size());
    }
    return counts;
}

bool EdgeCountsClosedAndConsistent(const EdgeCounts& counts) {
    return counts.total > 0 && counts.good == counts.total;
}

std::ostream& operator<<(std::ostream& out, const EdgeCounts& counts) {
    return out << counts.total << " edges: " << counts.good << " good, " << counts.boundary
               << " boundary, " << counts.nonManifold << " non-manifold, " << counts.degenerate
               << " degenerate, " << counts.inconsistent << " inconsistent";
}
