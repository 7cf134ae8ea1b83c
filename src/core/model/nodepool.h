#pragma once

// Memory for the parts of a project tree: nodes, names and child and link lists. A project may
// hold millions of small blocks of a few sizes, so blocks up to kLargestPooled bytes come from
// large chunks, one free list per size in steps of 8 bytes, with no per-block overhead; larger
// ones come from the heap. The chunks go back to the system when the last pooled block is freed.
// The tree is used from one thread. Under AddressSanitizer every block comes from the heap, so
// a block used after it was freed is still caught.

#include <cstddef>

namespace orm {

inline constexpr std::size_t kLargestPooled = 256;

// size > 0. Throws std::bad_alloc when there is no memory.
void* PoolAllocate(std::size_t size);
// block from PoolAllocate(size), with the same size.
void PoolFree(void* block, std::size_t size);

}  // namespace orm
