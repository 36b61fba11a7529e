// The polygon-soup readers of CGAL, run on bytes that have passed the format's checks.
#include <CGAL/IO/OBJ.h>
#include <CGAL/IO/OFF.h>
#include <CGAL/IO/PLY.h>
#include <CGAL/IO/STL.h>
#include <CGAL/Simple_cartesian.h>

#include <boost/container/small_vector.hpp>
#include <climits>
#include <cmath>
#include <exception>
#include <istream>
#include <new>
#include <streambuf>

#include "convert/PolygonSoup.h"
#include "convert/PolygonSoupCheck.h"

namespace {

// Double coordinates: the PLY reader takes x, y and z stored as float or as double only then.
using SoupPoint = CGAL::Simple_cartesian<double>::Point_3;
// Triangles and quads, most of what files hold, without an allocation each.
using SoupPolygon = boost::container::small_vector<std::size_t, 4>;

// A stream over bytes already in memory, seekable as the STL reader needs, without a copy.
class SoupBytesBuffer : public std::streambuf {
public:
    SoupBytesBuffer(const char* data, size_t size) {
        char* begin = const_cast<char*>(data);
        setg(begin, begin, begin + size);
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode) override {
        const off_type base = direction == std::ios_base::beg   ? 0
                              : direction == std::ios_base::cur ? gptr() - eback()
                                                                : egptr() - eback();
        return seekpos(pos_type(base + offset), std::ios_base::in);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        const off_type offset = position;
        if (offset < 0 || offset > egptr() - eback()) {
            return pos_type(off_type(-1));
        }
        setg(eback(), eback() + offset, egptr());
        return position;
    }
};

bool SoupFail(const std::string& text, std::string* problem) {
    *problem = text;
    return false;
}

bool SoupCheck(const std::string& bytes, PolygonSoupFormat format, PolygonSoupCheck* check,
               std::string* problem) {
    switch (format) {
        case PolygonSoupFormat::Off:
            return PolygonSoupCheckOff(bytes, check, problem);
        case PolygonSoupFormat::Ply:
            return PolygonSoupCheckPly(bytes, check, problem);
        case PolygonSoupFormat::Obj:
            return PolygonSoupCheckObj(bytes, check, problem);
        case PolygonSoupFormat::Stl:
            return PolygonSoupCheckStl(bytes, check, problem);
    }
    return false;
}

bool SoupLibraryRead(std::istream& stream, PolygonSoupFormat format, bool binary,
                     std::vector<SoupPoint>* points, std::vector<SoupPolygon>* polygons,
                     bool* outOfMemory) {
    const auto quiet = CGAL::parameters::verbose(false);
    // the checks keep the readers off every path known to throw; this is the last guard
    try {
        switch (format) {
            case PolygonSoupFormat::Off:
                return CGAL::IO::read_OFF(stream, *points, *polygons, quiet);
            case PolygonSoupFormat::Ply:
                return CGAL::IO::read_PLY(stream, *points, *polygons, quiet);
            case PolygonSoupFormat::Obj:
                return CGAL::IO::read_OBJ(stream, *points, *polygons, quiet);
            case PolygonSoupFormat::Stl:
                // read_STL guesses the kind from the first word and, when the guess fails, reads
                // the other kind after what the first attempt appended; the check knows the kind
                return binary ? CGAL::IO::internal::parse_binary_STL(stream, *points, *polygons)
                              : CGAL::IO::internal::parse_ASCII_STL(stream, *points, *polygons);
        }
    } catch (const std::bad_alloc&) {
        *outOfMemory = true;
        return false;
    } catch (const std::exception&) {
        return false;
    }
    return false;
}

bool SoupAppendPoint(const SoupPoint& point, PolygonSoup* soup) {
    const float x = static_cast<float>(point.x());
    const float y = static_cast<float>(point.y());
    const float z = static_cast<float>(point.z());
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        return false;
    }
    soup->coordinates.insert(soup->coordinates.end(), {x, y, z});
    return true;
}

}  // namespace

