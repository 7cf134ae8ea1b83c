#pragma once

// What a file was when the program read it or last wrote it: which file (device and inode), its
// size and its modification time. A save over the file compares the stamp with the file there
// now, so that what another program, or another copy of this one, wrote since is not replaced
// unasked. Saves replace a file by a new one (see WriteFileAtomically), so a file saved by
// another copy differs in identity even when size and time happen to match.

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>

namespace orm {

class Prompts;

struct FileStamp {
    // The file's full name with symbolic links resolved, so that other spellings of it match. A
    // file of another name is another file even when it has the same inode number: numbers of
    // files that are gone are soon given to new ones.
    std::string Path;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};

    // The open file fd, which is there under the name path; nothing when it cannot be looked
    // at.
    static std::optional<FileStamp> OfOpenFile(int fd, const std::string& path);
    // The file at path now, symbolic links followed; nothing when there is none.
    static std::optional<FileStamp> Of(const std::string& path);

    bool SameState(const FileStamp& other) const
    {
        return Device == other.Device && Inode == other.Inode && Size == other.Size &&
               Modified.tv_sec == other.Modified.tv_sec &&
               Modified.tv_nsec == other.Modified.tv_nsec;
    }
};

// True when writing path would replace something the stamp has not seen: the stamp speaks of
// the file of that name and the file there now is another one, or has another size or
// modification time. No stamp, a file that is gone, or another name is no change: there is
// nothing of someone else's to lose that the stamp could tell about.
bool ChangedOnDisk(const std::optional<FileStamp>& stamp, const std::string& path);

// Before a save over path: when the file changed on disk since stamp, asks whether to replace
// it, with No as the default. True when the save may go on.
bool MayReplaceFile(const std::optional<FileStamp>& stamp, const std::string& path,
                    Prompts& prompts);

}  // namespace orm
