#include "core/io/safefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

namespace orm {

namespace {

std::optional<std::size_t> g_failAfter;
SaveFileSystem g_realFileSystem;
SaveFileSystem* g_fs = &g_realFileSystem;

constexpr char kTempPrefix[] = ".ormelit-save-";
constexpr char kTempSuffix[] = ".tmp";

void setError(std::string* error, const std::string& what)
{
    if (error)
        *error = what;
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

// A symbolic link that the kernel would not follow for open() if fs.protected_symlinks were on:
// in a sticky folder that everyone may write to, owned neither by the saver nor by the folder's
// owner. Checked here because we resolve the link ourselves and rename over what it names.
bool plantedByAnother(const std::string& link, const struct stat& linkStat)
{
    struct stat folder{};
    if (::stat(folderOf(link).c_str(), &folder) != 0)
        return false;  // the rename will fail on its own
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return shared && linkStat.st_uid != g_fs->EffectiveUser() &&
           linkStat.st_uid != folder.st_uid;
}

std::string ownerName(uid_t uid)
{
    if (const passwd* user = ::getpwuid(uid))
        return user->pw_name;
    return "uid " + std::to_string(uid);
}

// The file the save replaces: path with every symbolic link on the way followed, at every
// component, or nothing (and *error) when a link must not be followed. The resolved part never
// holds a link, so a ".." in it means what it says.
std::optional<std::string> resolveLinks(const std::string& path, std::string* error)
{
    std::string done = !path.empty() && path[0] == '/' ? "/" : "";
    std::vector<std::string> rest;  // components still to walk, the next one last
    const auto push = [&rest](const std::string& text) {
        std::vector<std::string> parts;
        size_t at = 0;
        while (at <= text.size()) {
            const size_t slash = std::min(text.find('/', at), text.size());
            if (const std::string part = text.substr(at, slash - at); !part.empty() && part != ".")
                parts.push_back(part);
            at = slash + 1;
        }
        rest.insert(rest.end(), parts.rbegin(), parts.rend());
    };
    push(path);
    int hops = 0;
    while (!rest.empty()) {
        const std::string name = std::move(rest.back());
        rest.pop_back();
        const std::string next =
            done.empty() ? name : done.back() == '/' ? done + name : done + "/" + name;
        struct stat st{};
        if (g_fs->Lstat(next, st) != 0 || !S_ISLNK(st.st_mode)) {
            done = next;
            continue;
        }
        if (++hops > 40) {
            setError(error, std::strerror(ELOOP));
            return std::nullopt;
        }
        if (plantedByAnother(next, st)) {
            setError(error, "a symbolic link of another user in a shared folder: " + next +
                                " (" + ownerName(st.st_uid) + ")");
            return std::nullopt;
        }
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(next.c_str(), buf, sizeof buf - 1);
        if (n < 0) {
            done = next;
            continue;
        }
        const std::string target(buf, static_cast<size_t>(n));
        if (!target.empty() && target[0] == '/')
            done = "/";
        push(target);
    }
    return done.empty() ? std::string(".") : done;
}

bool isTempName(const char* name)
{
    const std::size_t len = std::strlen(name);
    const std::size_t prefix = sizeof kTempPrefix - 1;
    const std::size_t suffix = sizeof kTempSuffix - 1;
    return len > prefix + suffix && std::strncmp(name, kTempPrefix, prefix) == 0 &&
           std::strcmp(name + len - suffix, kTempSuffix) == 0;
}

// Removes the saver's temporaries in folder that no running save holds: a save keeps its
// temporary locked from creation to rename, and the kernel drops the lock when the saver dies,
// however it dies. A file system without locks keeps everything.
void removeStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTempName(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    const uid_t me = ::geteuid();
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held{};
        struct stat named{};
        // Another user's temporaries are theirs to clean. The name is checked again under the
        // lock: a save may have renamed the file in between, or put a new one in its place.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == me &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// Creates and locks a new temporary in folder; -1 (errno set) when that fails.
int createTemporary(const std::string& folder, std::string& tmp)
{
    std::random_device rd;
    for (int attempt = 0; attempt < 20; ++attempt) {
        tmp = folder + "/" + kTempPrefix + std::to_string(rd() % 1000000000u) + kTempSuffix;
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Blocks only while another save's clean-up looks at the new file; if it found the
        // file unlocked and removed it, start again under a new name.
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat st{};
        if (locked == 0 && ::fstat(fd, &st) == 0 && st.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the temporary the target's owner and group where the saver may: root always, others
// the group when they belong to it. The set-user and set-group bits are kept only with the
// owner or group they were set for.
mode_t keepOwner(int fd, const struct stat& target, mode_t mode)
{
    struct stat tmp{};
    if (::fstat(fd, &tmp) != 0)
        return mode & ~(S_ISUID | S_ISGID);
    if (tmp.st_uid == target.st_uid && tmp.st_gid == target.st_gid)
        return mode;
    if (g_fs->ChangeOwner(fd, target.st_uid, target.st_gid) == 0)
        return mode;
    if (tmp.st_gid != target.st_gid && g_fs->ChangeOwner(fd, static_cast<uid_t>(-1),
                                                         target.st_gid) == 0)
        tmp.st_gid = target.st_gid;
    if (tmp.st_uid != target.st_uid)
        mode &= ~S_ISUID;
    if (tmp.st_gid != target.st_gid)
        mode &= ~S_ISGID;
    return mode;
}

}  // namespace

int SaveFileSystem::Lstat(const std::string& path, struct stat& st)
{
    return ::lstat(path.c_str(), &st);
}

uid_t SaveFileSystem::EffectiveUser()
{
    return ::geteuid();
}

ssize_t SaveFileSystem::Write(int fd, const char* data, std::size_t size)
{
    return ::write(fd, data, size);
}

int SaveFileSystem::ChangeOwner(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}

int SaveFileSystem::SyncFile(int fd)
{
    return ::fsync(fd);
}

int SaveFileSystem::Rename(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str());
}

int SaveFileSystem::SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int result = ::fsync(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return result;
}

void SetSaveFileSystemForTesting(SaveFileSystem* fs)
{
    g_fs = fs ? fs : &g_realFileSystem;
}

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

namespace {

// Writes to the temporary file; after the first failure it keeps the reason and takes no more.
class FileSink : public ByteSink {
public:
    explicit FileSink(int fd) : m_fd(fd) {}
    bool Append(std::string_view bytes) override
    {
        size_t done = 0;
        while (m_ok && done < bytes.size()) {
            size_t chunk = std::min<size_t>(bytes.size() - done, 1 << 16);
            if (g_failAfter) {
                if (m_written >= *g_failAfter) {
                    fail(ENOSPC);
                    break;
                }
                chunk = std::min(chunk, *g_failAfter - m_written);
            }
            const ssize_t n = g_fs->Write(m_fd, bytes.data() + done, chunk);
            if (n < 0) {
                if (errno != EINTR)
                    fail(errno);
                continue;
            }
            done += static_cast<size_t>(n);
            m_written += static_cast<size_t>(n);
        }
        return m_ok;
    }
    bool Ok() const { return m_ok; }
    const std::string& Reason() const { return m_reason; }

private:
    void fail(int code)
    {
        m_ok = false;
        m_reason = std::strerror(code);
    }
    int m_fd;
    bool m_ok = true;
    std::string m_reason;
    size_t m_written = 0;
};

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error,
                         FileStamp* written)
{
    return WriteFileAtomically(
        path, [&bytes](ByteSink& sink) { sink.Append(bytes); }, error, written);
}

bool WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                         std::string* error, FileStamp* written)
{
    if (path.empty()) {
        setError(error, "empty file name");
        return false;
    }
    const std::optional<std::string> resolved = resolveLinks(path, error);
    if (!resolved)
        return false;
    const std::string& target = *resolved;
    mode_t mode = 0666 & ~0022;
    struct stat st{};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) {
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
    // Before writing, so that a full disk gets back the room killed saves took.
    removeStaleTemporaries(folder);
    std::string tmp;
    const int fd = createTemporary(folder, tmp);
    if (fd < 0) {
        setError(error, std::strerror(errno));
        return false;
    }

    FileSink sink(fd);
    try {
        produce(sink);
    } catch (...) {
        ::unlink(tmp.c_str());
        ::close(fd);
        throw;
    }
    bool ok = sink.Ok();
    std::string reason = sink.Reason();
    if (ok && existed)
        mode = keepOwner(fd, st, mode);
    if (ok && ::fchmod(fd, mode) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && g_fs->SyncFile(fd) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    // The temporary stays open, and so locked, until it has its final name.
    if (ok && g_fs->Rename(tmp, target) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        ::close(fd);
        setError(error, reason);
        return false;
    }
    // From the file itself, which is now under its name: a change by anyone else after the
    // rename shows. Without one (it cannot fail on a file just written) the stamp names nothing.
    if (written)
        *written = FileStamp::OfOpenFile(fd, path).value_or(FileStamp());
    ::close(fd);  // the data is on disk already (fsync), so close has nothing left to report
    // Makes the rename itself durable. The new file is in place either way, so a failure here
    // (a file system that cannot sync folders) does not turn the save into a failed one.
    g_fs->SyncFolder(folder);
    return true;
}

void SetWriteFailureAfterForTesting(std::optional<std::size_t> bytes)
{
    g_failAfter = bytes;
}

}  // namespace orm
