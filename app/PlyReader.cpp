// PLY files, ASCII and binary of either byte order: a header of elements and their properties,
// then every element's items in header order. The vertex element gives x, y and z of any
// number type, the face element a list of corners of any number type; every other element and
// property is read past.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "app/FormatReaders.h"

namespace {

enum class PlyType { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

struct PlyProperty {
    std::string name;
    bool list = false;
    PlyType countType = PlyType::UInt8;  // lists only
    PlyType type = PlyType::Float32;     // of the value, or of each list item
    int axis = -1;                       // 0, 1, 2 for the vertex element's x, y, z
    bool corners = false;                // the face element's corner list
};

struct PlyElement {
    std::string name;
    std::uint64_t count = 0;
    std::vector<PlyProperty> properties;
    bool vertex = false;
    bool face = false;
};

enum class PlyEncoding { Ascii, LittleEndian, BigEndian };

constexpr bool kHostBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

bool PlyTypeOf(std::string_view word, PlyType* type) {
    static const struct {
        const char* name;
        const char* alias;
        PlyType type;
    } kTypes[] = {{"char", "int8", PlyType::Int8},        {"uchar", "uint8", PlyType::UInt8},
                  {"short", "int16", PlyType::Int16},     {"ushort", "uint16", PlyType::UInt16},
                  {"int", "int32", PlyType::Int32},       {"uint", "uint32", PlyType::UInt32},
                  {"float", "float32", PlyType::Float32}, {"double", "float64", PlyType::Float64}};
    for (const auto& entry : kTypes) {
        if (word == entry.name || word == entry.alias) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

std::size_t PlyTypeSize(PlyType type) {
    switch (type) {
        case PlyType::Int8:
        case PlyType::UInt8:
            return 1;
        case PlyType::Int16:
        case PlyType::UInt16:
            return 2;
        case PlyType::Int32:
        case PlyType::UInt32:
        case PlyType::Float32:
            return 4;
        case PlyType::Float64:
            return 8;
    }
    return 1;
}

bool PlyTypeIsReal(PlyType type) {
    return type == PlyType::Float32 || type == PlyType::Float64;
}

void PlyTypeRange(PlyType type, long long* low, long long* high) {
    switch (type) {
        case PlyType::Int8:
            *low = INT8_MIN, *high = INT8_MAX;
            return;
        case PlyType::UInt8:
            *low = 0, *high = UINT8_MAX;
            return;
        case PlyType::Int16:
            *low = INT16_MIN, *high = INT16_MAX;
            return;
        case PlyType::UInt16:
            *low = 0, *high = UINT16_MAX;
            return;
        case PlyType::Int32:
            *low = INT32_MIN, *high = INT32_MAX;
            return;
        default:
            *low = 0, *high = UINT32_MAX;
            return;
    }
}

// One value of the type from raw bytes in the file's byte order.
template <typename T>
T PlyLoad(const char* at, bool swap) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, at, sizeof(T));
    if (swap) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
            const unsigned char byte = raw[i];
            raw[i] = raw[sizeof(T) - 1 - i];
            raw[sizeof(T) - 1 - i] = byte;
        }
    }
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
}

double PlyLoadValue(PlyType type, const char* at, bool swap) {
    switch (type) {
        case PlyType::Int8:
            return static_cast<std::int8_t>(*at);
        case PlyType::UInt8:
            return static_cast<unsigned char>(*at);
        case PlyType::Int16:
            return PlyLoad<std::int16_t>(at, swap);
        case PlyType::UInt16:
            return PlyLoad<std::uint16_t>(at, swap);
        case PlyType::Int32:
            return PlyLoad<std::int32_t>(at, swap);
        case PlyType::UInt32:
            return PlyLoad<std::uint32_t>(at, swap);
        case PlyType::Float32:
            return PlyLoad<float>(at, swap);
        case PlyType::Float64:
            return PlyLoad<double>(at, swap);
    }
    return 0.0;
}

