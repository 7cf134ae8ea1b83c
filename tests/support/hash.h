#pragma once

// FNV-1a of bytes: outputs too large to keep as files are kept as hashes.

#include <cstdint>
#include <string_view>

namespace orm::test {

inline uint64_t Fnv1a(std::string_view bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace orm::test
