// Feeds arbitrary bytes to zelconvert's OFF, PLY, OBJ and STL readers (the first byte picks the
// format: '0' OFF, '1' PLY, '2' OBJ, '3' STL, any byte modulo 4); whatever they accept is cut into
// triangles and checked for corners and positions no ZEL file may hold.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "convert/PolygonSoup.h"

namespace {

// Big inputs only slow the search down.
constexpr size_t kMaxInput = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kMaxInput) {
        return -1;
    }
    const PolygonSoupFormat formats[] = {PolygonSoupFormat::Off, PolygonSoupFormat::Ply,
                                         PolygonSoupFormat::Obj, PolygonSoupFormat::Stl};
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    PolygonSoup soup;
    std::string problem;
    if (!PolygonSoupRead(bytes, formats[data[0] % 4], &soup, &problem)) {
        // a refused file hands nothing out and says why on one line
        if (!soup.coordinates.empty() || !soup.polygonSizes.empty() || problem.empty() ||
            problem.find('\n') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    ZelMesh mesh;
    PolygonSoupTriangulate(soup, &mesh);
    const size_t vertexCount = mesh.coordinates.size() / 3;
    if (mesh.coordinates.size() % 3 != 0 ||
        mesh.indices.size() != 3 * PolygonSoupTriangleCount(soup)) {
        std::abort();
    }
    for (const float coordinate : mesh.coordinates) {
        if (!std::isfinite(coordinate)) {
            std::abort();
        }
    }
    for (const int index : mesh.indices) {
        if (index < 0 || static_cast<size_t>(index) >= vertexCount) {
            std::abort();
        }
    }
    return 0;
}