struct PlyHeader {
    PlyEncoding encoding = PlyEncoding::Ascii;
    std::vector<PlyElement> elements;
    std::uint64_t vertexCount = 0;
    std::uint64_t faceCount = 0;
};

// The words of one header line, copied, since a long line may need another block.
bool PlyHeaderLine(FormatSource& source, std::vector<std::string>* words) {
    words->clear();
    std::string_view token;
    TokenCursor& cursor = source.cursor;
    if (!TokenCursorEnsure(cursor, 1)) {
        return false;
    }
    while (NextTokenOnLine(cursor, token)) {
        words->emplace_back(token);
    }
    return TokenCursorSkipLine(cursor) || !words->empty();
}

bool PlyReadHeader(FormatSource& source, PlyHeader* header) {
    std::vector<std::string> words;
    if (!PlyHeaderLine(source, &words) || words.empty() || words[0] != "ply") {
        return !FormatReadFailed(source) && FormatFail(source, "does not begin with \"ply\"");
    }
    bool ended = false;
    for (int line = 2; !ended; ++line) {
        // each call takes one line, so they are counted here
        const std::string at = "line " + std::to_string(line) + ": ";
        if (!PlyHeaderLine(source, &words)) {
            return !FormatReadFailed(source) && FormatFail(source, "has no \"end_header\" line");
        }
        if (words.empty()) {
            return FormatFail(source, at + "empty line in the header");
        }
        if (line == 2) {
            if (words.size() < 3 || words[0] != "format") {
                return FormatFail(source, at + "the second line must be \"format <encoding> 1.0\"");
            }
            if (words[1] == "ascii") {
                header->encoding = PlyEncoding::Ascii;
            } else if (words[1] == "binary_little_endian") {
                header->encoding = PlyEncoding::LittleEndian;
            } else if (words[1] == "binary_big_endian") {
                header->encoding = PlyEncoding::BigEndian;
            } else {
                return FormatFail(source, at + "unknown encoding " + QuotedToken(words[1]));
            }
            continue;
        }
        if (words[0] == "comment" || words[0] == "obj_info") {
            continue;
        }
        if (words[0] == "end_header") {
            ended = true;
        } else if (words[0] == "element") {
            long long count = 0;
            if (words.size() != 3 || ParseLong(words[2], count) != NumberStatus::kOk || count < 0) {
                return FormatFail(source, at + "an element needs a name and a count");
            }
            PlyElement element;
            element.name = words[1];
            element.count = static_cast<std::uint64_t>(count);
            header->elements.push_back(element);
        } else if (words[0] == "property") {
            if (header->elements.empty()) {
                return FormatFail(source, at + "a property before any element");
            }
            PlyProperty property;
            const bool list = words.size() == 5 && words[1] == "list";
            if (!(list || words.size() == 3)) {
                return FormatFail(source, at + "a property needs a type and a name");
            }
            property.list = list;
            property.name = words.back();
            if (list &&
                (!PlyTypeOf(words[2], &property.countType) || PlyTypeIsReal(property.countType))) {
                return FormatFail(source, at +
                                              "a list's length type must be an integer type, not " +
                                              QuotedToken(words[2]));
            }
            if (!PlyTypeOf(words[list ? 3 : 1], &property.type)) {
                return FormatFail(source,
                                  at + "unknown property type " + QuotedToken(words[list ? 3 : 1]));
            }
            header->elements.back().properties.push_back(property);
        } else {
            return FormatFail(source, at + "unknown header line " + QuotedToken(words[0]));
        }
    }
    return true;
}

