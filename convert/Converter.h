#pragma once

#include <string>

#include "app/MeshFile.h"
#include "app/ZelMesh.h"

// What one conversion read and wrote, for the summary line.
struct ConvertSummary {
    std::string format;        // name of the input's format
    int meshCount = 0;         // meshes in the input file
    int polygonsRead = 0;      // polygons of three or more corners in the file
    int trianglesWritten = 0;  // triangles the polygons gave, n - 2 for each n-gon
    int droppedElements = 0;   // points and lines left out
    int verticesBefore = 0;    // vertices as the file gives them
    int verticesAfter = 0;     // vertices written, after welding when it is on
    bool welded = true;        // whether equal positions were merged
    std::string warning;       // the "Warning: " line for data left unread, or empty
};

// Reads the input through MeshImport into one mesh, welded as asked (by default as the format
// suggests); on failure sets a one-line message. Threads may call it at once.
bool ConvertImport(const std::string& inputPath, MeshWeld weld, ZelMesh* mesh,
                   ConvertSummary* summary, std::string* message);

// Converts the input file into a ZEL file at the output path; on failure sets a one-line message
// and leaves the output path untouched.
bool ConvertFile(const std::string& inputPath, const std::string& outputPath, MeshWeld weld,
                 ConvertSummary* summary, std::string* message);

// The summary of what a read gave, for the summary line.
ConvertSummary ConvertSummaryOf(const MeshFileContent& content, const std::string& path);

// The one-line account of a conversion printed after it succeeds.
std::string ConvertSummaryText(const ConvertSummary& summary);
