#include "app/MeshFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/FormatReaders.h"
#include "app/MeshReader.h"

namespace {

// Bytes looked at to tell the format: enough for a binary STL header and a few comment lines.
constexpr std::size_t kHeadSize = 512;

constexpr std::size_t kStlHeaderSize = 84;
constexpr std::size_t kStlFacetSize = 50;

// The first word of text from at on, white space before it skipped; "#" lines skipped too when
// comments is set (the word itself is cut at white space only).
std::string_view FirstWord(std::string_view text, bool comments) {
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && IsSpace(text[i])) {
            ++i;
        }
        if (!comments || i == text.size() || text[i] != '#') {
            break;
        }
        const std::size_t feed = text.find('\n', i);
        i = feed == std::string_view::npos ? text.size() : feed;
    }
    std::size_t start = i;
    while (i < text.size() && !IsSpace(text[i])) {
        ++i;
    }
    return text.substr(start, i - start);
}

// The size rule of a binary STL file: an 80-byte header, a facet count, 50 bytes a facet.
bool IsBinaryStl(std::string_view head, std::uint64_t fileSize) {
    if (fileSize == kUnknownFileSize || fileSize < kStlHeaderSize || head.size() < kStlHeaderSize) {
        return false;
    }
    std::uint32_t count = 0;
    std::memcpy(&count, head.data() + 80, sizeof count);
    return fileSize == kStlHeaderSize + kStlFacetSize * std::uint64_t(count);
}

// The header words of text OFF files, letter case aside.
bool IsOffWord(std::string_view word) {
    for (const char* form : {"OFF", "COFF", "NOFF", "CNOFF", "STOFF", "STNOFF"}) {
        if (TokenIsWord(word, form)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::uint64_t MeshFileRegularSize(const char* path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return kUnknownFileSize;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? kUnknownFileSize : static_cast<std::uint64_t>(size);
}

MeshFileFormat MeshFileFormatOfExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return MeshFileFormat::kNone;
    }
    const std::string_view extension = std::string_view(path).substr(dot + 1);
    const struct {
        const char* extension;
        MeshFileFormat format;
    } kExtensions[] = {{"zel", MeshFileFormat::kZel},
                       {"off", MeshFileFormat::kOff},
                       {"ply", MeshFileFormat::kPly},
                       {"obj", MeshFileFormat::kObj},
                       {"stl", MeshFileFormat::kStl}};
    for (const auto& entry : kExtensions) {
        if (TokenIsWord(extension, entry.extension)) {
            return entry.format;
        }
    }
    return MeshFileFormat::kNone;
}

MeshFileFormat MeshFileFormatOf(std::string_view head, std::uint64_t fileSize,
                                const std::string& path) {
    const std::string_view word = FirstWord(head, false);
    if (word == "ZEL") {
        return MeshFileFormat::kZel;
    }
    if (word == "ply") {
        return MeshFileFormat::kPly;
    }
    if (IsBinaryStl(head, fileSize)) {
        return MeshFileFormat::kStl;
    }
    if (IsOffWord(FirstWord(head, true))) {
        return MeshFileFormat::kOff;
    }
    return MeshFileFormatOfExtension(path);
}

bool MeshFileFormatWelds(MeshFileFormat format) {
    switch (format) {
        case MeshFileFormat::kZel:
        case MeshFileFormat::kOff:
        case MeshFileFormat::kPly:
        case MeshFileFormat::kObj:
            return false;
        case MeshFileFormat::kStl:
        case MeshFileFormat::kNone:
            return true;
    }
    return true;
}

bool MeshFileContentWeld(MeshFileContent* content, MeshWeld weld, bool formatWelds) {
    content->verticesBefore = content->vertexCount;
    content->welded = weld == MeshWeld::kWeld || (weld == MeshWeld::kFormatDefault && formatWelds);
    if (!content->welded) {
        return true;
    }
    const int welded =
        WeldPositions(content->coordinates.get(), content->vertexCount, content->indices.get(),
                      3 * static_cast<std::size_t>(content->faceCount));
    if (welded < 0) {
        return false;
    }
    content->vertexCount = welded;
    return true;
}

std::string MeshFileWarningLine(const std::string& path, const std::string& warning) {
    return "Warning: \"" + path + "\" " + warning;
}

MeshFileResult MeshFileRead(const char* path, const MeshFileOptions& options,
                            MeshFileContent* content, std::ostream& messages) {
    std::ifstream stream;
    if (!OpenMeshFile(path, stream, messages)) {
        return MeshFileResult::kRefused;
    }
    // An ifstream opens a directory on Linux and only fails on the first read.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        messages << "Error: \"" << path << "\": is a directory, not a mesh file" << std::endl;
        return MeshFileResult::kRefused;
    }

    FormatSource source;
    source.path = path;
    source.messages = &messages;
    source.fileSize = MeshFileRegularSize(path);
    if (!TokenCursorStart(source.cursor, stream, options.blockSize)) {
        messages << "Error: \"" << path << "\": not enough memory to hold the file" << std::endl;
        return MeshFileResult::kRefused;
    }
    TokenCursor& cursor = source.cursor;
    TokenCursorEnsure(cursor, kHeadSize);
    if (cursor.status != ReadStatus::kOk) {
        messages << "Error: \"" << path << "\": could not be read" << std::endl;
        return MeshFileResult::kRefused;
    }
    // Exactly the first kHeadSize bytes, however many a block holds, so the choice is the same
    // for every block size.
    const MeshFileFormat format = MeshFileFormatOf(
        std::string_view(cursor.next,
                         std::min(static_cast<std::size_t>(cursor.end - cursor.next), kHeadSize)),
        source.fileSize, path);
    if (format == MeshFileFormat::kNone) {
        return MeshFileResult::kOtherFormat;
    }

    // Counts told from a header are those of the mesh unless it is welded after reading.
    const bool weld = options.weld == MeshWeld::kWeld ||
                      (options.weld == MeshWeld::kFormatDefault && MeshFileFormatWelds(format));
    source.countsRead = options.countsRead && !weld ? &options.countsRead : nullptr;
    source.arraysReserved = options.arraysReserved && !weld ? &options.arraysReserved : nullptr;

    MeshFileContent result;
    MeshArrays arrays;
    bool read = false;
    switch (format) {
        case MeshFileFormat::kZel:
            read = ZelRead(source, arrays, result);
            break;
        case MeshFileFormat::kOff:
            read = OffRead(source, arrays, result);
            break;
        case MeshFileFormat::kPly:
            read = PlyRead(source, arrays, result);
            break;
        case MeshFileFormat::kObj:
            read = ObjRead(source, arrays, result);
            break;
        case MeshFileFormat::kStl:
            read = StlRead(source, arrays, result);
            break;
        case MeshFileFormat::kNone:
            break;
    }
    if (!read) {
        return MeshFileResult::kRefused;
    }
    // The file and its buffer are released before the arrays are handed out.
    stream.close();
    cursor.buffer.reset();
    result.coordinates = std::move(arrays.coordinates);
    result.indices = std::move(arrays.indices);
    result.vertexCount = arrays.vertexCount;
    result.faceCount = arrays.triangleCount;
    if (!MeshFileContentWeld(&result, options.weld, MeshFileFormatWelds(format))) {
        messages << "Error: \"" << path << "\" needs more memory than there is to be read"
                 << std::endl;
        return MeshFileResult::kRefused;
    }
    *content = std::move(result);
    return MeshFileResult::kRead;
}