// Finds the vertex and face elements and the properties taken from them.
bool PlyCheckElements(FormatSource& source, PlyHeader* header, MeshFileContent& content) {
    bool vertexSeen = false;
    bool faceSeen = false;
    for (PlyElement& element : header->elements) {
        if (element.count > 0 && element.properties.empty()) {
            return FormatFail(source,
                              "element " + QuotedToken(element.name) + " has no properties");
        }
        if (element.name == "vertex" || element.name == "vertices") {
            if (vertexSeen) {
                return FormatFail(source, "has more than one vertex element");
            }
            vertexSeen = true;
            element.vertex = true;
            int axes = 0;
            for (PlyProperty& property : element.properties) {
                const int axis = property.name == "x"   ? 0
                                 : property.name == "y" ? 1
                                 : property.name == "z" ? 2
                                                        : -1;
                if (axis >= 0 && !property.list && (axes & (1 << axis)) == 0) {
                    property.axis = axis;
                    axes |= 1 << axis;
                }
            }
            if (axes != 7) {
                return FormatFail(
                    source, "the vertex element needs x, y and z properties of a number type");
            }
            header->vertexCount = element.count;
        } else if (element.name == "face" || element.name == "faces") {
            if (faceSeen) {
                return FormatFail(source, "has more than one face element");
            }
            faceSeen = true;
            element.face = true;
            PlyProperty* corners = nullptr;
            for (const char* name : {"vertex_indices", "vertex_index"}) {
                for (PlyProperty& property : element.properties) {
                    if (corners == nullptr && property.name == name && property.list) {
                        corners = &property;
                    }
                }
            }
            if (corners == nullptr && element.count > 0) {
                return FormatFail(source, "the face element needs a vertex_indices list");
            }
            if (corners != nullptr) {
                corners->corners = true;
            }
            header->faceCount = element.count;
        } else if (element.name == "edge") {
            content.droppedElements += static_cast<int>(
                std::min<std::uint64_t>(element.count, std::numeric_limits<int>::max()));
        }
    }
    for (const auto& [count, name] :
         {std::pair{header->vertexCount, "vertex"}, std::pair{header->faceCount, "face"}}) {
        if (count > static_cast<std::uint64_t>(kMaxMeshElementCount)) {
            return FormatFail(source, std::string(name) + " count " + std::to_string(count) +
                                          " is too large (at most " +
                                          std::to_string(kMaxMeshElementCount) + ")");
        }
    }
    return true;
}

// Where an element's items are read, for messages.
struct PlyWalk {
    const PlyElement* element = nullptr;
    std::uint64_t item = 0;
    int vertexCount = 0;
    PolygonFan fan;
};

std::string PlyCornerProblem(const PlyWalk& walk) {
    return "face " + std::to_string(walk.item) +
           " has a corner that is not a vertex number (0 to " +
           std::to_string(walk.vertexCount - 1) + ")";
}

bool PlyShort(FormatSource& source, const PlyWalk& walk) {
    return !FormatReadFailed(source) &&
           FormatFail(source, FormatHolds(walk.item, walk.element->count,
                                          QuotedToken(walk.element->name) + " elements"));
}

// Takes a corner value: a whole number naming a vertex goes into the face's fan.
bool PlyCorner(FormatSource& source, MeshArrays& arrays, PlyWalk& walk, double value,
               const char* lineAt) {
    if (!(value >= 0 && value < walk.vertexCount) || value != std::floor(value)) {
        return FormatFail(source, (lineAt != nullptr ? FormatLine(source, lineAt) : std::string()) +
                                      PlyCornerProblem(walk));
    }
    if (!PolygonFanAdd(walk.fan, arrays, static_cast<int>(value))) {
        return FormatTooLarge(source, arrays, "triangles");
    }
    return true;
}

// Counts a face whose corners are all read.
void PlyFaceDone(const PlyWalk& walk, MeshFileContent& content) {
    if (walk.fan.corners >= 3) {
        ++content.polygonsRead;
    } else {
        ++content.droppedElements;
    }
}

// ---- ASCII ----

