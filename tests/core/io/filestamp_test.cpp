// A file changed on disk since the program read or wrote it is told from one that was not.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "core/io/filestamp.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;
namespace fs = std::filesystem;

TEST(FileStamp, AChangeBySomeoneElseShowsAndNothingElseDoes)
{
    using Act = std::function<void(TempDir&, const std::string&)>;
    // Times are set from the one the stamp saw, so that no case depends on the clock's tick.
    timespec seen{};
    auto setTime = [&](const std::string& path, int later) {
        timespec times[2] = {seen, seen};
        times[1].tv_sec += later;
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    const std::vector<std::tuple<const char*, Act, bool>> cases = {
        {"left alone", [](TempDir&, const std::string&) {}, false},
        {"read and made read-only",
         [](TempDir&, const std::string& path) {
             TempDir::read(path);
             ::chmod(path.c_str(), 0400);
         },
         false},
        {"written over in place, same size, later",
         [&](TempDir& dir, const std::string& path) {
             dir.write("plan.ovx", "0 B\r\n");
             setTime(path, 1);
         },
         true},
        {"grown, its time put back",
         [&](TempDir& dir, const std::string& path) {
             dir.write("plan.ovx", "0 A\r\n1 x\r\n");
             setTime(path, 0);
         },
         true},
        // As editors, and other copies of the program, save: a new file renamed over it.
        {"replaced by a file of the same size and time",
         [&](TempDir& dir, const std::string& path) {
             const std::string other = dir.write("new.tmp", "0 A\r\n");
             setTime(other, 0);
             fs::rename(other, path);
         },
         true},
        {"deleted", [](TempDir&, const std::string& path) { fs::remove(path); }, false},
    };
    for (const auto& [what, act, changed] : cases) {
        TempDir dir;
        const std::string path = dir.write("plan.ovx", "0 A\r\n");
        const std::optional<FileStamp> stamp = FileStamp::Of(path);
        ASSERT_TRUE(stamp);
        seen = stamp->Modified;
        act(dir, path);
        EXPECT_EQ(ChangedOnDisk(stamp, path), changed) << what;
        // A name the stamp knows nothing of, or no stamp at all, is never a change.
        EXPECT_FALSE(ChangedOnDisk(stamp, dir.write("other.ovx", "")));
        EXPECT_FALSE(ChangedOnDisk(std::nullopt, path));
    }
}
