#include "convert/PolygonSoupCheck.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

using Tokens = std::vector<std::string_view>;

// Longest piece of a token quoted in a message.
constexpr size_t kQuoteLength = 40;

constexpr bool kHostBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

bool CheckFail(const std::string& text, std::string* problem) {
    *problem = text;
    return false;
}

bool CheckIsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// A token as messages show it: quoted, cut short, control bytes as "?".
std::string CheckQuote(std::string_view token) {
    std::string text = "\"";
    for (size_t i = 0; i < token.size() && i < kQuoteLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        text += c < 32 || c == 127 ? '?' : static_cast<char>(c);
    }
    if (token.size() > kQuoteLength) {
        text += "...";
    }
    return text + "\"";
}

std::string CheckLine(size_t line) {
    return "line " + std::to_string(line) + ": ";
}

void CheckSplit(std::string_view line, Tokens* tokens) {
    tokens->clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && CheckIsSpace(line[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !CheckIsSpace(line[i])) {
            ++i;
        }
        if (i > start) {
            tokens->push_back(line.substr(start, i - start));
        }
    }
}

// The part of a line before a "#" comment.
std::string_view CheckWithoutComment(std::string_view line) {
    const size_t hash = line.find('#');
    return hash == std::string_view::npos ? line : line.substr(0, hash);
}

// A leading "+" is allowed once, as stream extraction allows it.
std::string_view CheckWithoutPlus(std::string_view token) {
    if (token.size() > 1 && token[0] == '+' && token[1] != '-' && token[1] != '+') {
        token.remove_prefix(1);
    }
    return token;
}

