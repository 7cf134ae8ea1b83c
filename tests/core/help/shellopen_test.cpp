#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/help/shellopen.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(ShellMessages, EveryCodeOfTheTable)
{
    const std::vector<std::pair<std::vector<int>, const char*>> table = {
        {{0, 8}, "Не хватает памяти"},         {{2}, "Файл не найден"},
        {{3}, "Путь не найден"},               {{5}, "Sharing Violation"},
        {{6}, "Library/Segment Error"},        {{10}, "Неправильная версия Windows"},
        {{11}, "Invalid File"},                {{12, 13}, "Неправильная версия DOS"},
        {{14, 31}, "Нет ассоциаций с файлом"}, {{15}, "Cannot Load a Real-Mode Application"},
        {{16}, "Invalid Attempt to Launch Second Instance"},
        {{19}, "Cannot Load a Compressed Executable File"},
        {{20}, "Invalid Dynamic Link Library"}, {{21}, "Приложение требует Win32"},
        {{1, 26, 32, -1}, "Неизвестная ошибка"},
    };
    for (const auto& [codes, text] : table) {
        for (int code : codes) {
            const ERunPrgError error(code);
            EXPECT_EQ(error.Code(), code);
            EXPECT_EQ(ToUtf8(error.what()), text) << code;
        }
    }
}

TEST(CommandLine, SplitLikeAShellButNothingInterpreted)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("a \"b c\""), (V{"a", "b c"}));
    EXPECT_EQ(SplitCommandLine("  a\t\tb  "), (V{"a", "b"}));
    EXPECT_EQ(SplitCommandLine(""), V{});
    EXPECT_EQ(SplitCommandLine("   "), V{});
    EXPECT_EQ(SplitCommandLine("a\"b c\"d"), V{"ab cd"});
    EXPECT_EQ(SplitCommandLine("x \"\" y"), (V{"x", "", "y"}));
    EXPECT_EQ(SplitCommandLine("\"say \"\"hi\"\"\""), V{"say \"hi\""});
    EXPECT_EQ(SplitCommandLine("\"open end"), V{"open end"});
    EXPECT_EQ(SplitCommandLine("$HOME;rm -rf *|cat >out `id` $(id) 'q r' C:\\dir\\f.txt &"),
              (V{"$HOME;rm", "-rf", "*|cat", ">out", "`id`", "$(id)", "'q", "r'", "C:\\dir\\f.txt",
                 "&"}));
    EXPECT_EQ(SplitCommandLine(ToCp1251("\"Мой отчёт.rtf\" -п")),
              (V{ToCp1251("Мой отчёт.rtf"), ToCp1251("-п")}));
}

class Classify : public ::testing::Test {
protected:
    void SetUp() override { fs::permissions(m_dir.root(), fs::perms(0755)); }
    std::string file(const std::string& name, const std::string& bytes, int mode)
    {
        fs::create_directories(fs::path(m_dir.path(name)).parent_path());
        const std::string p = m_dir.write(name, bytes);
        fs::permissions(p, fs::perms(mode));
        return p;
    }
    std::string folder(const std::string& name, int mode = 0755)
    {
        const std::string p = m_dir.path(name);
        fs::create_directories(p);
        fs::permissions(p, fs::perms(mode));
        return p;
    }
    std::string path(const std::string& name) const { return m_dir.path(name); }

    TempDir m_dir;
};

TEST_F(Classify, MissingFolderAndMissingFile)
{
    file("doc.txt", "text", 0644);
    // S1: the working folder is missing, or is a file.
    EXPECT_EQ(ClassifyShellOpen(path("doc.txt"), path("nodir"), "").Error, kShellPathNotFound);
    EXPECT_EQ(ClassifyShellOpen(path("doc.txt"), path("doc.txt"), "").Error, kShellPathNotFound);
    // S2: a missing file in an existing folder.
    EXPECT_EQ(ClassifyShellOpen(path("none.txt"), "", "").Error, kShellFileNotFound);
    EXPECT_EQ(ClassifyShellOpen("none.txt", m_dir.root().string(), "").Error, kShellFileNotFound);
    EXPECT_EQ(ClassifyShellOpen("", "", "").Error, kShellFileNotFound);
    // S3: a file under a missing folder, or under a file.
    EXPECT_EQ(ClassifyShellOpen(path("nodir/x.txt"), "", "").Error, kShellPathNotFound);
    EXPECT_EQ(ClassifyShellOpen("nodir/x.txt", m_dir.root().string(), "").Error,
              kShellPathNotFound);
    EXPECT_EQ(ClassifyShellOpen(path("doc.txt/x"), "", "").Error, kShellPathNotFound);
    // Windows paths from old settings files are plainly not found.
    EXPECT_EQ(ClassifyShellOpen("C:\\Windows\\notepad.exe", "", "").Error, kShellFileNotFound);
    EXPECT_EQ(ClassifyShellOpen("notepad.exe", "C:\\Windows", "").Error, kShellPathNotFound);
}

TEST_F(Classify, ProgramsAndDocumentsAndWhereTheyAreFound)
{
    const std::string tool = file("bin/tool", "#!/bin/sh\n", 0755);
    file("work/doc.txt", "text", 0644);
    const std::string work = path("work");
    EXPECT_EQ(ClassifyShellOpen(tool, "", "").What, ShellTarget::Executable);
    // A relative name is the working folder's; a bare name may also be a program on the path.
    const ShellTarget doc = ClassifyShellOpen("doc.txt", work, "");
    EXPECT_EQ(doc.What, ShellTarget::Document);
    EXPECT_EQ(doc.Path, path("work/doc.txt"));
    EXPECT_EQ(ClassifyShellOpen(work, "", "").What, ShellTarget::Document);
    EXPECT_EQ(ClassifyShellOpen("tool", work, "rel:" + work + ":" + path("bin")).Path, tool);
    EXPECT_EQ(ClassifyShellOpen("doc.txt", "", work).Error, kShellFileNotFound);
}

// Runs f as an unprivileged user when the tests run as root (root may read and search
// everything, so permissions would never be denied); returns f's result.
int asUnprivileged(const std::function<int()>& f)
{
    if (::geteuid() != 0)
        return f();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(200);
        ::_exit(f());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 201;
}

TEST_F(Classify, PermissionDeniedIsAccessDenied)
{
    folder("closed", 0700);
    file("closed/doc.txt", "text", 0644);
    file("unreadable.txt", "text", 0600);
    file("owner-only", "#!/bin/sh\n", 0744);
    file("readable.txt", "text", 0644);
    const auto code = [](const std::string& f, const std::string& d) {
        return [=] { return ClassifyShellOpen(f, d, "").Error; };
    };
    // S8: an unsearchable folder in the way, an unreadable document, a program that may not run.
    EXPECT_EQ(asUnprivileged(code(path("closed/doc.txt"), "")), kShellAccessDenied);
    EXPECT_EQ(asUnprivileged(code(path("closed/none.txt"), "")), kShellAccessDenied);
    EXPECT_EQ(asUnprivileged(code(path("unreadable.txt"), "")), kShellAccessDenied);
    EXPECT_EQ(asUnprivileged(code(path("owner-only"), "")), kShellAccessDenied);
    EXPECT_EQ(asUnprivileged(code(path("readable.txt"), path("closed"))), kShellAccessDenied);
    EXPECT_EQ(asUnprivileged(code(path("readable.txt"), "")), 0);
}

}  // namespace
}  // namespace orm
