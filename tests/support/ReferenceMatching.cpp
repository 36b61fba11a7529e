#include "tests/support/ReferenceMatching.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "mesh/HalfEdge.h"
#include "mesh/Mesh.h"

ReferenceMatching ReferenceMatchingOf(const std::vector<int>& indices) {
    const std::size_t count = indices.size() / 3 * 3;
    const std::size_t total = 2 * count;
    // records 0 ... count-1 are the mesh half-edges, the rest their reversed temporaries
    std::vector<HalfEdge> records(total);
    std::vector<HalfEdge*> entries(total);
    std::vector<std::uint64_t> keys(total);
    for (std::size_t k = 0; k < count; ++k) {
        const int start = indices[k];
        const int end = indices[k - k % 3 + (k + 1) % 3];
        records[k].id = static_cast<int>(k);
        records[count + k].id = static_cast<int>(count + k);
        records[k].twin = &records[count + k];
        records[count + k].twin = &records[k];
        entries[k] = &records[k];
        keys[k] = Mesh::EdgeKey(start, end);
        entries[count + k] = &records[count + k];
        keys[count + k] = Mesh::EdgeKey(end, start);
    }
    if (total > 0) {
        Mesh::SortEdgeEntries(entries.data(), keys.data(), 0, static_cast<int>(total) - 1);
    }

    // The run of key (a, b) holds the half-edges a -> b and the temporaries of those b -> a;
    // classifying it marks every entry of the mirror run (b, a), so each edge is seen once.
    ReferenceMatching result;
    result.counts.total = static_cast<int>(count);
    auto isTemporary = [count](const HalfEdge* h) { return h->id >= static_cast<int>(count); };
    auto unlink = [](HalfEdge* h) {
        h->twin->processed = true;
        h->twin->twin = nullptr;
        h->twin = nullptr;
    };
    std::size_t k = 0;
    while (k < total) {
        while (k < total && entries[k]->processed) {
            entries[k]->processed = false;
            ++k;
        }
        if (k == total) {
            break;
        }
        HalfEdge* a = entries[k];
        if (keys[k] >> 32 == (keys[k] & 0xffffffffu)) {
            unlink(a);
            ++result.counts.degenerate;
            ++k;
            continue;
        }
        ++result.undirectedEdges;
        std::size_t n = 1;
        while (k + n < total && keys[k + n] == keys[k]) {
            ++n;
        }
        if (n == 1) {
            unlink(a);
            ++result.counts.boundary;
        } else if (n == 2) {
            HalfEdge* b = entries[k + 1];
            HalfEdge* twinA = a->twin;
            HalfEdge* twinB = b->twin;
            twinA->processed = true;
            twinB->processed = true;
            if (isTemporary(a) == isTemporary(b)) {
                a->twin = b->twin = twinA->twin = twinB->twin = nullptr;
                result.counts.inconsistent += 2;
            } else {
                a->twin = twinB;
                b->twin = twinA;
                twinA->twin = b;
                twinB->twin = a;
                result.counts.good += 2;
            }
        } else {
            for (std::size_t i = k; i < k + n; ++i) {
                unlink(entries[i]);
            }
            result.counts.nonManifold += static_cast<int>(n);
        }
        k += n;
    }
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_FALSE(records[i].processed) << "reference matching left a mark on " << i;
        result.twin.push_back(records[i].twin != nullptr ? records[i].twin->id : -1);
    }
    return result;
}
