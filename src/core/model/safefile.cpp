#include "core/model/safefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace orm {

namespace {

std::optional<std::size_t> g_failAfter;

void setError(std::string* error, const std::string& what)
{
    if (error)
        *error = what;
}

std::string resolveLinks(const std::string& path)
{
    char buf[PATH_MAX];
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        const ssize_t n = ::readlink(current.c_str(), buf, sizeof buf - 1);
        if (n < 0)
            return current;
        std::string target(buf, static_cast<size_t>(n));
        if (!target.empty() && target[0] != '/') {
            const auto slash = current.rfind('/');
            if (slash != std::string::npos)
                target = current.substr(0, slash + 1) + target;
        }
        current = target;
    }
    return current;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    // The file may have grown since stat; take the rest too.
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        bytes.append(chunk, static_cast<size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    return bytes;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error)
{
    if (path.empty()) {
        setError(error, "empty file name");
        return false;
    }
    const std::string target = resolveLinks(path);
    mode_t mode = 0666 & ~0022;
    struct stat st{};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            setError(error, "not a regular file");
            return false;
        }
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            setError(error, "the file is read-only");
            return false;
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string folder = folderOf(target);
    std::string tmp;
    int fd = -1;
    std::random_device rd;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        tmp = folder + "/.ormelit-save-" + std::to_string(rd() % 1000000000u) + ".tmp";
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        setError(error, std::strerror(errno));
        return false;
    }

    bool ok = true;
    std::string reason;
    size_t written = 0;
    while (ok && written < bytes.size()) {
        size_t chunk = std::min<size_t>(bytes.size() - written, 1 << 16);
        if (g_failAfter) {
            if (written >= *g_failAfter) {
                ok = false;
                reason = std::strerror(ENOSPC);
                break;
            }
            chunk = std::min(chunk, *g_failAfter - written);
        }
        const ssize_t n = ::write(fd, bytes.data() + written, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            reason = std::strerror(errno);
        } else {
            written += static_cast<size_t>(n);
        }
    }
    if (ok && ::fchmod(fd, mode) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        setError(error, reason);
    }
    return ok;
}

void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes)
{
    g_failAfter = bytes;
}

}  // namespace orm
