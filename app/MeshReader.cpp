#include "app/MeshReader.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

#include "app/FormatReaders.h"
#include "app/MeshArrays.h"
#include "app/TokenCursor.h"

namespace {

// Starts an error line that names the file.
std::ostream& FileError(std::ostream& messages, const char* path) {
    return messages << "Error: \"" << path << "\": ";
}

// Prints why no token came when reading failed; false when the file merely ended.
bool ReportReadFailure(std::ostream& messages, const char* path, const TokenCursor& cursor) {
    if (cursor.status == ReadStatus::kReadError) {
        FileError(messages, path) << "could not be read" << std::endl;
        return true;
    }
    if (cursor.status == ReadStatus::kOutOfMemory) {
        FileError(messages, path) << "not enough memory to hold the file" << std::endl;
        return true;
    }
    return false;
}

// Reads one of the two counts, refusing what cannot be allocated.
bool ReadCount(std::ostream& messages, const char* path, TokenCursor& cursor, const char* name,
               int& count) {
    std::string_view token;
    if (!NextToken(cursor, token)) {
        if (!ReportReadFailure(messages, path, cursor)) {
            FileError(messages, path) << "file ends before the " << name << std::endl;
        }
        return false;
    }
    NumberStatus status = ParseInt(token, count);
    if (status == NumberStatus::kNotNumber) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is not a number"
                                  << std::endl;
        return false;
    }
    bool negative = token.front() == '-';
    if (negative && (status == NumberStatus::kOutOfRange || count < 0)) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is negative"
                                  << std::endl;
        return false;
    }
    if (status == NumberStatus::kOutOfRange || count > kMaxMeshElementCount) {
        FileError(messages, path) << name << " " << QuotedToken(token) << " is too large (at most "
                                  << kMaxMeshElementCount << ")" << std::endl;
        return false;
    }
    return true;
}

// Reads the three coordinates of every vertex.
bool ReadCoordinates(std::ostream& messages, const char* path, TokenCursor& cursor, int vertexCount,
                     MeshArrays& arrays) {
    std::string_view token;
    for (int v = 0; v < vertexCount; ++v) {
        float* vertex = MeshArraysAddVertex(arrays);
        if (vertex == nullptr) {
            FileError(messages, path)
                << "not enough memory for " << vertexCount << " vertices" << std::endl;
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            float& coordinate = vertex[c];
            NumberStatus status = NumberStatus::kOk;
            if (!TokenCursorShortDecimal(cursor, token, coordinate)) {
                if (!NextToken(cursor, token)) {
                    if (!ReportReadFailure(messages, path, cursor)) {
                        FileError(messages, path) << "file ends before the coordinates of vertex "
                                                  << v << " are complete" << std::endl;
                    }
                    return false;
                }
                status = ParseFloat(token, coordinate);
            }
            if (status == NumberStatus::kNotNumber) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is not a number" << std::endl;
                return false;
            }
            if (status != NumberStatus::kOk) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is not finite" << std::endl;
                return false;
            }
            if (std::fabs(coordinate) > kMaxCoordinate) {
                FileError(messages, path) << "coordinate " << QuotedToken(token) << " of vertex "
                                          << v << " is out of range (-1e9 to 1e9)" << std::endl;
                return false;
            }
        }
    }
    return true;
}

// Reads the three corners of every face; a corner must name one of the file's vertices, since
// the mesh looks vertices up by these numbers without checking them.
bool ReadCorners(std::ostream& messages, const char* path, TokenCursor& cursor, int faceCount,
                 int vertexCount, MeshArrays& arrays) {
    std::string_view token;
    for (int f = 0; f < faceCount; ++f) {
        int* face = MeshArraysAddTriangle(arrays);
        if (face == nullptr) {
            FileError(messages, path)
                << "not enough memory for " << faceCount << " faces" << std::endl;
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            int corner = 0;
            NumberStatus status = NumberStatus::kOk;
            if (!TokenCursorShortCorner(cursor, token, corner)) {
                if (!NextToken(cursor, token)) {
                    if (!ReportReadFailure(messages, path, cursor)) {
                        FileError(messages, path) << "file ends before the corners of face " << f
                                                  << " are complete" << std::endl;
                    }
                    return false;
                }
                status = ParseInt(token, corner);
            }
            if (status == NumberStatus::kNotNumber) {
                FileError(messages, path) << "corner " << QuotedToken(token) << " of face " << f
                                          << " is not a number" << std::endl;
                return false;
            }
            if (status != NumberStatus::kOk || corner < 0 || corner >= vertexCount) {
                if (vertexCount == 0) {
                    FileError(messages, path)
                        << "corner " << QuotedToken(token) << " of face " << f
                        << " names a vertex, but the file has no vertices" << std::endl;
                } else {
                    FileError(messages, path)
                        << "corner " << QuotedToken(token) << " of face " << f
                        << " is outside the vertex numbers 0 to " << vertexCount - 1 << std::endl;
                }
                return false;
            }
            face[c] = corner;
        }
    }
    return true;
}

}  // namespace