bool PolygonSoupFormatOfPath(const std::string& path, PolygonSoupFormat* format) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return false;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    static const struct {
        const char* extension;
        PolygonSoupFormat format;
    } kFormats[] = {{"off", PolygonSoupFormat::Off},
                    {"ply", PolygonSoupFormat::Ply},
                    {"obj", PolygonSoupFormat::Obj},
                    {"stl", PolygonSoupFormat::Stl}};
    for (const auto& entry : kFormats) {
        if (extension == entry.extension) {
            *format = entry.format;
            return true;
        }
    }
    return false;
}

bool PolygonSoupRead(const std::string& bytes, PolygonSoupFormat format, PolygonSoup* soup,
                     std::string* problem) {
    *soup = PolygonSoup();
    if (bytes.empty()) {
        return SoupFail("is empty", problem);
    }
    PolygonSoupCheck check;
    if (!SoupCheck(bytes, format, &check, problem)) {
        return false;
    }
    if (check.vertexCount > static_cast<size_t>(INT_MAX)) {
        return SoupFail("is too large for a ZEL file", problem);
    }

    PolygonSoup result;
    result.format = check.format;
    result.droppedElements = check.droppedElements;
    // the OBJ reader refuses a file without faces or vertices; here it is a soup without
    // polygons, since without vertices every face is empty
    if (check.polygonCount == 0 || (format == PolygonSoupFormat::Obj && check.vertexCount == 0)) {
        result.droppedElements += check.polygonCount;
        *soup = std::move(result);
        return true;
    }

    std::vector<SoupPoint> points;
    std::vector<SoupPolygon> polygons;
    // the OBJ reader gets the vertex and face lines alone, written the way it reads them
    const std::string& text = format == PolygonSoupFormat::Obj ? check.readerText : bytes;
    SoupBytesBuffer buffer(text.data(), text.size());
    std::istream stream(&buffer);
    bool outOfMemory = false;
    if (!SoupLibraryRead(stream, format, check.binary, &points, &polygons, &outOfMemory)) {
        return SoupFail(outOfMemory ? "needs more memory than there is to be read"
                                    : "cannot be read as " + check.format,
                        problem);
    }

    // the STL reader merges equal positions; the file gives every facet its own three
    const bool merged = format == PolygonSoupFormat::Stl;
    if ((!merged && points.size() != check.vertexCount) || polygons.size() != check.polygonCount) {
        return SoupFail("was read as " + std::to_string(points.size()) + " vertices and " +
                            std::to_string(polygons.size()) + " polygons, not as the " +
                            std::to_string(check.vertexCount) + " and " +
                            std::to_string(check.polygonCount) + " it holds",
                        problem);
    }

    result.coordinates.reserve(3 * check.vertexCount);
    if (!merged) {
        for (const SoupPoint& point : points) {
            if (!SoupAppendPoint(point, &result)) {
                return SoupFail("has a vertex position beyond the range of 32-bit floats", problem);
            }
        }
    }
    result.polygonSizes.reserve(polygons.size());
    result.corners.reserve(3 * polygons.size());
    for (const SoupPolygon& polygon : polygons) {
        if (polygon.size() < 3) {
            ++result.droppedElements;
            continue;
        }
        if (polygon.size() > static_cast<size_t>(INT_MAX) - result.corners.size()) {
            return SoupFail("is too large for a ZEL file", problem);
        }
        result.polygonSizes.push_back(static_cast<int>(polygon.size()));
        for (const std::size_t corner : polygon) {
            if (corner >= points.size()) {
                return SoupFail("has a polygon corner that is not a vertex number", problem);
            }
            if (merged) {
                if (!SoupAppendPoint(points[corner], &result)) {
                    return SoupFail("has a vertex position beyond the range of 32-bit floats",
                                    problem);
                }
                result.corners.push_back(static_cast<int>(result.corners.size()));
            } else {
                result.corners.push_back(static_cast<int>(corner));
            }
        }
    }
    *soup = std::move(result);
    return true;
}
