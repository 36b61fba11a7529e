#!/usr/bin/python3
"""The peer of `zelcheck DIR` in bench/dataset.py: Open3D's edge checks on every ZEL, PLY and STL
file under a directory, one JSON line per file, in zelcheck's order (byte order of the paths).

  PLY, STL  o3d.io.read_triangle_mesh; STL then remove_duplicated_vertices, since an STL file
            gives every triangle its own corners and zelcheck welds them;
  ZEL       Open3D has no ZEL reader: numpy parses the text into a TriangleMesh;
  then      get_non_manifold_edges with and without boundary edges (boundary edges are the
            difference) and cluster_connected_triangles.

A file Open3D cannot read (no triangles, or a ZEL file that does not parse) gives an "error" line.

usage: open3d_check.py DIR              the timed run
       open3d_check.py --incidence FILE...
           for each file, the triangles on its non-manifold edges summed over those edges, which
           is what zelcheck counts as non-manifold half-edges (not timed)
"""
import json
import os
import sys
import warnings

import numpy as np
import open3d as o3d

EXTENSIONS = (".zel", ".ply", ".stl")


def read_zel(path):
    with open(path, "rb") as f:
        data = f.read()
    head = data.split(maxsplit=3)
    if len(head) < 3 or head[0] != b"ZEL":
        raise ValueError("not a ZEL file")
    vertices, faces = int(head[1]), int(head[2])
    numbers = np.fromstring(head[3] if len(head) > 3 else b"", dtype=np.float64, sep=" ")
    if numbers.size != 3 * vertices + 3 * faces:
        raise ValueError("wrong number of values")
    corners = numbers[3 * vertices:].astype(np.int32).reshape(-1, 3)
    if corners.size and (corners.min() < 0 or corners.max() >= vertices):
        raise ValueError("vertex number out of range")
    return o3d.geometry.TriangleMesh(
        o3d.utility.Vector3dVector(numbers[:3 * vertices].reshape(-1, 3)),
        o3d.utility.Vector3iVector(corners))


def read_mesh(path):
    lower = path.lower()
    if lower.endswith(".zel"):
        return read_zel(path)
    mesh = o3d.io.read_triangle_mesh(path)
    if lower.endswith(".stl"):
        mesh.remove_duplicated_vertices()
    return mesh


def walk(root):
    paths = []
    for folder, _, names in os.walk(root):
        paths.extend(os.path.join(folder, name) for name in names
                     if name.lower().endswith(EXTENSIONS))
    return sorted(paths, key=os.fsencode)


def check(path):
    try:
        mesh = read_mesh(path)
    except (ValueError, OSError) as error:
        return {"path": path, "error": str(error)}
    triangles = len(mesh.triangles)
    if triangles == 0:
        return {"path": path, "error": "no triangles read"}
    non_manifold = len(mesh.get_non_manifold_edges(allow_boundary_edges=True))
    with_boundary = len(mesh.get_non_manifold_edges(allow_boundary_edges=False))
    clusters, _, _ = mesh.cluster_connected_triangles()
    return {"path": path, "vertices": len(mesh.vertices), "faces": triangles,
            "boundaryEdges": with_boundary - non_manifold, "nonManifoldEdges": non_manifold,
            "clusters": int(np.asarray(clusters).max()) + 1 if triangles else 0}


def incidence(path):
    mesh = read_mesh(path)
    edges = np.asarray(mesh.get_non_manifold_edges(allow_boundary_edges=True))
    triangles = np.asarray(mesh.triangles)
    pairs = np.concatenate([triangles[:, [0, 1]], triangles[:, [1, 2]], triangles[:, [2, 0]]])
    pairs.sort(axis=1)
    keys, counts = np.unique(pairs, axis=0, return_counts=True)
    if len(edges) == 0:
        return 0
    edges.sort(axis=1)
    wanted = {tuple(e) for e in edges}
    return int(sum(c for k, c in zip(map(tuple, keys), counts) if k in wanted))


def main():
    o3d.utility.set_verbosity_level(o3d.utility.VerbosityLevel.Error)
    # numpy warns on a ZEL file that holds more than its counts; the counts check says so anyway
    warnings.simplefilter("ignore", DeprecationWarning)
    if len(sys.argv) >= 2 and sys.argv[1] == "--incidence":
        for path in sys.argv[2:]:
            print(json.dumps({"path": path, "nonManifoldIncidence": incidence(path)}))
        return
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.stdout
    for path in walk(sys.argv[1]):
        out.write(json.dumps(check(path)) + "\n")


if __name__ == "__main__":
    main()
