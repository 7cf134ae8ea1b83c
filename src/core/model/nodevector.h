#pragma once

// The child and link lists of a tree node. A project has a node per item, most with no children
// and one or two links, so the list is 16 bytes inside the node and keeps its first entry there:
// a list of one needs no block of its own, and a longer one is one pooled block.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <type_traits>

#include "core/model/nodepool.h"

namespace orm {

template <typename T>
class NodeVector {
    static_assert(std::is_pointer_v<T>, "entries are moved as raw bytes");

public:
    NodeVector() = default;
    ~NodeVector() { release(); }
    NodeVector(const NodeVector&) = delete;
    NodeVector& operator=(const NodeVector&) = delete;
    NodeVector(NodeVector&& other) noexcept { steal(other); }
    NodeVector& operator=(NodeVector&& other) noexcept
    {
        if (this != &other) {
            release();
            steal(other);
        }
        return *this;
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T* data() { return onHeap() ? m_heap : &m_one; }
    const T* data() const { return onHeap() ? m_heap : &m_one; }
    T* begin() { return data(); }
    T* end() { return data() + m_size; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + m_size; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    T front() const { return data()[0]; }
    T back() const { return data()[m_size - 1]; }
    std::span<const T> view() const { return {data(), m_size}; }

    void push_back(T value)
    {
        if (m_size == m_capacity)
            grow(static_cast<std::size_t>(m_size) + 1);
        data()[m_size++] = value;
    }
    void insert(std::size_t at, T value)
    {
        if (m_size == m_capacity)
            grow(static_cast<std::size_t>(m_size) + 1);
        T* d = data();
        std::memmove(d + at + 1, d + at, (m_size - at) * sizeof(T));
        d[at] = value;
        ++m_size;
    }
    void erase(std::size_t at)
    {
        T* d = data();
        std::memmove(d + at, d + at + 1, (m_size - at - 1) * sizeof(T));
        --m_size;
    }
    void pop_back() { --m_size; }
    void assign(std::span<const T> values)
    {
        if (values.size() > m_capacity)
            grow(values.size());
        if (!values.empty())
            std::memcpy(data(), values.data(), values.size() * sizeof(T));
        m_size = static_cast<uint32_t>(values.size());
    }
    // Empties the list and gives its block back.
    void release()
    {
        if (onHeap())
            PoolFree(m_heap, m_capacity * sizeof(T));
        m_one = nullptr;
        m_size = 0;
        m_capacity = 1;
    }

private:
    bool onHeap() const { return m_capacity > 1; }
    void steal(NodeVector& other)
    {
        std::memcpy(&m_heap, &other.m_heap, sizeof m_heap);  // whichever member is in use
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_one = nullptr;
        other.m_size = 0;
        other.m_capacity = 1;
    }
    void grow(std::size_t needed)
    {
        if (needed > UINT32_MAX)
            throw std::length_error("node list too long");
        std::size_t capacity = std::max<std::size_t>(needed, m_capacity * std::size_t{2});
        capacity = std::min<std::size_t>(capacity, UINT32_MAX);
        T* block = static_cast<T*>(PoolAllocate(capacity * sizeof(T)));
        if (m_size)
            std::memcpy(block, data(), m_size * sizeof(T));
        if (onHeap())
            PoolFree(m_heap, m_capacity * sizeof(T));
        m_heap = block;
        m_capacity = static_cast<uint32_t>(capacity);
    }

    union {
        T m_one = nullptr;  // the only entry while the capacity is 1
        T* m_heap;
    };
    uint32_t m_size = 0;
    uint32_t m_capacity = 1;
};

}  // namespace orm
