#include "convert/PolygonSoup.h"

size_t PolygonSoupTriangleCount(const PolygonSoup& soup) {
    size_t triangles = 0;
    for (const int size : soup.polygonSizes) {
        triangles += static_cast<size_t>(size) - 2;
    }
    return triangles;
}

void PolygonSoupTriangulate(const PolygonSoup& soup, ZelMesh* mesh) {
    mesh->coordinates = soup.coordinates;
    mesh->indices.clear();
    mesh->indices.reserve(3 * PolygonSoupTriangleCount(soup));
    size_t first = 0;
    for (const int size : soup.polygonSizes) {
        // a fan round the first corner keeps the polygon's winding in every triangle
        const int* corners = &soup.corners[first];
        for (int c = 1; c + 1 < size; ++c) {
            mesh->indices.insert(mesh->indices.end(), {corners[0], corners[c], corners[c + 1]});
        }
        first += static_cast<size_t>(size);
    }
}