// Reads one value of the type; false after a message. at is where its token started.
bool PlyAsciiValue(FormatSource& source, const PlyWalk& walk, PlyType type, double* value,
                   const char** at) {
    TokenCursor& cursor = source.cursor;
    std::string_view token;
    bool fast = false;
    if (PlyTypeIsReal(type)) {
        float shortValue = 0.0f;
        fast = TokenCursorShortDecimal(cursor, token, shortValue);
        *value = shortValue;
    } else {
        int shortValue = 0;
        fast = TokenCursorShortCorner(cursor, token, shortValue);
        *value = shortValue;
    }
    if (!fast) {
        if (!NextToken(cursor, token)) {
            return PlyShort(source, walk);
        }
        bool good = false;
        if (PlyTypeIsReal(type)) {
            good = ParseDouble(token, *value) == NumberStatus::kOk &&
                   (type == PlyType::Float64 ||
                    std::fabs(*value) <= std::numeric_limits<float>::max());
        } else {
            long long integer = 0;
            good = ParseLong(token, integer) == NumberStatus::kOk;
            *value = static_cast<double>(integer);
        }
        if (!good) {
            return FormatFail(source,
                              FormatLine(source, token.data()) + QuotedToken(token) + " is not " +
                                  (PlyTypeIsReal(type) ? "a finite number" : "a whole number") +
                                  " of its property's type");
        }
    }
    if (!PlyTypeIsReal(type)) {
        long long low = 0;
        long long high = 0;
        PlyTypeRange(type, &low, &high);
        if (*value < static_cast<double>(low) || *value > static_cast<double>(high)) {
            return FormatFail(source, FormatLine(source, token.data()) + QuotedToken(token) +
                                          " is not a whole number of its property's type");
        }
    }
    *at = token.data();
    return true;
}

// A coordinate: float properties through the float number path, so they round as the ZEL
// reader's do; others by value.
bool PlyAsciiCoordinate(FormatSource& source, const PlyWalk& walk, PlyType type, float* value) {
    TokenCursor& cursor = source.cursor;
    if (type == PlyType::Float32) {
        if (!TokenCursorSkipToToken(cursor)) {
            return PlyShort(source, walk);
        }
        return FormatCoordinateHere(source, "is not a finite number of its property's type",
                                    *value);
    }
    double wide = 0.0;
    const char* at = nullptr;
    if (!PlyAsciiValue(source, walk, type, &wide, &at)) {
        return false;
    }
    if (!(std::fabs(wide) <= kMaxCoordinate)) {
        return FormatFail(source, FormatLine(source, at) + "vertex " + std::to_string(walk.item) +
                                      " has a coordinate out of range (-1e9 to 1e9)");
    }
    *value = static_cast<float>(wide);
    return true;
}

