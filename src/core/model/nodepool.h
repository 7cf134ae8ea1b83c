#pragma once

// Memory for the parts of a project tree: nodes, names and child and link lists. A project may
// hold millions of small blocks of a few sizes, so blocks up to kLargestPooled bytes come from
// large chunks, one free list per size in steps of 8 bytes, with no per-block overhead; larger
// ones come from the heap. The chunks go back to the system when the last pooled block is freed.
// The tree is used from one thread. Under AddressSanitizer every block comes from the heap, so
// a block used after it was freed is still caught.
//
// Pooled blocks of one size are also numbered: each live one has a slot of its own below
// PoolSlotLimit(size), found from its address alone, so that a walk over millions of nodes can
// keep what it notes about each in a flat array instead of in the nodes themselves.

#include <cstddef>
#include <cstdint>

namespace orm {

inline constexpr std::size_t kLargestPooled = 256;

// size > 0. Throws std::bad_alloc when there is no memory.
void* PoolAllocate(std::size_t size);
// block from PoolAllocate(size), with the same size.
void PoolFree(void* block, std::size_t size);

// The slot of a live block from PoolAllocate(size), size <= kLargestPooled.
uint32_t PoolSlot(const void* block, std::size_t size);
// Every live block of that size has a slot below this.
uint32_t PoolSlotLimit(std::size_t size);

}  // namespace orm
