#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "app/TokenCursor.h"

// The formats read here, without the importer.
enum class MeshFileFormat { kNone, kZel, kOff, kPly, kObj, kStl };

// Whether equal positions are merged: as the format's data suggests (not for the indexed
// formats, whose own vertex sharing is what a defect viewer must show; yes for STL, which gives
// every facet its own corners), or as asked.
enum class MeshWeld { kFormatDefault, kWeld, kNoWeld };

// A file size that is not known, as for a pipe.
constexpr std::uint64_t kUnknownFileSize = UINT64_MAX;
// The size of a regular file; kUnknownFileSize for anything else.
std::uint64_t MeshFileRegularSize(const char* path);

// How a file is read.
struct MeshFileOptions {
    MeshWeld weld = MeshWeld::kFormatDefault;
    // Bytes taken from the file at a time.
    std::size_t blockSize = kMeshReadBlockSize;
    // Called with the counts a header declares, before the arrays are filled, so a caller can
    // prepare for the mesh or refuse it meanwhile: ZEL, OFF, PLY and unwelded binary STL (the
    // face count is then the polygons declared, the triangles when every polygon is one). Not
    // called where the counts are known only once the data is read (OBJ, ASCII STL, anything
    // welded, the importer's formats): the content's counts tell them then. The file may still
    // be refused afterwards.
    std::function<void(int, int)> countsRead;
    // Called with the same counts once the arrays have room for them, before the data is read:
    // memory prepared here comes after the arrays', as it would if it were had after reading.
    std::function<void(int, int)> arraysReserved;
};

// What a file read gave: the arrays the mesh is built from and what a summary says of them.
struct MeshFileContent {
    std::unique_ptr<float[]> coordinates;  // three a vertex
    std::unique_ptr<int[]> indices;        // three a triangle
    int vertexCount = 0;
    int faceCount = 0;
    std::string format;       // the format and its variant, e.g. "PLY (binary little-endian)"
    int meshCount = 1;        // meshes in the file
    int polygonsRead = 0;     // polygons of three or more corners
    int droppedElements = 0;  // points and lines, which have no surface
    int verticesBefore = 0;   // vertices as the file gives them
    bool welded = false;      // whether equal positions were merged
    // What the file holds after the elements its header declares, which is not read, in a few
    // words (e.g. "has 5 bytes after the last element its header declares"); empty when nothing.
    std::string warning;
};

enum class MeshFileResult { kRead, kRefused, kOtherFormat };

// The native format of a file from its first bytes (the ZEL header word, "ply", an OFF header
// word, the binary STL size rule), else from the path's extension; kNone when neither tells.
MeshFileFormat MeshFileFormatOf(std::string_view head, std::uint64_t fileSize,
                                const std::string& path);

// The native format a path's extension names (any letter case); kNone for any other.
MeshFileFormat MeshFileFormatOfExtension(const std::string& path);

// Reads a file of any native format into content, welded as the options say. kRefused after a
// one-line "Error: " message on messages; kOtherFormat, with nothing printed, for a file of no
// native format (the importer's to read).
MeshFileResult MeshFileRead(const char* path, const MeshFileOptions& options,
                            MeshFileContent* content, std::ostream& messages = std::cerr);

// Whether the format is welded when the options leave it to the format; other formats (the
// importer's) are.
bool MeshFileFormatWelds(MeshFileFormat format);

// Merges equal positions of the content's arrays when weld says so for a file of the format,
// and records it; false without memory.
bool MeshFileContentWeld(MeshFileContent* content, MeshWeld weld, bool formatWelds);

// The line a warning is printed as: "Warning: " and the file's path before the content's words.
std::string MeshFileWarningLine(const std::string& path, const std::string& warning);