bool PlyReadAscii(FormatSource& source, const PlyHeader& header, MeshArrays& arrays,
                  MeshFileContent& content) {
    PlyWalk walk;
    walk.vertexCount = static_cast<int>(header.vertexCount);
    for (const PlyElement& element : header.elements) {
        walk.element = &element;
        // float x, y, z alone and a list of int corners alone, the layouts writers use most, go
        // the fast way line by line where they can
        const std::vector<PlyProperty>& properties = element.properties;
        const bool xyz = element.vertex && properties.size() == 3 && properties[0].axis == 0 &&
                         properties[1].axis == 1 && properties[2].axis == 2 &&
                         properties[0].type == PlyType::Float32 &&
                         properties[1].type == PlyType::Float32 &&
                         properties[2].type == PlyType::Float32;
        const bool corners =
            element.face && properties.size() == 1 && properties[0].corners &&
            (properties[0].type == PlyType::Int32 || properties[0].type == PlyType::UInt32);
        for (walk.item = 0; walk.item < element.count; ++walk.item) {
            TokenCursorSkipSpace(source.cursor);
            const char* start = source.cursor.next;
            float values[3];
            int triangle[3];
            if (xyz && TokenCursorLineOfDecimals(source.cursor, values) && FormatInRange(values)) {
                float* added = MeshArraysAddVertex(arrays);
                if (added != nullptr) {
                    added[0] = values[0];
                    added[1] = values[1];
                    added[2] = values[2];
                    continue;
                }
            } else if (corners && TokenCursorLineOfTriangle(source.cursor, true, triangle) &&
                       FormatCornersIn(triangle, 0, walk.vertexCount)) {
                int* added = MeshArraysAddTriangle(arrays);
                if (added != nullptr) {
                    added[0] = triangle[0];
                    added[1] = triangle[1];
                    added[2] = triangle[2];
                    ++content.polygonsRead;
                    continue;
                }
            }
            source.cursor.next = start;
            float* vertex = nullptr;
            if (element.vertex && (vertex = MeshArraysAddVertex(arrays)) == nullptr) {
                return FormatTooLarge(source, arrays, "vertices");
            }
            for (const PlyProperty& property : element.properties) {
                double value = 0.0;
                const char* at = nullptr;
                if (property.axis >= 0) {
                    if (!PlyAsciiCoordinate(source, walk, property.type, &vertex[property.axis])) {
                        return false;
                    }
                    continue;
                }
                if (!property.list) {
                    if (!PlyAsciiValue(source, walk, property.type, &value, &at)) {
                        return false;
                    }
                    continue;
                }
                if (!PlyAsciiValue(source, walk, property.countType, &value, &at)) {
                    return false;
                }
                if (value < 0) {
                    return FormatFail(source,
                                      FormatLine(source, at) + "a list has a negative length");
                }
                const std::uint64_t length = static_cast<std::uint64_t>(value);
                walk.fan = PolygonFan();
                for (std::uint64_t i = 0; i < length; ++i) {
                    if (!PlyAsciiValue(source, walk, property.type, &value, &at) ||
                        (property.corners && !PlyCorner(source, arrays, walk, value, at))) {
                        return false;
                    }
                }
                if (property.corners) {
                    PlyFaceDone(walk, content);
                }
            }
        }
    }
    std::string_view token;
    if (NextToken(source.cursor, token)) {
        content.warning = FormatLine(source, token.data()) + QuotedToken(token) +
                          " follows the last element its header declares; the rest is not read";
    }
    return !FormatReadFailed(source);
}

// ---- binary ----

// Takes size bytes of the current item; false after a message when the file ends first.
bool PlyTake(FormatSource& source, const PlyWalk& walk, std::size_t size, const char** at) {
    if (!TokenCursorEnsure(source.cursor, size)) {
        return PlyShort(source, walk);
    }
    *at = source.cursor.next;
    source.cursor.next += size;
    return true;
}

// Steps over bytes of the current item without keeping them.
bool PlySkip(FormatSource& source, const PlyWalk& walk, std::uint64_t bytes) {
    TokenCursor& cursor = source.cursor;
    while (bytes > 0) {
        if (cursor.next == cursor.end &&
            (cursor.streamEnded || !TokenCursorRefill(cursor, cursor.end) ||
             cursor.next == cursor.end)) {
            return PlyShort(source, walk);
        }
        const std::uint64_t step =
            std::min<std::uint64_t>(bytes, static_cast<std::uint64_t>(cursor.end - cursor.next));
        cursor.next += step;
        bytes -= step;
    }
    return true;
}

// Steps over the items of an element that is not read, as many at a time as the buffer holds.
bool PlySkipItems(FormatSource& source, PlyWalk& walk, std::size_t size) {
    TokenCursor& cursor = source.cursor;
    for (walk.item = 0; walk.item < walk.element->count;) {
        if (!TokenCursorEnsure(cursor, size)) {
            return PlyShort(source, walk);
        }
        const std::uint64_t held = static_cast<std::uint64_t>(cursor.end - cursor.next) / size;
        const std::uint64_t take = std::min(held, walk.element->count - walk.item);
        cursor.next += take * size;
        walk.item += take;
    }
    return true;
}

// A coordinate from a binary value: finite and within the geometry's range.
bool PlyBinaryCoordinate(FormatSource& source, const PlyWalk& walk, double value, float* out) {
    if (std::fabs(value) <= kMaxCoordinate) {
        *out = static_cast<float>(value);
        return true;
    }
    return FormatFail(source,
                      "vertex " + std::to_string(walk.item) +
                          (std::isfinite(value) ? " has a coordinate out of range (-1e9 to 1e9)"
                                                : " has a coordinate that is not a finite number"));
}

