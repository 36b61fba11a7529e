#include "check/MeshCheck.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "app/MeshFile.h"
#include "convert/MeshImport.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"

namespace {

// Every error line names the file; the readers' lines that do not get it put in front.
std::string ErrorNamingFile(const std::string& path, std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    if (text.find('"' + path + '"') != std::string::npos) {
        return text;
    }
    const std::string prefix = "Error: ";
    if (text.compare(0, prefix.size(), prefix) == 0) {
        text.erase(0, prefix.size());
    }
    return prefix + '"' + path + "\": " + (text.empty() ? "could not be read" : text);
}

// The root of x's set in a forest of parent links, halving the path on the way up.
std::int32_t FindRoot(std::vector<std::int32_t>& parent, std::int32_t x) {
    while (parent[static_cast<std::size_t>(x)] != x) {
        std::int32_t& link = parent[static_cast<std::size_t>(x)];
        link = parent[static_cast<std::size_t>(link)];
        x = link;
    }
    return x;
}

// Joins the sets of a and b; true when they were two.
bool JoinSets(std::vector<std::int32_t>& parent, std::int32_t a, std::int32_t b) {
    a = FindRoot(parent, a);
    b = FindRoot(parent, b);
    if (a == b) {
        return false;
    }
    parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    return true;
}

// Each element its own set.
std::vector<std::int32_t> SingletonSets(std::size_t count) {
    std::vector<std::int32_t> parent(count);
    for (std::size_t i = 0; i < count; ++i) {
        parent[i] = static_cast<std::int32_t>(i);
    }
    return parent;
}

// Counts the sets of faces joined through good edges (twins) and, when every half-edge has a
// twin, the vertex fans: the cycles of the turn h -> next(twin(h)), which walks the outgoing
// half-edges round their vertex. A vertex where several closed sheets touch has one fan per
// sheet, which is how the surface counts it. twins holds each half-edge's twin position as
// matching handed it back, so one pass over this small array joins the faces, with no pass over
// the records; with fans wanted, each position's entry is then overwritten by its turn (later
// entries are still read as twins), and the cycles are followed through the turns, a followed
// one overwritten with Mesh::kNoTwin, so no second array is needed to know which are done.
void CountSets(std::uint32_t* twins, std::size_t halfEdgeCount, std::size_t faceCount,
               bool countFans, int* components, long long* fans) {
    std::vector<std::int32_t> faceSets = SingletonSets(faceCount);
    *components = static_cast<int>(faceCount);
    for (std::uint32_t k = 0; k < halfEdgeCount; ++k) {
        const std::uint32_t m = twins[k];
        if (m == Mesh::kNoTwin) {
            continue;
        }
        if (k < m && JoinSets(faceSets, static_cast<std::int32_t>(Mesh::FacePosition(k)),
                              static_cast<std::int32_t>(Mesh::FacePosition(m)))) {
            --*components;
        }
        if (countFans) {
            twins[k] = Mesh::NextHalfEdgePosition(m);
        }
    }
    *fans = 0;
    if (!countFans) {
        return;
    }
    for (std::uint32_t start = 0; start < halfEdgeCount; ++start) {
        if (twins[start] == Mesh::kNoTwin) {
            continue;
        }
        ++*fans;
        // the turn is a permutation, so the walk comes back to start, already marked
        std::uint32_t h = start;
        do {
            const std::uint32_t turn = twins[h];
            twins[h] = Mesh::kNoTwin;
            h = turn;
        } while (twins[h] != Mesh::kNoTwin);
    }
}

// MeshCheckBuild with room for one number per half-edge (new when null) that matching and the
// topology pass may overwrite.
bool BuildInto(const float* coordinates, const int* indices, int vertexCount, int faceCount,
               std::uint32_t* work, Mesh* mesh, MeshCheck* check) {
    // The viewer's construction and matching; marks and geometry change no count.
    if (!mesh->CreateElements(coordinates, indices, vertexCount, faceCount)) {
        return false;
    }
    std::vector<std::uint32_t> ownWork;
    if (work == nullptr) {
        ownWork.resize(mesh->halfEdges.size());
        work = ownWork.data();
    }
    mesh->MatchEdgesWithoutReport(work, indices);
    if (mesh->outOfMemory) {
        return false;
    }
    const EdgeCounts& counts = mesh->edgeCounts;
    check->vertices = vertexCount;
    check->faces = faceCount;
    check->halfEdges = counts.total;
    check->good = counts.good;
    check->boundary = counts.boundary;
    check->nonManifold = counts.nonManifold;
    check->degenerate = counts.degenerate;
    check->inconsistent = counts.inconsistent;
    check->closed = check->faces > 0 && check->good == check->halfEdges;
    long long fans = 0;
    CountSets(work, mesh->halfEdges.size(), mesh->faces.size(), check->closed, &check->components,
              &fans);
    check->genus = 0;
    if (!check->closed) {
        return true;
    }
    // Euler characteristic of the surface, vertices counted by fans; every component is a
    // closed orientable surface with characteristic 2 - 2 g.
    const long long euler = fans - check->halfEdges / 2 + static_cast<long long>(check->faces);
    const long long twiceGenus = 2LL * check->components - euler;
    assert(twiceGenus >= 0 && twiceGenus % 2 == 0);
    check->genus = static_cast<int>(twiceGenus / 2);
    return true;
}

// Joins the thread that prepares the storage before the pool it fills goes.
struct PreparingJoin {
    std::thread& thread;
    void Join() const {
        if (thread.joinable()) {
            thread.join();
        }
    }
    ~PreparingJoin() { Join(); }
};

// The refusal of a mesh that needs more memory than the process can have, or "".
std::string Shortfall(int vertexCount, int faceCount, MeshMemoryUse use) {
    const MeshMemoryAmount need = MeshMemoryNeed(vertexCount, faceCount, use, MeshMemoryHeld());
    const MeshMemoryAmount ceiling = MeshMemoryCeilingOfProcess();
    return MeshMemoryFits(need, ceiling) ? std::string() : MeshMemoryShortfallText(need, ceiling);
}

std::string OutOfMemoryError(const std::string& path) {
    return "Error: \"" + path + "\": not enough memory to build the mesh";
}

// MeshCheckFile without the guard against standard containers that find no memory.
bool CheckFile(const std::string& path, MeshWeld weld, Mesh* mesh, MeshCheck* check,
               std::string* message) {
    // The mesh's storage is mapped and zeroed on a second thread while the file is parsed, from
    // the counts a header declares, so building finds it ready.
    ElementArenaPool pool;
    std::thread preparing;
    // joined however the read ends, also when memory runs out in it
    const PreparingJoin join{preparing};
    // a stream's size is not known: nothing is prepared for what its header claims
    const std::uint64_t size = MeshFileRegularSize(path.c_str());
    const std::uint64_t fileSize = size == kUnknownFileSize ? 0 : size;
    // A mesh that cannot fit is known from the header's counts: nothing is prepared for it, and
    // it is refused once the reader is done.
    std::string shortfall;
    MeshFileOptions options;
    options.weld = weld;
    options.countsRead = [&pool, &preparing, &shortfall, fileSize](int vertices, int faces) {
        shortfall = Shortfall(vertices, faces, MeshMemoryUse::kCheck);
        if (!shortfall.empty() || preparing.joinable() ||
            !Mesh::StorageWorthPreparing(vertices, faces, fileSize)) {
            return;
        }
        // without a thread to spare, building maps its storage itself
        try {
            preparing = std::thread([&pool, vertices, faces] {
                ElementArenaPoolPrepare(pool, Mesh::StorageSizes(vertices, faces));
            });
        } catch (const std::system_error&) {
        }
    };
    MeshFileContent content;
    std::string text;
    const MeshImportResult result = MeshImport(path, options, &content, &text);
    join.Join();
    if (!shortfall.empty()) {
        *message = "Error: \"" + path + "\": " + shortfall;
        return false;
    }
    if (result != MeshImportResult::kRead) {
        *message = ErrorNamingFile(path, text);
        return false;
    }
    // The exact counts, with the arrays held: a header's may have told polygons, not triangles,
    // or none at all.
    shortfall = Shortfall(content.vertexCount, content.faceCount, MeshMemoryUse::kCheckArraysHeld);
    if (!shortfall.empty()) {
        *message = "Error: \"" + path + "\": " + shortfall;
        return false;
    }
    ElementArenaPoolAdopt(&pool);
    // The indices are not read once the elements exist and hold one number per half-edge, so
    // matching and the topology pass work in them rather than in fresh pages.
    const bool built = BuildInto(content.coordinates.get(), content.indices.get(),
                                 content.vertexCount, content.faceCount,
                                 Mesh::TwinPositionsInCorners(content.indices.get()), mesh, check);
    ElementArenaPoolAdopt(nullptr);
    if (!built) {
        *message = OutOfMemoryError(path);
        return false;
    }
    check->path = path;
    check->warning = content.warning;
    return true;
}

}  // namespace

