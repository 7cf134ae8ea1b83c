#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/io/safefile.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
const bool kRoot = ::geteuid() == 0;

class Installed {
public:
    explicit Installed(SaveFileSystem& fs) { SetSaveFileSystemForTesting(&fs); }
    ~Installed() { SetSaveFileSystemForTesting(nullptr); }
};

std::set<std::string> namesIn(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.root()))
        names.insert(entry.path().filename().string());
    return names;
}

struct stat statOf(const std::string& path)
{
    struct stat st{};
    ::lstat(path.c_str(), &st);
    return st;
}

// Links in `folder` look like another user's, for runs that cannot make one (not root); and no
// change of owner is allowed, as for a user who is not root.
class OtherUsers : public SaveFileSystem {
public:
    std::string folder;
    int Lstat(const std::string& path, struct stat& st) override
    {
        const int r = SaveFileSystem::Lstat(path, st);
        if (r == 0 && S_ISLNK(st.st_mode) && fs::path(path).parent_path() == folder)
            st.st_uid = ::geteuid() + 1;
        return r;
    }
    int ChangeOwner(int, uid_t, gid_t) override
    {
        errno = EPERM;
        return -1;
    }
};

}  // namespace

TEST(SafeSave, ALinkPlantedByAnotherUserInASharedStickyFolderIsNotFollowed)
{
    TempDir dir;
    const std::string shared = dir.path("shared");
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    const std::string mine = dir.write("mine.ovx", "precious");
    const std::string planted = shared + "/planted.ovx";
    fs::create_symlink(mine, planted);
    OtherUsers others;
    if (kRoot) {
        EXPECT_EQ(::lchown(planted.c_str(), kNobody, kNobody), 0);
    } else {
        others.folder = shared;
    }
    Installed installed(others);

    std::string error;
    EXPECT_FALSE(WriteFileAtomically(planted, "overwritten", &error));
    const std::string refused = "a symbolic link of another user in a shared folder: ";
    EXPECT_EQ(error.substr(0, refused.size() + planted.size() + 2), refused + planted + " (");
    EXPECT_EQ(TempDir::read(mine), "precious");
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"mine.ovx", "shared"}));

    // The same for such a link in the middle of the path: nothing is written where it points.
    const std::string elsewhere = dir.path("elsewhere");
    fs::create_directory(elsewhere);
    const std::string sub = shared + "/sub";
    fs::create_symlink(elsewhere, sub);
    if (kRoot) {
        EXPECT_EQ(::lchown(sub.c_str(), kNobody, kNobody), 0);
    }
    EXPECT_FALSE(WriteFileAtomically(sub + "/t.ovx", "bytes", &error));
    EXPECT_EQ(error.substr(0, refused.size() + sub.size() + 2), refused + sub + " (");
    EXPECT_TRUE(fs::is_empty(elsewhere));
    fs::remove(sub);

    // The saver's own links there are followed, through a chain of relative ones too.
    fs::create_symlink("hop.ovx", shared + "/own.ovx");
    fs::create_symlink("../mine.ovx", shared + "/hop.ovx");
    others.folder.clear();
    EXPECT_TRUE(WriteFileAtomically(shared + "/own.ovx", "own"));
    EXPECT_EQ(TempDir::read(mine), "own");
    EXPECT_TRUE(fs::is_symlink(shared + "/own.ovx"));

    // Without the sticky bit, or where others cannot write, the folder's owner let the link be.
    others.folder = kRoot ? "" : shared;
    for (const mode_t mode : {0777, 01775}) {
        ::chmod(shared.c_str(), mode);
        EXPECT_TRUE(WriteFileAtomically(planted, "followed")) << std::oct << mode;
        EXPECT_EQ(TempDir::read(mine), "followed");
    }
}

TEST(SafeSave, OwnerGroupAndModeAreKeptWherePermittedAndHardLinksAreBroken)
{
    TempDir dir;
    const std::string path = dir.write("p.ovx", "old");
    if (kRoot) {
        EXPECT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    ::chmod(path.c_str(), 06750);
    const struct stat before = statOf(path);
    EXPECT_TRUE(WriteFileAtomically(path, "new"));
    const struct stat after = statOf(path);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);

    // Not allowed to give it back: the set-id bits are never handed to a new owner.
    if (kRoot) {
        OtherUsers others;
        Installed installed(others);
        EXPECT_TRUE(WriteFileAtomically(path, "newer"));
        EXPECT_EQ(statOf(path).st_uid, 0u);
        EXPECT_EQ(statOf(path).st_mode & 07777, 0750u);
    }

    // Replacing keeps the promise that a failed save leaves the file whole; the price is that
    // the file's other names keep the old bytes.
    fs::create_hard_link(path, dir.path("other name.ovx"));
    const std::string old = TempDir::read(path);
    EXPECT_TRUE(WriteFileAtomically(path, "replaced"));
    EXPECT_EQ(TempDir::read(path), "replaced");
    EXPECT_EQ(TempDir::read(dir.path("other name.ovx")), old);
}

