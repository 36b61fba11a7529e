#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <new>
#include <system_error>
#include <thread>

#include "mesh/Mesh.h"

// The steps of Build after the elements are made, shared by two threads. Each step is cut into
// parts that touch disjoint records, and whatever a step sums or compares is combined in the
// order one thread would meet it, so every record and value comes out bit for bit as the
// one-thread steps give it.
namespace {

// Parts per step, taken in order by both threads from a shared count: small enough that neither
// waits long for the other at the end of a step, few enough that partial results fit in arrays.
constexpr std::size_t kParts = 64;

// The first item of part k of count items; part k runs up to the first of part k + 1.
std::size_t PartStart(std::size_t count, std::size_t k) {
    return count * k / kParts;
}

// Runs part(k) for every k in 0 ... kParts - 1, each once, on the calling thread and a second
// one; the second runs alone() before it takes parts. Without a second thread the calling
// thread runs everything.
template <typename Alone, typename Part>
void RunParts(const Alone& alone, const Part& part) {
    std::atomic<std::size_t> next{0};
    auto takeParts = [&next, &part] {
        for (std::size_t k = next++; k < kParts; k = next++) {
            part(k);
        }
    };
    std::thread helper;
    try {
        helper = std::thread([&alone, &takeParts] {
            alone();
            takeParts();
        });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    if (!helper.joinable()) {
        alone();
    }
    takeParts();
    if (helper.joinable()) {
        helper.join();
    }
}

void Nothing() {}

}  // namespace

bool Mesh::ConnectAndComputeGeometryOnTwoThreads(EdgeEntryTable& table, const float* coordinates,
                                                 const int* indices) {
    const std::size_t vertexCount = vertices.size();
    const std::size_t faceCount = faces.size();

    // matching: groups sorted by ranges of vertices, while the second thread first sums the
    // centroid over every face in order from the arrays, which no step writes
    RunParts([this, coordinates, indices] { ComputeCentroidFromArrays(coordinates, indices); },
             [&table, vertexCount](std::size_t k) {
                 SortEdgeGroups(table, PartStart(vertexCount, k), PartStart(vertexCount, k + 1));
             });
    std::array<EdgeCounts, kParts> partCounts;
    RunParts(Nothing, [this, &table, &partCounts, vertexCount](std::size_t k) {
        partCounts[k] =
            SweepEdgeEntries(table, nullptr, static_cast<std::uint32_t>(PartStart(vertexCount, k)),
                             static_cast<std::uint32_t>(PartStart(vertexCount, k + 1)));
    });
    table.groupStart.Release();
    table.entries.Release();
    connected = true;
    edgeCounts = EdgeCounts();
    edgeCounts.total = static_cast<std::int32_t>(halfEdges.size());
    for (const EdgeCounts& counts : partCounts) {
        edgeCounts.good += counts.good;
        edgeCounts.boundary += counts.boundary;
        edgeCounts.nonManifold += counts.nonManifold;
        edgeCounts.degenerate += counts.degenerate;
        edgeCounts.inconsistent += counts.inconsistent;
    }
    PrintEdgeReport(edgeCounts);

    // faces by ranges, with the creases
    ++elementsVersion;
    RunParts(Nothing, [this, faceCount](std::size_t k) {
        UpdateFaceRange(PartStart(faceCount, k), PartStart(faceCount, k + 1));
    });
    geometryComputed = true;
    constexpr float kBoundsStart = 1e10f;
    std::array<float, kParts> squaredRadii{};
    std::array<Vec3, kParts> lows;
    std::array<Vec3, kParts> highs;
    lows.fill(Vec3{kBoundsStart, kBoundsStart, kBoundsStart});
    highs.fill(Vec3{-kBoundsStart, -kBoundsStart, -kBoundsStart});
    RunParts(Nothing, [&](std::size_t k) {
        UpdateVertexRange(PartStart(vertexCount, k), PartStart(vertexCount, k + 1), squaredRadii[k],
                          lows[k], highs[k]);
    });
    // The parts' largest and smallest values in part order: a value replaces only a strictly
    // smaller (larger) one, so each bound keeps the first extreme one thread would keep.
    auto lower = [](float value, float& bound) {
        if (value < bound) {
            bound = value;
        }
    };
    auto higher = [](float value, float& bound) {
        if (value > bound) {
            bound = value;
        }
    };
    float squaredRadius = 0.0f;
    boundsMin.Set(kBoundsStart, kBoundsStart, kBoundsStart);
    boundsMax.Set(-kBoundsStart, -kBoundsStart, -kBoundsStart);
    for (std::size_t k = 0; k < kParts; ++k) {
        higher(squaredRadii[k], squaredRadius);
        lower(lows[k].x, boundsMin.x);
        lower(lows[k].y, boundsMin.y);
        lower(lows[k].z, boundsMin.z);
        higher(highs[k].x, boundsMax.x);
        higher(highs[k].y, boundsMax.y);
        higher(highs[k].z, boundsMax.z);
    }
    radius = std::sqrt(squaredRadius);
    faceCursor = faces.end();
    vertexCursor = vertices.end();
    halfEdgeCursor = halfEdges.end();
    return connected;
}
