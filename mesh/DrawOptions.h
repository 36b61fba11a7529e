#pragma once

#include <cstdint>

// Per-face and per-vertex data that element drawing sends along with the positions.
struct DrawOptions {
    // One (s, t) pair per corner of a face, in corner order, or null.
    const float* texCoords = nullptr;
    // RGBA colour sent once per face, or null.
    const std::uint32_t* colours = nullptr;
    // RGBA used as ambient, diffuse and specular material and as colour once per face, or null.
    const float* material = nullptr;
    // Send each vertex's normal before the vertex.
    bool vertexNormals = false;
    // Send the face's normal once before its vertices.
    bool faceNormals = false;
};
