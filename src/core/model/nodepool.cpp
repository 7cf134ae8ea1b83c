#include "core/model/nodepool.h"

#include <new>
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
        const std::size_t k = (size - 1) / kGrain;
        SizeClass& c = m_classes[k];
        if (c.free) {
            FreeBlock* block = c.free;
            c.free = block->next;
            ++m_live;
            return block;
        }
        const std::size_t bytes = (k + 1) * kGrain;
        if (static_cast<std::size_t>(c.end - c.next) < bytes) {
            char* chunk = static_cast<char*>(::operator new(kChunkBytes));
            try {
                m_chunks.push_back(chunk);
            } catch (...) {
                ::operator delete(chunk);
                throw;
            }
            c.next = chunk;
            c.end = chunk + kChunkBytes;
        }
        void* block = c.next;
        c.next += bytes;
        ++m_live;
        return block;
    }

    void Free(void* p, std::size_t size)
    {
        SizeClass& c = m_classes[(size - 1) / kGrain];
        auto* block = static_cast<FreeBlock*>(p);
        block->next = c.free;
        c.free = block;
        if (--m_live == 0)
            releaseChunks();
    }

private:
    static constexpr std::size_t kGrain = 8;
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 18;
    struct FreeBlock {
        FreeBlock* next;
    };
    struct SizeClass {
        FreeBlock* free = nullptr;
        char* next = nullptr;
        char* end = nullptr;
    };

    void releaseChunks()
    {
        for (char* chunk : m_chunks)
            ::operator delete(chunk);
        m_chunks.clear();
        m_chunks.shrink_to_fit();
        for (SizeClass& c : m_classes)
            c = SizeClass();
    }

    SizeClass m_classes[kLargestPooled / kGrain];
    std::vector<char*> m_chunks;
    std::size_t m_live = 0;
};
#endif

}  // namespace

void* PoolAllocate(std::size_t size)
{
#if ORM_POOLED
    if (size <= kLargestPooled)
        return SmallBlocks::Instance().Allocate(size);
#endif
    return ::operator new(size);
}

void PoolFree(void* block, std::size_t size)
{
#if ORM_POOLED
    if (size <= kLargestPooled) {
        SmallBlocks::Instance().Free(block, size);
        return;
    }
#endif
    ::operator delete(block);
}

}  // namespace orm
