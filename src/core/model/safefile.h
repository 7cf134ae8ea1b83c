#pragma once

// Whole-file reads and writes. A write goes to a temporary file beside the target, is flushed to
// disk and renamed over the target only when all of it succeeded, so a failed write (full disk,
// lost permission) leaves the file the user had byte for byte.

#include <cstddef>
#include <optional>
#include <string>

namespace orm {

// The file's bytes, or nothing when it cannot be read (missing, a folder, no permission).
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file at path with bytes. Refuses a target without write permission (like a file
// with the read-only attribute on Windows, even for root) and keeps the target's mode. A symbolic
// link is followed: the file it points to is replaced and the link stays. On failure returns
// false with a short reason in *error and leaves the target as it was.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error = nullptr);

// Test seam: while set, writes fail as a full disk would once this many bytes have been
// written to the temporary file.
void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes);

}  // namespace orm
