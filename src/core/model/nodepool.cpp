#include "core/model/nodepool.h"

#include <sys/mman.h>

#include <new>
#include <unordered_map>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ORM_POOLED 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORM_POOLED 0
#endif
#endif
#ifndef ORM_POOLED
#define ORM_POOLED 1
#endif

namespace orm {

namespace {

constexpr std::size_t kGrain = 8;
constexpr std::size_t kClasses = kLargestPooled / kGrain;

std::size_t classOf(std::size_t size)
{
    return (size - 1) / kGrain;
}

#if ORM_POOLED
class SmallBlocks {
public:
    static SmallBlocks& Instance()
    {
        // Never destroyed: a project left to the process exit still points into the chunks.
        static SmallBlocks* blocks = new SmallBlocks;
        return *blocks;
    }

    void* Allocate(std::size_t size)
    {
        SizeClass& c = m_classes[classOf(size)];
        if (c.free) {
            FreeBlock* block = c.free;
            c.free = block->next;
            ++m_live;
            return block;
        }
        const std::size_t bytes = blockBytes(size);
        if (static_cast<std::size_t>(c.end - c.next) < bytes) {
            m_arenas.reserve(m_arenas.size() + 1);
            char* chunk = newChunk();
            reinterpret_cast<ChunkHeader*>(chunk)->ordinal = c.chunks++;
            c.next = chunk + kHeaderBytes;
            c.end = c.next + perChunk(bytes) * bytes;
        }
        void* block = c.next;
        c.next += bytes;
        ++m_live;
        return block;
    }

    void Free(void* p, std::size_t size)
    {
        SizeClass& c = m_classes[classOf(size)];
        auto* block = static_cast<FreeBlock*>(p);
        block->next = c.free;
        c.free = block;
        if (--m_live == 0)
            releaseChunks();
    }

    // A chunk starts at a multiple of its size with its number among the chunks of its block
    // size; the blocks follow in order.
    static uint32_t Slot(const void* block, std::size_t size)
    {
        const auto address = reinterpret_cast<std::uintptr_t>(block);
        const std::uintptr_t chunk = address & ~(kChunkBytes - 1);
        const std::size_t bytes = blockBytes(size);
        return static_cast<uint32_t>(
            reinterpret_cast<const ChunkHeader*>(chunk)->ordinal * perChunk(bytes) +
            (address - chunk - kHeaderBytes) / bytes);
    }

    uint32_t SlotLimit(std::size_t size) const
    {
        return static_cast<uint32_t>(m_classes[classOf(size)].chunks *
                                     perChunk(blockBytes(size)));
    }

private:
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
    static constexpr std::size_t kArenaBytes = std::size_t{1} << 21;
    static constexpr std::size_t kSmallArenas = 8;
    static constexpr std::size_t kHeaderBytes = 64;
    struct ChunkHeader {
        uint32_t ordinal;
    };
    struct FreeBlock {
        FreeBlock* next;
    };
    struct SizeClass {
        FreeBlock* free = nullptr;
        char* next = nullptr;
        char* end = nullptr;
        uint32_t chunks = 0;
    };

    static std::size_t blockBytes(std::size_t size) { return (classOf(size) + 1) * kGrain; }
    static std::size_t perChunk(std::size_t bytes) { return (kChunkBytes - kHeaderBytes) / bytes; }

    // Chunks are cut from arenas of kArenaBytes, each mapped at a multiple of its size. Past
    // the first few, an arena asks for huge pages: a large project is read and written by walks
    // that jump all over it, which then cost far fewer misses of the address translation cache
    // and far fewer page faults, while a small one keeps the memory it uses.
    char* newChunk()
    {
        if (m_arenaNext == m_arenaEnd) {
            void* mapped = ::mmap(nullptr, 2 * kArenaBytes, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped == MAP_FAILED)
                throw std::bad_alloc();
            const auto start = reinterpret_cast<std::uintptr_t>(mapped);
            const std::uintptr_t arena = (start + kArenaBytes - 1) & ~(kArenaBytes - 1);
            if (arena > start)
                ::munmap(mapped, arena - start);
            const std::uintptr_t tail = start + 2 * kArenaBytes - (arena + kArenaBytes);
            if (tail > 0)
                ::munmap(reinterpret_cast<void*>(arena + kArenaBytes), tail);
            m_arenas.push_back(reinterpret_cast<char*>(arena));
            if (m_arenas.size() > kSmallArenas)
                ::madvise(reinterpret_cast<void*>(arena), kArenaBytes, MADV_HUGEPAGE);
            m_arenaNext = reinterpret_cast<char*>(arena);
            m_arenaEnd = m_arenaNext + kArenaBytes;
        }
        char* chunk = m_arenaNext;
        m_arenaNext += kChunkBytes;
        return chunk;
    }

    void releaseChunks()
    {
        for (char* arena : m_arenas)
            ::munmap(arena, kArenaBytes);
        m_arenas.clear();
        m_arenas.shrink_to_fit();
        m_arenaNext = m_arenaEnd = nullptr;
        for (SizeClass& c : m_classes)
            c = SizeClass();
    }

    SizeClass m_classes[kClasses];
    std::vector<char*> m_arenas;
    char* m_arenaNext = nullptr;
    char* m_arenaEnd = nullptr;
    std::size_t m_live = 0;
};
#else
// Blocks from the heap, numbered on the side.
class HeapSlots {
public:
    static HeapSlots& Instance()
    {
        static HeapSlots* slots = new HeapSlots;
        return *slots;
    }
    void Add(const void* block, std::size_t size)
    {
        SizeClass& c = m_classes[classOf(size)];
        uint32_t slot = c.limit;
        if (c.free.empty()) {
            ++c.limit;
        } else {
            slot = c.free.back();
            c.free.pop_back();
        }
        m_slots[block] = slot;
    }
    void Remove(const void* block, std::size_t size)
    {
        const auto it = m_slots.find(block);
        m_classes[classOf(size)].free.push_back(it->second);
        m_slots.erase(it);
    }
    uint32_t Slot(const void* block) const { return m_slots.at(block); }
    uint32_t SlotLimit(std::size_t size) const { return m_classes[classOf(size)].limit; }

private:
    struct SizeClass {
        uint32_t limit = 0;
        std::vector<uint32_t> free;
    };
    SizeClass m_classes[kClasses];
    std::unordered_map<const void*, uint32_t> m_slots;
};
#endif

}  // namespace

void* PoolAllocate(std::size_t size)
{
    if (size > kLargestPooled)
        return ::operator new(size);
#if ORM_POOLED
    return SmallBlocks::Instance().Allocate(size);
#else
    void* block = ::operator new(size);
    try {
        HeapSlots::Instance().Add(block, size);
    } catch (...) {
        ::operator delete(block);
        throw;
    }
    return block;
#endif
}

void PoolFree(void* block, std::size_t size)
{
    if (size > kLargestPooled) {
        ::operator delete(block);
        return;
    }
#if ORM_POOLED
    SmallBlocks::Instance().Free(block, size);
#else
    HeapSlots::Instance().Remove(block, size);
    ::operator delete(block);
#endif
}

uint32_t PoolSlot(const void* block, std::size_t size)
{
#if ORM_POOLED
    return SmallBlocks::Slot(block, size);
#else
    (void)size;
    return HeapSlots::Instance().Slot(block);
#endif
}

uint32_t PoolSlotLimit(std::size_t size)
{
#if ORM_POOLED
    return SmallBlocks::Instance().SlotLimit(size);
#else
    return HeapSlots::Instance().SlotLimit(size);
#endif
}

}  // namespace orm