// A finite real number written whole: "3x", "nan" and "1e999" are not.
bool CheckReal(std::string_view token, double* value) {
    token = CheckWithoutPlus(token);
    const char* end = token.data() + token.size();
    const std::from_chars_result result = std::from_chars(token.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

// A whole number written whole within the given range.
bool CheckInteger(std::string_view token, long long low, long long high, long long* value) {
    token = CheckWithoutPlus(token);
    const char* end = token.data() + token.size();
    const std::from_chars_result result = std::from_chars(token.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end && *value >= low && *value <= high;
}

// Walks text line by line, counting lines from 1.
class CheckLines {
public:
    explicit CheckLines(const std::string& bytes) : text_(bytes) {}

    bool Next(std::string_view* line) {
        if (position_ >= text_.size()) {
            return false;
        }
        size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        *line = text_.substr(position_, end - position_);
        position_ = end + 1;
        ++number_;
        return true;
    }

    size_t Number() const { return number_; }

private:
    std::string_view text_;
    size_t position_ = 0;
    size_t number_ = 0;
};

// Walks white-space separated tokens across lines, knowing the line of the last one.
class CheckTokens {
public:
    CheckTokens(const std::string& bytes, size_t start, size_t line)
        : text_(bytes), position_(start), line_(line) {}

    bool Next(std::string_view* token) {
        while (position_ < text_.size() && CheckIsSpace(text_[position_])) {
            line_ += text_[position_] == '\n' ? 1 : 0;
            ++position_;
        }
        const size_t start = position_;
        while (position_ < text_.size() && !CheckIsSpace(text_[position_])) {
            ++position_;
        }
        *token = text_.substr(start, position_ - start);
        return !token->empty();
    }

    size_t Line() const { return line_; }

private:
    std::string_view text_;
    size_t position_;
    size_t line_;
};

std::string CheckHolds(size_t found, size_t declared, const std::string& what) {
    return "holds " + std::to_string(found) + " of the " + std::to_string(declared) + " " + what +
           " its header declares";
}

// ---- OFF ----

// Text OFF headers: [ST]OFF, [C][N]OFF; the numbers each vertex line starts with, and whether
// colours follow them.
bool CheckOffKeyword(std::string_view word, size_t* vertexNumbers, bool* coloured) {
    size_t numbers = 3;
    bool textured = false;
    if (word.substr(0, 2) == "ST") {
        numbers += 2;
        textured = true;
        word.remove_prefix(2);
    }
    *coloured = !word.empty() && word[0] == 'C';
    if (*coloured) {
        word.remove_prefix(1);
    }
    if (!word.empty() && word[0] == 'N') {
        numbers += 3;
        word.remove_prefix(1);
    }
    *vertexNumbers = numbers;
    return word == "OFF" && !(textured && *coloured);
}

// A colour as the reader takes it: three or four whole numbers from 0 to 255, or three or four
// numbers from 0 to 1.
bool CheckOffColour(const Tokens& tokens, size_t first, size_t line, std::string* problem) {
    const size_t count = tokens.size() - first;
    bool whole = true;
    bool unit = true;
    for (size_t t = first; t < tokens.size(); ++t) {
        double value = 0.0;
        CheckReal(tokens[t], &value);
        whole = whole && std::floor(value) == value && value >= 0 && value <= 255;
        unit = unit && value >= 0 && value <= 1;
    }
    if ((count != 3 && count != 4) || !(whole || unit)) {
        return CheckFail(
            CheckLine(line) + "a colour needs 3 or 4 numbers, all from 0 to 255 or all from 0 to 1",
            problem);
    }
    return true;
}

// Checks a face line; sets how many numbers follow its corners.
bool CheckOffFace(const Tokens& tokens, size_t line, size_t vertexCount, size_t* extra,
                  std::string* problem) {
    long long count = 0;
    if (!CheckInteger(tokens[0], 0, static_cast<long long>(tokens.size()) - 1, &count)) {
        return CheckFail(CheckLine(line) + CheckQuote(tokens[0]) +
                             " is not the corner count of the face on this line",
                         problem);
    }
    for (size_t t = 1; t < tokens.size(); ++t) {
        long long index = 0;
        double number = 0.0;
        if (t <= static_cast<size_t>(count)) {
            if (!CheckInteger(tokens[t], 0, static_cast<long long>(vertexCount) - 1, &index)) {
                return CheckFail(CheckLine(line) + "corner " + CheckQuote(tokens[t]) +
                                     " is not a vertex number (0 to " +
                                     std::to_string(static_cast<long long>(vertexCount) - 1) + ")",
                                 problem);
            }
        } else if (!CheckReal(tokens[t], &number)) {
            return CheckFail(CheckLine(line) + CheckQuote(tokens[t]) + " is not a number", problem);
        }
    }
    *extra = tokens.size() - 1 - static_cast<size_t>(count);
    return true;
}

// ---- PLY ----

enum class PlyType { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

struct PlyProperty {
    std::string name;
    bool list = false;
    PlyType countType = PlyType::UInt8;  // lists only
    PlyType type = PlyType::Float32;     // of the value, or of each list item
};

struct PlyElement {
    std::string name;
    size_t count = 0;
    std::vector<PlyProperty> properties;
};

enum class PlyEncoding { Ascii, LittleEndian, BigEndian };

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

size_t PlyTypeSize(PlyType type) {
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

const PlyProperty* PlyFind(const PlyElement& element, const char* name) {
    for (const PlyProperty& property : element.properties) {
        if (property.name == name) {
            return &property;
        }
    }
    return nullptr;
}

bool PlyIsVertexElement(const PlyElement& element) {
    return element.name == "vertex" || element.name == "vertices";
}

bool PlyIsFaceElement(const PlyElement& element) {
    return element.name == "face" || element.name == "faces";
}

// The face property the reader takes corners from, in the reader's order of preference.
const PlyProperty* PlyCornerProperty(const PlyElement& face) {
    for (const char* name : {"vertex_indices", "vertex_index"}) {
        const PlyProperty* property = PlyFind(face, name);
        if (property != nullptr) {
            return property;
        }
    }
    return nullptr;
}

// Reads the header up to and including the end_header line; sets where the body starts.
bool PlyCheckHeader(const std::string& bytes, PlyEncoding* encoding,
                    std::vector<PlyElement>* elements, size_t* bodyStart, size_t* bodyLine,
                    std::string* problem) {
    CheckLines lines(bytes);
    std::string_view line;
    Tokens tokens;
    bool ended = false;
    while (!ended && lines.Next(&line)) {
        CheckSplit(line, &tokens);
        const std::string at = CheckLine(lines.Number());
        if (lines.Number() == 1) {
            if (tokens.empty() || tokens[0] != "ply") {
                return CheckFail("does not begin with \"ply\"", problem);
            }
            continue;
        }
        if (tokens.empty()) {
            return CheckFail(at + "empty line in the header", problem);
        }
        if (lines.Number() == 2) {
            if (tokens.size() < 3 || tokens[0] != "format") {
                return CheckFail(at + "the second line must be \"format <encoding> 1.0\"", problem);
            }
            if (tokens[1] == "ascii") {
                *encoding = PlyEncoding::Ascii;
            } else if (tokens[1] == "binary_little_endian") {
                *encoding = PlyEncoding::LittleEndian;
            } else if (tokens[1] == "binary_big_endian") {
                *encoding = PlyEncoding::BigEndian;
            } else {
                return CheckFail(at + "unknown encoding " + CheckQuote(tokens[1]), problem);
            }
            continue;
        }
        if (tokens[0] == "comment" || tokens[0] == "obj_info") {
            continue;
        }
        if (tokens[0] == "end_header") {
            ended = true;
        } else if (tokens[0] == "element") {
            long long count = 0;
            if (tokens.size() != 3 ||
                !CheckInteger(tokens[2], 0, std::numeric_limits<long long>::max(), &count)) {
                return CheckFail(at + "an element needs a name and a count", problem);
            }
            elements->push_back({std::string(tokens[1]), static_cast<size_t>(count), {}});
        } else if (tokens[0] == "property") {
            if (elements->empty()) {
                return CheckFail(at + "a property before any element", problem);
            }
            PlyProperty property;
            const bool list = tokens.size() == 5 && tokens[1] == "list";
            if (!(list || tokens.size() == 3)) {
                return CheckFail(at + "a property needs a type and a name", problem);
            }
            property.list = list;
            property.name = std::string(tokens.back());
            if (list &&
                (!PlyTypeOf(tokens[2], &property.countType) || PlyTypeIsReal(property.countType))) {
                return CheckFail(at + "a list's length type must be an integer type, not " +
                                     CheckQuote(tokens[2]),
                                 problem);
            }
            if (!PlyTypeOf(tokens[list ? 3 : 1], &property.type)) {
                return CheckFail(at + "unknown property type " + CheckQuote(tokens[list ? 3 : 1]),
                                 problem);
            }
            elements->back().properties.push_back(property);
        } else {
            return CheckFail(at + "unknown header line " + CheckQuote(tokens[0]), problem);
        }
    }
    if (!ended) {
        return CheckFail("has no \"end_header\" line", problem);
    }
    // the body starts after the end_header line, which ends at its line feed
    size_t position = 0;
    for (size_t n = 0; n < lines.Number(); ++n) {
        position = bytes.find('\n', position);
        position = position == std::string::npos ? bytes.size() : position + 1;
    }
    *bodyStart = position;
    *bodyLine = lines.Number() + 1;
    return true;
}

// Checks the header's elements against what the reader takes from them.
bool PlyCheckElements(const std::vector<PlyElement>& elements, std::string* problem) {
    bool vertexSeen = false;
    bool faceSeen = false;
    for (const PlyElement& element : elements) {
        if (element.count > 0 && element.properties.empty()) {
            return CheckFail("element " + CheckQuote(element.name) + " has no properties", problem);
        }
        if (PlyIsVertexElement(element)) {
            if (vertexSeen) {
                return CheckFail("has more than one vertex element", problem);
            }
            vertexSeen = true;
            for (const char* axis : {"x", "y", "z"}) {
                const PlyProperty* property = PlyFind(element, axis);
                if (property == nullptr || property->list || !PlyTypeIsReal(property->type)) {
                    return CheckFail(
                        "the vertex element needs x, y and z properties of type float or double",
                        problem);
                }
            }
        } else if (PlyIsFaceElement(element)) {
            if (faceSeen) {
                return CheckFail("has more than one face element", problem);
            }
            faceSeen = true;
            const PlyProperty* corners = PlyCornerProperty(element);
            if (corners == nullptr || !corners->list ||
                (corners->type != PlyType::Int32 && corners->type != PlyType::UInt32)) {
                return CheckFail("the face element needs a vertex_indices list of type int or uint",
                                 problem);
            }
        } else if (element.name == "halfedge") {
            for (const char* end : {"source", "target"}) {
                const PlyProperty* property = PlyFind(element, end);
                if (property != nullptr && (property->list || property->type != PlyType::UInt32)) {
                    return CheckFail("the halfedge element's source and target must be uint",
                                     problem);
                }
            }
        }
    }
    return true;
}

// One element's values as they are checked: vertex positions must be finite, face corners must
// name a vertex.
struct PlyWalk {
    const PlyElement* element = nullptr;
    const PlyProperty* corners = nullptr;  // face elements only
    size_t vertexCount = 0;
    size_t item = 0;
};

std::string PlyCornerProblem(const PlyWalk& walk) {
    return "face " + std::to_string(walk.item) +
           " has a corner that is not a vertex number (0 to " +
           std::to_string(static_cast<long long>(walk.vertexCount) - 1) + ")";
}

bool PlyIsAxis(const PlyWalk& walk, const PlyProperty& property) {
    return PlyIsVertexElement(*walk.element) &&
           (property.name == "x" || property.name == "y" || property.name == "z");
}

bool PlyCheckAscii(const std::string& bytes, size_t start, size_t line,
                   const std::vector<PlyElement>& elements, size_t vertexCount,
                   std::string* problem) {
    CheckTokens tokens(bytes, start, line);
    std::string_view token;
    // reads one value of the type, or says what is wrong with it
    auto value = [&](PlyType type, const PlyWalk& walk, long long* integer) {
        if (!tokens.Next(&token)) {
            return CheckFail(CheckHolds(walk.item, walk.element->count,
                                        CheckQuote(walk.element->name) + " elements"),
                             problem);
        }
        double real = 0.0;
        long long low = 0;
        long long high = 0;
        PlyTypeRange(type, &low, &high);
        // a float property must hold a value a float can take, or the reader refuses it
        const bool good =
            PlyTypeIsReal(type)
                ? CheckReal(token, &real) && (type == PlyType::Float64 ||
                                              std::fabs(real) <= std::numeric_limits<float>::max())
                : CheckInteger(token, low, high, integer);
        if (!good) {
            return CheckFail(CheckLine(tokens.Line()) + CheckQuote(token) + " is not " +
                                 (PlyTypeIsReal(type) ? "a finite number" : "a whole number") +
                                 " of its property's type",
                             problem);
        }
        return true;
    };
    for (const PlyElement& element : elements) {
        PlyWalk walk;
        walk.element = &element;
        walk.corners = PlyIsFaceElement(element) ? PlyCornerProperty(element) : nullptr;
        walk.vertexCount = vertexCount;
        for (walk.item = 0; walk.item < element.count; ++walk.item) {
            for (const PlyProperty& property : element.properties) {
                long long integer = 0;
                if (!property.list) {
                    if (!value(property.type, walk, &integer)) {
                        return false;
                    }
                    continue;
                }
                long long length = 0;
                if (!value(property.countType, walk, &length)) {
                    return false;
                }
                if (length < 0) {
                    return CheckFail(CheckLine(tokens.Line()) + "a list has a negative length",
                                     problem);
                }
                for (long long i = 0; i < length; ++i) {
                    if (!value(property.type, walk, &integer)) {
                        return false;
                    }
                    if (&property == walk.corners &&
                        (integer < 0 || static_cast<size_t>(integer) >= vertexCount)) {
                        return CheckFail(CheckLine(tokens.Line()) + PlyCornerProblem(walk),
                                         problem);
                    }
                }
            }
        }
    }
    if (tokens.Next(&token)) {
        return CheckFail(CheckLine(tokens.Line()) + CheckQuote(token) +
                             " follows the last element its header declares",
                         problem);
    }
    return true;
}

class PlyBinary {
public:
    PlyBinary(const std::string& bytes, size_t start, bool bigEndian)
        : bytes_(bytes), position_(start), bigEndian_(bigEndian) {}

    size_t Left() const { return bytes_.size() - position_; }

    // Reads one value as a double; false at the end of the data.
    bool Read(PlyType type, double* value) {
        const size_t size = PlyTypeSize(type);
        if (Left() < size) {
            return false;
        }
        unsigned char raw[8];
        std::memcpy(raw, bytes_.data() + position_, size);
        position_ += size;
        if (bigEndian_ != kHostBigEndian) {
            for (size_t i = 0; i < size / 2; ++i) {
                std::swap(raw[i], raw[size - 1 - i]);
            }
        }
        switch (type) {
            case PlyType::Int8:
                *value = static_cast<int8_t>(raw[0]);
                return true;
            case PlyType::UInt8:
                *value = raw[0];
                return true;
            case PlyType::Int16:
                *value = Load<int16_t>(raw);
                return true;
            case PlyType::UInt16:
                *value = Load<uint16_t>(raw);
                return true;
            case PlyType::Int32:
                *value = Load<int32_t>(raw);
                return true;
            case PlyType::UInt32:
                *value = Load<uint32_t>(raw);
                return true;
            case PlyType::Float32:
                *value = Load<float>(raw);
                return true;
            case PlyType::Float64:
                *value = Load<double>(raw);
                return true;
        }
        return false;
    }

    // Steps over values without reading them; false when fewer bytes are left.
    bool Skip(size_t size) {
        if (Left() < size) {
            return false;
        }
        position_ += size;
        return true;
    }

private:
    template <typename T>
    static T Load(const unsigned char* raw) {
        T value;
        std::memcpy(&value, raw, sizeof value);
        return value;
    }

    const std::string& bytes_;
    size_t position_;
    bool bigEndian_;
};

bool PlyCheckBinary(const std::string& bytes, size_t start, bool bigEndian,
                    const std::vector<PlyElement>& elements, size_t vertexCount,
                    std::string* problem) {
    PlyBinary data(bytes, start, bigEndian);
    for (const PlyElement& element : elements) {
        PlyWalk walk;
        walk.element = &element;
        walk.corners = PlyIsFaceElement(element) ? PlyCornerProperty(element) : nullptr;
        walk.vertexCount = vertexCount;
        for (walk.item = 0; walk.item < element.count; ++walk.item) {
            for (const PlyProperty& property : element.properties) {
                double value = 0.0;
                const bool read = property.list ? data.Read(property.countType, &value)
                                                : data.Read(property.type, &value);
                if (!read) {
                    return CheckFail(CheckHolds(walk.item, element.count,
                                                CheckQuote(element.name) + " elements"),
                                     problem);
                }
                if (PlyIsAxis(walk, property) && !std::isfinite(value)) {
                    return CheckFail("vertex " + std::to_string(walk.item) +
                                         " has a coordinate that is not a finite number",
                                     problem);
                }
                if (!property.list) {
                    continue;
                }
                if (value < 0) {
                    return CheckFail(CheckQuote(element.name) + " element " +
                                         std::to_string(walk.item) + " has a negative list length",
                                     problem);
                }
                const size_t length = static_cast<size_t>(value);
                const size_t itemSize = PlyTypeSize(property.type);
                if (length > data.Left() / itemSize) {
                    return CheckFail(CheckHolds(walk.item, element.count,
                                                CheckQuote(element.name) + " elements"),
                                     problem);
                }
                if (&property != walk.corners) {
                    data.Skip(length * itemSize);
                    continue;
                }
                for (size_t i = 0; i < length; ++i) {
                    double corner = 0.0;
                    data.Read(property.type, &corner);
                    if (corner < 0 || corner >= static_cast<double>(vertexCount)) {
                        return CheckFail(PlyCornerProblem(walk), problem);
                    }
                }
            }
        }
    }
    if (data.Left() > 0) {
        return CheckFail("has " + std::to_string(data.Left()) +
                             " bytes after the last element its header declares",
                         problem);
    }
    return true;
}

// ---- OBJ ----

// Checks one corner ("7", "7/1", "7//2", "-1/3/4"); gives the vertex number counted from 0.
bool ObjCorner(std::string_view token, size_t verticesSoFar, long long* vertex) {
    const size_t slash = token.find('/');
    const std::string_view first = token.substr(0, slash);
    long long number = 0;
    if (!CheckInteger(first, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                      &number) ||
        number == 0) {
        return false;
    }
    // the texture and normal numbers are not read, but must be numbers or empty
    std::string_view rest = slash == std::string_view::npos ? "" : token.substr(slash + 1);
    while (!rest.empty()) {
        const size_t next = rest.find('/');
        const std::string_view part = rest.substr(0, next);
        long long ignored = 0;
        if (!part.empty() && !CheckInteger(part, std::numeric_limits<int>::min(),
                                           std::numeric_limits<int>::max(), &ignored)) {
            return false;
        }
        rest = next == std::string_view::npos ? "" : rest.substr(next + 1);
    }
    // negative numbers count back from the last vertex read so far
    *vertex = number > 0 ? number - 1 : static_cast<long long>(verticesSoFar) + number;
    return *vertex >= 0;
}

}  // namespace

bool PolygonSoupCheckOff(const std::string& bytes, PolygonSoupCheck* check, std::string* problem) {
    enum class Stage { Keyword, Counts, Vertices, Faces, After };
    Stage stage = Stage::Keyword;
    CheckLines lines(bytes);
    std::string_view line;
    Tokens tokens;
    size_t vertexNumbers = 3;
    bool coloured = false;
    bool facesColoured = false;
    long long counts[3] = {0, 0, 0};
    size_t countsRead = 0;
    size_t verticesRead = 0;
    size_t facesRead = 0;
    while (lines.Next(&line)) {
        CheckSplit(CheckWithoutComment(line), &tokens);
        if (tokens.empty()) {
            continue;
        }
        const std::string at = CheckLine(lines.Number());
        size_t t = 0;
        if (stage == Stage::Keyword) {
            // the word itself may not run into a comment: the reader takes "OFF#" for no header
            Tokens words;
            CheckSplit(line, &words);
            if (!CheckOffKeyword(words[0], &vertexNumbers, &coloured)) {
                return CheckFail(at + "the header word " + CheckQuote(words[0]) +
                                     " is not OFF, COFF, NOFF, CNOFF, STOFF or STNOFF",
                                 problem);
            }
            if (tokens.size() > 1 && tokens[1] == "BINARY") {
                return CheckFail("is a binary OFF file, which is not read", problem);
            }
            stage = Stage::Counts;
            t = 1;
        }
        if (stage == Stage::Counts) {
            for (; t < tokens.size() && countsRead < 3; ++t, ++countsRead) {
                if (!CheckInteger(tokens[t], 0, std::numeric_limits<int>::max(),
                                  &counts[countsRead])) {
                    return CheckFail(
                        at + CheckQuote(tokens[t]) + " is not a vertex, face or edge count",
                        problem);
                }
            }
            if (countsRead < 3) {
                continue;
            }
            if (t < tokens.size()) {
                return CheckFail(at + CheckQuote(tokens[t]) + " follows the counts", problem);
            }
            stage = counts[0] > 0 ? Stage::Vertices : counts[1] > 0 ? Stage::Faces : Stage::After;
            continue;
        }
        if (stage == Stage::Vertices) {
            for (std::string_view token : tokens) {
                double number = 0.0;
                if (!CheckReal(token, &number)) {
                    return CheckFail(at + CheckQuote(token) + " is not a finite number", problem);
                }
            }
            if (tokens.size() < vertexNumbers) {
                return CheckFail(at + "vertex " + std::to_string(verticesRead) + " needs " +
                                     std::to_string(vertexNumbers) + " numbers",
                                 problem);
            }
            // in a coloured file the reader takes a colour from every vertex line
            if (coloured && !CheckOffColour(tokens, vertexNumbers, lines.Number(), problem)) {
                return false;
            }
            if (++verticesRead == static_cast<size_t>(counts[0])) {
                stage = counts[1] > 0 ? Stage::Faces : Stage::After;
            }
            continue;
        }
        if (stage == Stage::Faces) {
            size_t extra = 0;
            if (!CheckOffFace(tokens, lines.Number(), static_cast<size_t>(counts[0]), &extra,
                              problem)) {
                return false;
            }
            // once a face of a coloured file has a colour, the reader takes one from every face
            if (coloured && (extra > 0 || facesColoured)) {
                if (!CheckOffColour(tokens, tokens.size() - extra, lines.Number(), problem)) {
                    return false;
                }
                facesColoured = true;
            }
            if (++facesRead == static_cast<size_t>(counts[1])) {
                stage = Stage::After;
            }
            continue;
        }
        return CheckFail(
            at + "holds more than the " + std::to_string(counts[1]) + " faces its header declares",
            problem);
    }
    switch (stage) {
        case Stage::Keyword:
            return CheckFail("holds no OFF header", problem);
        case Stage::Counts:
            return CheckFail("ends before its vertex, face and edge counts", problem);
        case Stage::Vertices:
            return CheckFail(CheckHolds(verticesRead, static_cast<size_t>(counts[0]), "vertices"),
                             problem);
        case Stage::Faces:
            return CheckFail(CheckHolds(facesRead, static_cast<size_t>(counts[1]), "faces"),
                             problem);
        case Stage::After:
            break;
    }
    check->format = "OFF";
    check->vertexCount = static_cast<size_t>(counts[0]);
    check->polygonCount = static_cast<size_t>(counts[1]);
    return true;
}

bool PolygonSoupCheckPly(const std::string& bytes, PolygonSoupCheck* check, std::string* problem) {
    PlyEncoding encoding = PlyEncoding::Ascii;
    std::vector<PlyElement> elements;
    size_t bodyStart = 0;
    size_t bodyLine = 0;
    if (!PlyCheckHeader(bytes, &encoding, &elements, &bodyStart, &bodyLine, problem) ||
        !PlyCheckElements(elements, problem)) {
        return false;
    }
    size_t vertexCount = 0;
    for (const PlyElement& element : elements) {
        if (PlyIsVertexElement(element)) {
            vertexCount = element.count;
        } else if (PlyIsFaceElement(element)) {
            check->polygonCount = element.count;
        } else if (element.name == "edge") {
            check->droppedElements += element.count;
        }
    }
    const bool good =
        encoding == PlyEncoding::Ascii
            ? PlyCheckAscii(bytes, bodyStart, bodyLine, elements, vertexCount, problem)
            : PlyCheckBinary(bytes, bodyStart, encoding == PlyEncoding::BigEndian, elements,
                             vertexCount, problem);
    if (!good) {
        return false;
    }
    check->vertexCount = vertexCount;
    check->format = encoding == PlyEncoding::Ascii          ? "PLY (ASCII)"
                    : encoding == PlyEncoding::LittleEndian ? "PLY (binary little-endian)"
                                                            : "PLY (binary big-endian)";
    return true;
}

bool PolygonSoupCheckObj(const std::string& bytes, PolygonSoupCheck* check, std::string* problem) {
    CheckLines lines(bytes);
    std::string_view line;
    Tokens tokens;
    std::string& text = check->readerText;
    size_t vertices = 0;
    long long highest = -1;
    size_t highestLine = 0;
    while (lines.Next(&line)) {
        CheckSplit(CheckWithoutComment(line), &tokens);
        if (tokens.empty()) {
            continue;
        }
        const std::string at = CheckLine(lines.Number());
        if (tokens[0] == "v") {
            if (tokens.size() < 4) {
                return CheckFail(at + "a vertex needs three coordinates", problem);
            }
            for (size_t t = 1; t < tokens.size(); ++t) {
                double number = 0.0;
                if (!CheckReal(tokens[t], &number)) {
                    return CheckFail(at + CheckQuote(tokens[t]) + " is not a finite number",
                                     problem);
                }
            }
            text.append("v ").append(tokens[1]).append(" ").append(tokens[2]);
            text.append(" ").append(tokens[3]).append("\n");
            ++vertices;
        } else if (tokens[0] == "f") {
            // written again as plain numbers from 1, one space apart, as the reader takes them
            text += "f";
            for (size_t t = 1; t < tokens.size(); ++t) {
                long long vertex = 0;
                if (!ObjCorner(tokens[t], vertices, &vertex)) {
                    return CheckFail(
                        at + "corner " + CheckQuote(tokens[t]) + " is not a vertex number",
                        problem);
                }
                if (vertex > highest) {
                    highest = vertex;
                    highestLine = lines.Number();
                }
                text += " " + std::to_string(vertex + 1);
            }
            text += "\n";
            ++check->polygonCount;
        } else if (tokens[0] == "p") {
            check->droppedElements += tokens.size() - 1;
        } else if (tokens[0] == "l") {
            ++check->droppedElements;
        }
    }
    if (highest >= static_cast<long long>(vertices)) {
        return CheckFail(CheckLine(highestLine) + "corner " + std::to_string(highest + 1) +
                             " is beyond the file's " + std::to_string(vertices) + " vertices",
                         problem);
    }
    check->format = "Wavefront OBJ";
    check->vertexCount = vertices;
    return true;
}

bool PolygonSoupCheckStl(const std::string& bytes, PolygonSoupCheck* check, std::string* problem) {
    constexpr size_t kHeader = 84;
    constexpr size_t kFacet = 50;
    uint32_t declared = 0;
    if (bytes.size() >= kHeader) {
        std::memcpy(&declared, bytes.data() + 80, sizeof declared);
    }
    if (bytes.size() >= kHeader && bytes.size() == kHeader + kFacet * declared) {
        for (size_t f = 0; f < declared; ++f) {
            // the normal is not read; the three corners follow it
            for (size_t c = 3; c < 12; ++c) {
                float coordinate = 0.0f;
                std::memcpy(&coordinate, bytes.data() + kHeader + kFacet * f + 4 * c,
                            sizeof coordinate);
                if (!std::isfinite(coordinate)) {
                    return CheckFail("facet " + std::to_string(f) +
                                         " has a vertex coordinate that is not a finite number",
                                     problem);
                }
            }
        }
        check->format = "STL (binary)";
        check->binary = true;
        check->vertexCount = 3 * static_cast<size_t>(declared);
        check->polygonCount = declared;
        return true;
    }

    CheckTokens tokens(bytes, 0, 1);
    std::string_view token;
    if (!tokens.Next(&token) || token != "solid") {
        if (bytes.size() < kHeader) {
            return CheckFail("is too short for a binary STL file", problem);
        }
        const size_t held = (bytes.size() - kHeader) / kFacet;
        if (held < declared) {
            return CheckFail(CheckHolds(held, declared, "triangles"), problem);
        }
        return CheckFail(
            "is longer than the " + std::to_string(declared) + " triangles its header declares",
            problem);
    }
    // the same walk as the reader's: "solid" ... "facet" ... "vertex" x y z ... "endsolid"
    bool inSolid = true;
    bool solidEnded = false;
    size_t facets = 0;
    while (tokens.Next(&token)) {
        if (token == "solid") {
            if (inSolid) {
                return CheckFail(CheckLine(tokens.Line()) + "\"solid\" before \"endsolid\"",
                                 problem);
            }
            inSolid = true;
        } else if (token == "endsolid") {
            inSolid = false;
            solidEnded = true;
        } else if (token == "facet") {
            size_t corners = 0;
            bool ended = false;
            while (!ended && tokens.Next(&token)) {
                if (token == "endfacet") {
                    ended = true;
                } else if (token == "vertex") {
                    for (int k = 0; k < 3; ++k) {
                        double number = 0.0;
                        if (!tokens.Next(&token)) {
                            break;
                        }
                        if (!CheckReal(token, &number)) {
                            return CheckFail(CheckLine(tokens.Line()) + CheckQuote(token) +
                                                 " is not a finite number",
                                             problem);
                        }
                    }
                    ++corners;
                }
            }
            if (!ended) {
                return CheckFail("ends inside facet " + std::to_string(facets), problem);
            }
            if (corners != 3) {
                return CheckFail(CheckLine(tokens.Line()) + "facet " + std::to_string(facets) +
                                     " has " + std::to_string(corners) +
                                     " vertices; STL facets are triangles",
                                 problem);
            }
            ++facets;
        }
    }
    if (inSolid || !solidEnded) {
        return CheckFail("ends before \"endsolid\"", problem);
    }
    check->format = "STL (ASCII)";
    check->vertexCount = 3 * facets;
    check->polygonCount = facets;
    return true;
}