bool MeshCheckFile(const std::string& path, MeshWeld weld, Mesh* mesh, MeshCheck* check,
                   std::string* message) {
    // The standard containers on the way (the reader's messages, the converter's arrays, the
    // topology pass's sets) throw when memory runs out; that file is then reported like any
    // other that cannot be checked.
    try {
        return CheckFile(path, weld, mesh, check, message);
    } catch (const std::bad_alloc&) {
        *message = OutOfMemoryError(path);
        return false;
    }
}

bool MeshCheckBuild(const float* coordinates, const int* indices, int vertexCount, int faceCount,
                    Mesh* mesh, MeshCheck* check) {
    return BuildInto(coordinates, indices, vertexCount, faceCount, nullptr, mesh, check);
}

bool MeshCheckClean(const MeshCheck& check) {
    return check.boundary == 0 && check.nonManifold == 0 && check.degenerate == 0 &&
           check.inconsistent == 0;
}

std::string MeshCheckText(const MeshCheck& check) {
    // Control bytes in a name would break the one line per file.
    std::string path = check.path;
    for (char& c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        }
    }
    std::ostringstream line;
    line << path << ": " << check.vertices << " vertices, " << check.faces << " faces, "
         << check.halfEdges << " half-edges: " << check.good << " good, " << check.boundary
         << " boundary, " << check.nonManifold << " non-manifold, " << check.degenerate
         << " degenerate, " << check.inconsistent << " inconsistent; components "
         << check.components << ", genus ";
    if (check.closed) {
        line << check.genus;
    } else {
        line << '-';
    }
    if (!check.warning.empty()) {
        line << "; Warning: " << check.warning;
    }
    return line.str();
}