// The size of an element's item when no property is a list; 0 otherwise.
std::size_t PlyFixedSize(const PlyElement& element) {
    std::size_t size = 0;
    for (const PlyProperty& property : element.properties) {
        if (property.list) {
            return 0;
        }
        size += PlyTypeSize(property.type);
    }
    return size;
}

// Vertices whose items have a fixed size, taken as many at a time as the buffer holds.
bool PlyBinaryVertices(FormatSource& source, PlyWalk& walk, std::size_t size, bool swap,
                       MeshArrays& arrays) {
    TokenCursor& cursor = source.cursor;
    const PlyElement& element = *walk.element;
    std::size_t offsets[3] = {0, 0, 0};
    PlyType types[3] = {PlyType::Float32, PlyType::Float32, PlyType::Float32};
    std::size_t offset = 0;
    for (const PlyProperty& property : element.properties) {
        if (property.axis >= 0) {
            offsets[property.axis] = offset;
            types[property.axis] = property.type;
        }
        offset += PlyTypeSize(property.type);
    }
    const bool floats = !swap && types[0] == PlyType::Float32 && types[1] == PlyType::Float32 &&
                        types[2] == PlyType::Float32;
    walk.item = 0;
    while (walk.item < element.count) {
        if (!TokenCursorEnsure(cursor, size)) {
            return PlyShort(source, walk);
        }
        const std::uint64_t held = static_cast<std::uint64_t>(cursor.end - cursor.next) / size;
        const std::uint64_t take = std::min(held, element.count - walk.item);
        const char* record = cursor.next;
        // x, y, z alone as floats of this machine's byte order: copied as they are, then checked
        if (floats && size == 3 * sizeof(float) && offsets[1] == 4 && offsets[2] == 8) {
            const std::size_t first = static_cast<std::size_t>(arrays.vertexCount);
            if (!MeshArraysReserve(arrays, first + take, 0)) {
                return FormatFail(source, "needs more memory than there is to be read");
            }
            float* values = &arrays.coordinates[3 * first];
            std::memcpy(values, record, take * size);
            for (std::size_t i = 0; i < 3 * take; ++i) {
                if (!(std::fabs(values[i]) <= kMaxCoordinate)) {
                    walk.item += i / 3;
                    return PlyBinaryCoordinate(source, walk, values[i], &values[i]);
                }
            }
            arrays.vertexCount += static_cast<int>(take);
            walk.item += take;
            cursor.next = record + take * size;
            continue;
        }
        for (std::uint64_t i = 0; i < take; ++i, ++walk.item, record += size) {
            float* vertex = MeshArraysAddVertex(arrays);
            if (vertex == nullptr) {
                return FormatTooLarge(source, arrays, "vertices");
            }
            if (floats) {
                for (int a = 0; a < 3; ++a) {
                    std::memcpy(&vertex[a], record + offsets[a], sizeof(float));
                }
                if (std::fabs(vertex[0]) <= kMaxCoordinate &&
                    std::fabs(vertex[1]) <= kMaxCoordinate &&
                    std::fabs(vertex[2]) <= kMaxCoordinate) {
                    continue;
                }
            }
            for (int a = 0; a < 3; ++a) {
                if (!PlyBinaryCoordinate(source, walk,
                                         PlyLoadValue(types[a], record + offsets[a], swap),
                                         &vertex[a])) {
                    return false;
                }
            }
        }
        cursor.next = record;
    }
    return true;
}

