#include "app/MeshLoad.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <system_error>
#include <utility>

#include "convert/MeshImport.h"
#include "mesh/Mesh.h"
#include "mesh/MeshMemory.h"

namespace {

// Whether a second core can take part of the start (an unknown count is taken as two).
bool SecondCore() {
    return std::thread::hardware_concurrency() != 1;
}

// The need for a mesh of these counts against what the process can have, beside what it holds:
// ends the run with one error line when it cannot fit, else gives what is left beside it for
// the driver's display lists.
std::uint64_t RefuseWhatCannotFit(const std::string& fileName, int vertexCount, int faceCount,
                                  MeshMemoryUse use, const MeshMemoryAmount& held) {
    const MeshMemoryAmount need = MeshMemoryNeed(vertexCount, faceCount, use, held);
    const MeshMemoryAmount ceiling = MeshMemoryCeilingOfProcess();
    if (!MeshMemoryFits(need, ceiling)) {
        std::cerr << "Error: \"" << fileName << "\": " << MeshMemoryShortfallText(need, ceiling)
                  << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
    return std::min(ceiling.resident - need.resident, ceiling.addressSpace - need.addressSpace);
}

// Reads the mesh file, or ends the run with one error line: a file that cannot be read, or a
// mesh that needs more memory than the process can have (known from the header's counts before
// anything is read where the format has them, else once the data is read, before anything is
// built). The mesh's storage is mapped in pool once the arrays have room for the counts a header
// tells, and a second thread faults it in while the file is read and the elements are made.
// drawListBudget receives what is left beside the mesh for the driver's display lists.
void ReadOrExit(const std::string& fileName, ElementArenaPool& pool, MeshFileContent* content,
                std::uint64_t* drawListBudget) {
    const std::uint64_t size = MeshFileRegularSize(fileName.c_str());
    const std::uint64_t fileSize = size == kUnknownFileSize ? 0 : size;
    // Every format zelconvert reads, welded as its default conversion would be.
    MeshFileOptions options;
    options.countsRead = [&fileName](int vertexCount, int faceCount) {
        RefuseWhatCannotFit(fileName, vertexCount, faceCount, MeshMemoryUse::kView,
                            MeshMemoryHeld());
    };
    options.arraysReserved = [&pool, fileSize](int vertexCount, int faceCount) {
        if (pool.blocks.empty() && SecondCore() &&
            Mesh::StorageWorthPreparing(vertexCount, faceCount, fileSize)) {
            ElementArenaPoolPrepareAhead(pool, Mesh::StorageSizes(vertexCount, faceCount));
        }
    };
    std::string message;
    const MeshImportResult read = MeshImport(fileName, options, content, &message);
    if (read == MeshImportResult::kNotRecognised) {
        std::cerr << "Error: Do not recognize file type. File data should have ZEL header"
                  << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
    if (read != MeshImportResult::kRead) {
        std::cerr << message << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
    // The exact counts: a header's may have told polygons, not triangles, or none at all; storage
    // prepared for other counts goes back. The storage prepared is part of the need, so what it
    // holds already (all its address space, the pages faulted in so far) is not counted twice.
    if (!ElementArenaPoolHolds(pool,
                               Mesh::StorageSizes(content->vertexCount, content->faceCount))) {
        ElementArenaPoolRelease(pool);
    }
    const std::uint64_t faulted = pool.faultedBytes;
    MeshMemoryAmount held = MeshMemoryHeld();
    held.resident -= std::min<std::uint64_t>(held.resident, faulted);
    held.addressSpace -= std::min<std::uint64_t>(held.addressSpace, ElementArenaPoolBytes(pool));
    *drawListBudget = RefuseWhatCannotFit(fileName, content->vertexCount, content->faceCount,
                                          MeshMemoryUse::kViewArraysHeld, held);
    if (!content->warning.empty()) {
        std::cerr << MeshFileWarningLine(fileName, content->warning) << std::endl;
    }
}

}  // namespace

void MeshLoadRead(MeshLoad* load) {
    // The reader reports memory it cannot have itself; the standard containers on the way (the
    // reader's messages, the stream, the pool's list) throw instead.
    try {
        load->pool = std::make_unique<ElementArenaPool>();
        ReadOrExit(load->fileName, *load->pool, &load->content, &load->drawListBudget);
    } catch (const std::bad_alloc&) {
        std::cerr << "Error: \"" << load->fileName << "\": not enough memory to read the mesh"
                  << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
}

void MeshLoadStartBuild(MeshLoad* load) {
    load->mesh = new (std::nothrow) Mesh();
    if (load->mesh == nullptr) {
        std::cerr << "Error: \"" << load->fileName << "\": not enough memory to build the mesh"
                  << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
    // Both cores share matching and the geometry pass; the mesh comes out the same.
    load->mesh->buildThreads = SecondCore() ? 2 : 1;
    auto build = [load] {
        ElementArenaPoolAdopt(load->pool.get());
        load->mesh->BuildTakingArrays(std::move(load->content.coordinates),
                                      std::move(load->content.indices), load->content.vertexCount,
                                      load->content.faceCount);
        ElementArenaPoolAdopt(nullptr);
    };
    try {
        load->thread = std::thread(build);
        return;
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    build();
}

Mesh* MeshLoadFinishOrExit(MeshLoad* load) {
    if (load->thread.joinable()) {
        load->thread.join();
    }
    if (load->mesh->outOfMemory) {
        std::cerr << "Error: \"" << load->fileName << "\": not enough memory to build the mesh"
                  << std::endl;
        std::exit(kMeshLoadExitStatus);
    }
    // blocks prepared for counts the file did not have go back
    load->pool.reset();
    return load->mesh;
}
