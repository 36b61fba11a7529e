#pragma once

#include <cstddef>
#include <string>

// What a file holds by its own structure, found by walking it whole before the library reader
// sees it. The library readers trust their input: they read past a short element list, take
// "3x" for 3, cast any number to an index, and allocate whatever a header declares.
struct PolygonSoupCheck {
    std::string format;          // name of the format and its variant, for the summary
    size_t vertexCount = 0;      // vertex records (STL: three a facet)
    size_t polygonCount = 0;     // face records of any corner count
    size_t droppedElements = 0;  // point and line records, which are not faces
    bool binary = false;         // STL only: binary rather than ASCII
    std::string readerText;      // OBJ only: the vertex and face lines, as the reader takes them
};

// Each returns false with what is wrong in a few words when the bytes break the format's rules
// or hold other than their header declares; on success the reader can take the bytes as they are.
bool PolygonSoupCheckOff(const std::string& bytes, PolygonSoupCheck* check, std::string* problem);
bool PolygonSoupCheckPly(const std::string& bytes, PolygonSoupCheck* check, std::string* problem);
bool PolygonSoupCheckObj(const std::string& bytes, PolygonSoupCheck* check, std::string* problem);
bool PolygonSoupCheckStl(const std::string& bytes, PolygonSoupCheck* check, std::string* problem);