// Faces of one "list uchar int" (or uint) corner property, the layout nearly every writer uses,
// taken as many at a time as the buffer holds; triangles go straight into the corner array.
bool PlyBinaryFaces(FormatSource& source, PlyWalk& walk, bool swap, MeshArrays& arrays,
                    MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    const std::uint32_t vertexCount = static_cast<std::uint32_t>(walk.vertexCount);
    walk.item = 0;
    while (walk.item < walk.element->count) {
        if (!TokenCursorEnsure(cursor, 1) ||
            !TokenCursorEnsure(cursor,
                               1 + 4 * std::size_t(static_cast<unsigned char>(*cursor.next)))) {
            return PlyShort(source, walk);
        }
        const char* p = cursor.next;
        for (; walk.item < walk.element->count; ++walk.item) {
            if (p == cursor.end) {
                break;
            }
            const std::size_t length = static_cast<unsigned char>(*p);
            if (static_cast<std::size_t>(cursor.end - p) < 1 + 4 * length) {
                break;
            }
            std::uint32_t corners[3];
            if (length == 3) {
                for (int c = 0; c < 3; ++c) {
                    corners[c] = PlyLoad<std::uint32_t>(p + 1 + 4 * c, swap);
                }
                // a negative int is a large unsigned one, so one comparison tells both
                if (corners[0] < vertexCount && corners[1] < vertexCount &&
                    corners[2] < vertexCount) {
                    int* triangle = MeshArraysAddTriangle(arrays);
                    if (triangle == nullptr) {
                        return FormatTooLarge(source, arrays, "triangles");
                    }
                    for (int c = 0; c < 3; ++c) {
                        triangle[c] = static_cast<int>(corners[c]);
                    }
                    ++content.polygonsRead;
                    p += 13;
                    continue;
                }
            }
            walk.fan = PolygonFan();
            for (std::size_t c = 0; c < length; ++c) {
                const std::uint32_t corner = PlyLoad<std::uint32_t>(p + 1 + 4 * c, swap);
                if (corner >= vertexCount) {
                    return FormatFail(source, PlyCornerProblem(walk));
                }
                if (!PolygonFanAdd(walk.fan, arrays, static_cast<int>(corner))) {
                    return FormatTooLarge(source, arrays, "triangles");
                }
            }
            PlyFaceDone(walk, content);
            p += 1 + 4 * length;
        }
        cursor.next = p;
    }
    return true;
}

// Any element, property by property.
bool PlyBinaryItems(FormatSource& source, PlyWalk& walk, bool swap, MeshArrays& arrays,
                    MeshFileContent& content) {
    const PlyElement& element = *walk.element;
    for (walk.item = 0; walk.item < element.count; ++walk.item) {
        float* vertex = nullptr;
        if (element.vertex && (vertex = MeshArraysAddVertex(arrays)) == nullptr) {
            return FormatTooLarge(source, arrays, "vertices");
        }
        for (const PlyProperty& property : element.properties) {
            const char* at = nullptr;
            if (!property.list) {
                if (!PlyTake(source, walk, PlyTypeSize(property.type), &at)) {
                    return false;
                }
                if (property.axis >= 0 &&
                    !PlyBinaryCoordinate(source, walk, PlyLoadValue(property.type, at, swap),
                                         &vertex[property.axis])) {
                    return false;
                }
                continue;
            }
            if (!PlyTake(source, walk, PlyTypeSize(property.countType), &at)) {
                return false;
            }
            const double length = PlyLoadValue(property.countType, at, swap);
            if (length < 0) {
                return FormatFail(source, QuotedToken(element.name) + " element " +
                                              std::to_string(walk.item) +
                                              " has a negative list length");
            }
            const std::uint64_t count = static_cast<std::uint64_t>(length);
            const std::size_t itemSize = PlyTypeSize(property.type);
            // a list longer than the rest of the file is short, whatever its first items hold
            if (source.fileSize != kUnknownFileSize &&
                count > (source.fileSize - TokenCursorOffset(source.cursor, source.cursor.next)) /
                            itemSize) {
                return PlyShort(source, walk);
            }
            if (!property.corners) {
                if (!PlySkip(source, walk, count * itemSize)) {
                    return false;
                }
                continue;
            }
            walk.fan = PolygonFan();
            for (std::uint64_t i = 0; i < count; ++i) {
                if (!PlyTake(source, walk, itemSize, &at) ||
                    !PlyCorner(source, arrays, walk, PlyLoadValue(property.type, at, swap),
                               nullptr)) {
                    return false;
                }
            }
            PlyFaceDone(walk, content);
        }
    }
    return true;
}

