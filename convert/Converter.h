#pragma once

#include <string>

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
};

// Reads every polygon of the input, OFF, PLY, OBJ and STL polygon by polygon and other formats
// through the importer with node transforms applied, into one mesh in file order, polygons cut
// into triangles, welded unless asked not to; on failure sets a one-line message. Threads may
// call it at once.
bool ConvertImport(const std::string& inputPath, bool weld, ZelMesh* mesh, ConvertSummary* summary,
                   std::string* message);

// Converts the input file into a ZEL file at the output path; on failure sets a one-line message
// and leaves the output path untouched.
bool ConvertFile(const std::string& inputPath, const std::string& outputPath, bool weld,
                 ConvertSummary* summary, std::string* message);

// The one-line account of a conversion printed after it succeeds.
std::string ConvertSummaryText(const ConvertSummary& summary);