std::string MeshCheckJson(const MeshCheck& check) {
    std::ostringstream line;
    line << "{\"path\":" << MeshCheckJsonString(check.path) << ",\"vertices\":" << check.vertices
         << ",\"faces\":" << check.faces << ",\"halfEdges\":" << check.halfEdges
         << ",\"good\":" << check.good << ",\"boundary\":" << check.boundary
         << ",\"nonManifold\":" << check.nonManifold << ",\"degenerate\":" << check.degenerate
         << ",\"inconsistent\":" << check.inconsistent << ",\"components\":" << check.components
         << ",\"genus\":";
    if (check.closed) {
        line << check.genus;
    } else {
        line << "null";
    }
    line << ",\"warning\":";
    if (check.warning.empty()) {
        line << "null";
    } else {
        line << MeshCheckJsonString(check.warning);
    }
    line << '}';
    return line.str();
}

std::string MeshCheckJsonString(const std::string& text) {
    std::string quoted = "\"";
    char escape[8];
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (byte < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
            ++i;
            continue;
        }
        if (byte < 0x80) {
            quoted += static_cast<char>(byte);
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence is copied; any other byte becomes the lone surrogate
        // U+DC80 + byte, so a reader that knows the convention gets the file name's bytes back.
        std::size_t length = byte >= 0xf0 && byte <= 0xf4   ? 4
                             : byte >= 0xe0                 ? 3
                             : byte >= 0xc2 && byte <= 0xdf ? 2
                                                            : 0;
        if (byte >= 0xf5) {
            length = 0;
        }
        bool wellFormed = length > 0 && i + length <= text.size();
        std::uint32_t codePoint = length == 4   ? byte & 0x07u
                                  : length == 3 ? byte & 0x0fu
                                                : byte & 0x1fu;
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            wellFormed = (next & 0xc0u) == 0x80u;
            codePoint = codePoint << 6 | (next & 0x3fu);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not well formed.
        if (wellFormed &&
            ((length == 3 && (codePoint < 0x800 || (codePoint >= 0xd800 && codePoint <= 0xdfff))) ||
             (length == 4 && (codePoint < 0x10000 || codePoint > 0x10ffff)))) {
            wellFormed = false;
        }
        if (wellFormed) {
            quoted.append(text, i, length);
            i += length;
        } else {
            std::snprintf(escape, sizeof escape, "\\u%04x", 0xdc00u + byte);
            quoted += escape;
            ++i;
        }
    }
    quoted += '"';
    return quoted;
}