bool PlyReadBinary(FormatSource& source, const PlyHeader& header, MeshArrays& arrays,
                   MeshFileContent& content) {
    TokenCursor& cursor = source.cursor;
    const bool swap = (header.encoding == PlyEncoding::BigEndian) != kHostBigEndian;
    PlyWalk walk;
    walk.vertexCount = static_cast<int>(header.vertexCount);
    for (const PlyElement& element : header.elements) {
        walk.element = &element;
        const std::size_t fixedSize = PlyFixedSize(element);
        const bool listOfInts = element.face && element.properties.size() == 1 &&
                                element.properties[0].corners &&
                                element.properties[0].countType == PlyType::UInt8 &&
                                (element.properties[0].type == PlyType::Int32 ||
                                 element.properties[0].type == PlyType::UInt32);
        bool read = true;
        if (element.vertex && fixedSize > 0) {
            read = PlyBinaryVertices(source, walk, fixedSize, swap, arrays);
        } else if (listOfInts) {
            read = PlyBinaryFaces(source, walk, swap, arrays, content);
        } else if (!element.vertex && !element.face && fixedSize > 0) {
            read = PlySkipItems(source, walk, fixedSize);
        } else {
            read = PlyBinaryItems(source, walk, swap, arrays, content);
        }
        if (!read) {
            return false;
        }
    }
    if (source.fileSize != kUnknownFileSize) {
        const std::uint64_t position = TokenCursorOffset(cursor, cursor.next);
        if (source.fileSize > position) {
            content.warning = "has " + std::to_string(source.fileSize - position) +
                              " bytes after the last element its header declares; they are not "
                              "read";
        }
    } else if (TokenCursorEnsure(cursor, 1)) {
        content.warning = "has data after the last element its header declares; it is not read";
    }
    return !FormatReadFailed(source);
}

}  // namespace

bool PlyRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    if (!FormatBegin(source, content, "PLY")) {
        return false;
    }
    PlyHeader header;
    if (!PlyReadHeader(source, &header) || !PlyCheckElements(source, &header, content)) {
        return false;
    }
    content.format = header.encoding == PlyEncoding::Ascii          ? "PLY (ASCII)"
                     : header.encoding == PlyEncoding::LittleEndian ? "PLY (binary little-endian)"
                                                                    : "PLY (binary big-endian)";
    const int vertexCount = static_cast<int>(header.vertexCount);
    const int faceCount = static_cast<int>(header.faceCount);
    if (source.countsRead != nullptr) {
        (*source.countsRead)(vertexCount, faceCount);
    }
    // The least a vertex and a triangle take: their binary sizes, or "0 0 0" and a face line of
    // three corners in text.
    std::uint64_t vertexBytes = 6;
    std::uint64_t faceBytes = 8;
    for (const PlyElement& element : header.elements) {
        for (const PlyProperty& property : element.properties) {
            if (header.encoding != PlyEncoding::Ascii && element.vertex) {
                vertexBytes = std::max<std::uint64_t>(PlyFixedSize(element), 1);
            }
            if (header.encoding != PlyEncoding::Ascii && property.corners) {
                faceBytes = PlyTypeSize(property.countType) + 3 * PlyTypeSize(property.type);
            }
        }
    }
    if (!MeshArraysReserve(arrays, FormatReservable(source, header.vertexCount, vertexBytes),
                           FormatReservable(source, header.faceCount, faceBytes))) {
        return FormatFail(source, "needs more memory than there is to be read");
    }
    FormatArraysReserved(source, vertexCount, faceCount);
    if (header.encoding == PlyEncoding::Ascii) {
        return PlyReadAscii(source, header, arrays, content);
    }
    return PlyReadBinary(source, header, arrays, content);
}