bool ZelRead(FormatSource& source, MeshArrays& arrays, MeshFileContent& content) {
    std::ostream& messages = *source.messages;
    const char* path = source.path;
    TokenCursor& cursor = source.cursor;

    // Header word: no word longer than kMaxTokenLength is kept, and such a word is not "ZEL"
    // anyway. Checking it before the rest is read keeps an endless stream such as /dev/zero from
    // being pulled into memory.
    std::string_view header;
    if (!NextToken(cursor, header) && cursor.status == ReadStatus::kReadError) {
        FileError(messages, path) << "could not be read" << std::endl;
        return false;
    }
    if (header != "ZEL") {
        messages << "Error: Do not recognize file type. File data should have ZEL header"
                 << std::endl;
        return false;
    }

    int vertices = 0;
    int faces = 0;
    if (!ReadCount(messages, path, cursor, "vertex count", vertices) ||
        !ReadCount(messages, path, cursor, "face count", faces)) {
        return false;
    }
    if (source.countsRead != nullptr) {
        (*source.countsRead)(vertices, faces);
    }

    // Room for what the header declares, as far as the file can hold it: a vertex or a face
    // takes at least six bytes ("0 0 0" and a separator). More grows as it arrives.
    constexpr std::uint64_t kLeastRecordBytes = 6;
    if (!MeshArraysReserve(arrays,
                           FormatReservable(source, std::uint64_t(vertices), kLeastRecordBytes),
                           FormatReservable(source, std::uint64_t(faces), kLeastRecordBytes))) {
        FileError(messages, path) << "not enough memory for " << vertices << " vertices and "
                                  << faces << " faces" << std::endl;
        return false;
    }
    FormatArraysReserved(source, vertices, faces);
    if (!ReadCoordinates(messages, path, cursor, vertices, arrays) ||
        !ReadCorners(messages, path, cursor, faces, vertices, arrays)) {
        return false;
    }
    // Whatever follows the last face is not read, so a mesh followed by endless data (a pipe, a
    // device) loads.
    content.format = "ZEL";
    content.polygonsRead = faces;
    return true;
}

bool ReadMeshFile(const char* path, float** coordinates, int** indices, int* vertexCount,
                  int* faceCount, std::ostream& messages, std::size_t blockSize,
                  const std::function<void(int, int)>& countsRead) {
    assert(coordinates != nullptr && indices != nullptr);
    assert(blockSize > 0);
    assert(vertexCount != nullptr && faceCount != nullptr);

    std::ifstream stream;
    if (!OpenMeshFile(path, stream, messages)) {
        return false;
    }

    // An ifstream opens a directory on Linux and only fails on the first read.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        FileError(messages, path) << "is a directory, not a mesh file" << std::endl;
        return false;
    }

    FormatSource source;
    source.path = path;
    source.messages = &messages;
    source.countsRead = countsRead ? &countsRead : nullptr;
    if (std::filesystem::is_regular_file(path, error)) {
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        source.fileSize = error ? kUnknownFileSize : static_cast<std::uint64_t>(size);
    }
    if (!TokenCursorStart(source.cursor, stream, blockSize)) {
        FileError(messages, path) << "not enough memory to hold the file" << std::endl;
        return false;
    }
    MeshArrays arrays;
    MeshFileContent content;
    if (!ZelRead(source, arrays, content)) {
        return false;
    }
    // The file and the buffer are released before the arrays are handed out.
    stream.close();
    source.cursor.buffer.reset();
    *coordinates = arrays.coordinates.release();
    *indices = arrays.indices.release();
    *vertexCount = arrays.vertexCount;
    *faceCount = arrays.triangleCount;
    return true;
}

bool OpenMeshFile(const char* path, std::ifstream& stream, std::ostream& messages) {
    if (path == nullptr) {
        messages << "Error: Invalid filename given to read file" << std::endl;
        return false;
    }
    if (!stream.is_open()) {
        stream.open(path, std::ios::in);
    }
    if (!stream.is_open()) {
        messages << "Error: file could not be opened for reading \"" << path << "\"" << std::endl;
        return false;
    }
    return true;
}

bool ZelMeshRead(const char* path, ZelMesh* mesh) {
    float* coordinates = nullptr;
    int* indices = nullptr;
    int vertexCount = 0;
    int faceCount = 0;
    if (!ReadMeshFile(path, &coordinates, &indices, &vertexCount, &faceCount)) {
        return false;
    }
    mesh->coordinates.assign(coordinates, coordinates + 3 * std::size_t(vertexCount));
    mesh->indices.assign(indices, indices + 3 * std::size_t(faceCount));
    delete[] coordinates;
    delete[] indices;
    return true;
}
