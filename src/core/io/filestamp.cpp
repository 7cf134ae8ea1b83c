#include "core/io/filestamp.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "core/prompts/prompts.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

// path with its symbolic links resolved, or path itself when that fails.
std::string fullName(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

FileStamp stampOf(const struct stat& st, const std::string& path)
{
    FileStamp stamp;
    stamp.Path = fullName(path);
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.Modified = st.st_mtim;
    return stamp;
}

}  // namespace

std::optional<FileStamp> FileStamp::OfOpenFile(int fd, const std::string& path)
{
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return std::nullopt;
    return stampOf(st, path);
}

std::optional<FileStamp> FileStamp::Of(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stampOf(st, path);
}

bool ChangedOnDisk(const std::optional<FileStamp>& stamp, const std::string& path)
{
    if (!stamp)
        return false;
    const std::optional<FileStamp> now = FileStamp::Of(path);
    return now && now->Path == stamp->Path && !now->SameState(*stamp);
}

bool MayReplaceFile(const std::optional<FileStamp>& stamp, const std::string& path,
                    Prompts& prompts)
{
    if (!ChangedOnDisk(stamp, path))
        return true;
    return prompts.Confirm(ToCp1251("Файл «") + ToCp1251(path) +
                               ToCp1251("» изменён другой программой после открытия.\n"
                                        "Заменить его?"),
                           Prompts::Answer::No);
}

}  // namespace orm
