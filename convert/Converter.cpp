#include "convert/Converter.h"

#include <cstddef>
#include <utility>

#include "convert/MeshImport.h"

bool ConvertImport(const std::string& inputPath, MeshWeld weld, ZelMesh* mesh,
                   ConvertSummary* summary, std::string* message) {
    MeshFileOptions options;
    options.weld = weld;
    MeshFileContent content;
    if (MeshImport(inputPath, options, &content, message) != MeshImportResult::kRead) {
        return false;
    }
    ZelMesh converted;
    converted.coordinates.assign(
        content.coordinates.get(),
        content.coordinates.get() + 3 * static_cast<std::size_t>(content.vertexCount));
    converted.indices.assign(
        content.indices.get(),
        content.indices.get() + 3 * static_cast<std::size_t>(content.faceCount));
    *mesh = std::move(converted);
    *summary = ConvertSummaryOf(content, inputPath);
    return true;
}

bool ConvertFile(const std::string& inputPath, const std::string& outputPath, MeshWeld weld,
                 ConvertSummary* summary, std::string* message) {
    ZelMesh mesh;
    ConvertSummary result;
    if (!ConvertImport(inputPath, weld, &mesh, &result, message)) {
        return false;
    }
    // the text is formatted on both cores; the file is the same
    if (!ZelMeshWrite(mesh, outputPath, message, 2)) {
        return false;
    }
    *summary = result;
    return true;
}

ConvertSummary ConvertSummaryOf(const MeshFileContent& content, const std::string& path) {
    ConvertSummary summary;
    summary.format = content.format;
    summary.meshCount = content.meshCount;
    summary.polygonsRead = content.polygonsRead;
    summary.trianglesWritten = content.faceCount;
    summary.droppedElements = content.droppedElements;
    summary.verticesBefore = content.verticesBefore;
    summary.verticesAfter = content.vertexCount;
    summary.welded = content.welded;
    if (!content.warning.empty()) {
        summary.warning = MeshFileWarningLine(path, content.warning);
    }
    return summary;
}

std::string ConvertSummaryText(const ConvertSummary& summary) {
    const auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    std::string text = summary.format + ": " + count(summary.meshCount, " mesh", " meshes") + ", " +
                       count(summary.polygonsRead, " polygon", " polygons") + " read, " +
                       count(summary.trianglesWritten, " triangle", " triangles") + " written, " +
                       std::to_string(summary.droppedElements) + " points and lines dropped, " +
                       count(summary.verticesBefore, " vertex", " vertices");
    if (summary.welded) {
        text += " welded to " + std::to_string(summary.verticesAfter);
    } else {
        text += " (not welded)";
    }
    return text;
}
