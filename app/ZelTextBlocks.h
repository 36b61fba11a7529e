#pragma once

#include <cstddef>
#include <functional>

#include "app/ZelMesh.h"

// The ZEL text of a mesh as blocks of whole lines, in order, each handed to write as soon as the
// blocks before it are: the header, then the vertex lines, then the face lines, with coordinates
// of nine significant digits. With two threads a second one formats every other block meanwhile,
// which gives the same bytes. Memory is a few blocks of at most about 0.8 MB, however large the
// mesh. Returns false as soon as write does, without formatting further; blocks throws
// std::bad_alloc, on the calling thread, when the blocks cannot be had.
bool ZelTextBlocks(const ZelMesh& mesh, int threads,
                   const std::function<bool(const char* text, std::size_t size)>& write);
