#pragma once

// Whole-file reads and writes. Every file the program saves (projects, settings, organigrams,
// reports) goes through WriteFileAtomically: the bytes go to a temporary file beside the
// target, are flushed to disk and renamed over the target only when all of it succeeded, and
// the folder is flushed after the rename, so a failed or interrupted save leaves the file the
// user had byte for byte and a finished one survives a power loss.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/io/filestamp.h"

namespace orm {

// The file's bytes, or nothing when it cannot be read (missing, a folder, no permission).
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file at path with bytes. On failure returns false with a short reason in *error
// and leaves the target as it was.
//
// - A target without write permission is refused (like a file with the read-only attribute on
//   Windows, even for root). The target's mode is kept, and its owner and group where the saver
//   may set them (root saving another user's file leaves it theirs).
// - Symbolic links are followed: the file they point to is replaced and the links stay. A link
//   in a sticky folder that others may write to (like /tmp), at any component of the path, is
//   followed only when it belongs to the saver or to the folder's owner, the rule the kernel
//   applies to open(): otherwise another user could point the save at any of the saver's files
//   or folders. The refusal names the link and its owner.
// - A file with several hard links is replaced by a new file: the target's name gets the new
//   bytes and the other names keep the old ones. Writing in place would keep the links but lose
//   the promise above: a full disk or a crash halfway would tear the file under every name.
// - Temporaries are named .ormelit-save-N.tmp and locked while their save runs; a save removes
//   the saver's unlocked ones in its folder, left by saves that were killed.
// - *written, when given, gets the stamp of the new file under path.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error = nullptr, FileStamp* written = nullptr);

// Where a save's bytes go as they are made, so a large file need not be held whole in memory.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False once a write has failed; later bytes are dropped and the save fails.
    virtual bool Append(std::string_view bytes) = 0;
};

// A sink that keeps everything in memory.
class StringSink : public ByteSink {
public:
    bool Append(std::string_view bytes) override
    {
        Text += bytes;
        return true;
    }
    std::string Text;
};

// The same save, with the bytes handed to the sink by produce.
bool WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                         std::string* error = nullptr, FileStamp* written = nullptr);

// Test seam: while set, writes fail as a full disk would once this many bytes have been
// written to the temporary file.
void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes);

// The file-system calls of a save that tests replace to fail one or to watch their order. Each
// returns what the system call does (-1 with errno set on failure); the default makes the call.
class SaveFileSystem {
public:
    virtual ~SaveFileSystem() = default;
    virtual int Lstat(const std::string& path, struct stat& st);
    virtual uid_t EffectiveUser();
    virtual ssize_t Write(int fd, const char* data, std::size_t size);
    virtual int ChangeOwner(int fd, uid_t owner, gid_t group);
    virtual int SyncFile(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int SyncFolder(const std::string& folder);
};

// Test seam: saves call fs until it is reset with nullptr.
void SetSaveFileSystemForTesting(SaveFileSystem* fs);

}  // namespace orm
