#pragma once

#include <string>

#include "app/ZelMesh.h"

// What one conversion read and wrote, for the summary line.
struct ConvertSummary {
    std::string format;      // name of the importer that read the input
    int meshCount = 0;       // meshes in the input file
    int verticesBefore = 0;  // vertices as the importer gave them
    int verticesAfter = 0;   // vertices written, after welding when it is on
    int faceCount = 0;       // triangles written
    int droppedFaces = 0;    // points and lines left out
    bool welded = true;      // whether equal positions were merged
};

// Reads every mesh of the input with node transforms applied and polygons triangulated, into one
// mesh in file order, welded unless asked not to; on failure sets a one-line message.
bool ConvertImport(const std::string& inputPath, bool weld, ZelMesh* mesh, ConvertSummary* summary,
                   std::string* message);

// Converts the input file into a ZEL file at the output path; on failure sets a one-line message
// and leaves the output path untouched.
bool ConvertFile(const std::string& inputPath, const std::string& outputPath, bool weld,
                 ConvertSummary* summary, std::string* message);

// The one-line account of a conversion printed after it succeeds.
std::string ConvertSummaryText(const ConvertSummary& summary);