// The real calls, noting the order of those that make a save durable.
class Recorder : public SaveFileSystem {
public:
    std::vector<std::string> calls;
    int SyncFile(int fd) override
    {
        std::error_code ec;
        const auto file = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        calls.push_back("sync " + file.filename().string());
        return SaveFileSystem::SyncFile(fd);
    }
    int Rename(const std::string& from, const std::string& to) override
    {
        calls.push_back("rename " + fs::path(from).filename().string() + " " + to);
        return SaveFileSystem::Rename(from, to);
    }
    int SyncFolder(const std::string& folder) override
    {
        calls.push_back("sync " + folder);
        return SaveFileSystem::SyncFolder(folder);
    }
};

TEST(SafeSave, TheFolderIsSyncedAfterTheRenameOfASyncedFile)
{
    TempDir dir;
    fs::create_directory(dir.path("real"));
    const std::string target = dir.write("real/p.ovx", "old");
    fs::create_symlink("real/p.ovx", dir.path("link.ovx"));
    Recorder recorder;
    Installed installed(recorder);

    ASSERT_TRUE(WriteFileAtomically(dir.path("link.ovx"), "new"));
    ASSERT_EQ(recorder.calls.size(), 3u);
    const std::string tmp = recorder.calls[0].substr(5);
    EXPECT_EQ(tmp.rfind(".ormelit-save-", 0), 0u) << tmp;
    // The folder synced is the one the rename changed: the target's, not the link's.
    EXPECT_EQ(recorder.calls[1], "rename " + tmp + " " + target);
    EXPECT_EQ(recorder.calls[2], "sync " + dir.path("real"));
}

// Stops the saving process just before its rename, its temporary written and locked.
class StopBeforeRename : public SaveFileSystem {
public:
    int Rename(const std::string& from, const std::string& to) override
    {
        ::raise(SIGSTOP);
        return SaveFileSystem::Rename(from, to);
    }
};

TEST(SafeSave, ASaveRemovesTheTemporariesOfDeadSavesAndNoOther)
{
    TempDir dir;
    const std::string target = dir.write("p.ovx", "old");
    // Two saves stopped with their temporaries in place: the first will be killed.
    pid_t children[2];
    std::set<std::string> names[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        if (children[i] == 0) {
            StopBeforeRename stop;
            SetSaveFileSystemForTesting(&stop);
            ::_exit(WriteFileAtomically(dir.path("q.ovx"), "from the child") ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(children[i], &status, WUNTRACED), children[i]);
        ASSERT_TRUE(WIFSTOPPED(status));
        names[i] = namesIn(dir);
    }
    ASSERT_EQ(names[1].size(), 3u);
    std::string running;
    for (const std::string& name : names[1])
        running = names[0].count(name) ? running : name;
    int status = 0;
    ::kill(children[0], SIGKILL);
    ::waitpid(children[0], &status, 0);
    // Left by a save killed before it could lock, and names that only look alike.
    dir.write(".ormelit-save-12345.tmp", "stale");
    dir.write("x.ormelit-save-1.tmp", "not ours");
    fs::create_directory(dir.path(".ormelit-save-2.tmp"));
    std::set<std::string> expected{"p.ovx", running, "x.ormelit-save-1.tmp",
                                   ".ormelit-save-2.tmp"};
    if (kRoot) {
        const std::string theirs = dir.write(".ormelit-save-3.tmp", "another user's");
        EXPECT_EQ(::chown(theirs.c_str(), kNobody, kNobody), 0);
        expected.insert(".ormelit-save-3.tmp");
    }

    EXPECT_TRUE(WriteFileAtomically(target, "new"));
    EXPECT_EQ(namesIn(dir), expected);

    // The running save finishes undisturbed.
    ::kill(children[1], SIGCONT);
    ASSERT_EQ(::waitpid(children[1], &status, 0), children[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(TempDir::read(dir.path("q.ovx")), "from the child");
}
