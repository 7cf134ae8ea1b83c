#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/inifile.h"
#include "support/tempdir.h"

namespace orm {
namespace {

struct Write {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

struct WriteCase {
    const char* id;
    std::optional<std::string> before;  // nothing: no file
    std::vector<Write> writes;
    std::string after;
};

// Whole files are compared byte for byte: a write may change its one line and nothing else.
const WriteCase kWriteCases[] = {
    {"new file", std::nullopt, {{"S", "K", "v"}}, "[S]\r\nK=v\r\n"},
    {"empty file", "", {{"S", "K", "v"}}, "[S]\r\nK=v\r\n"},
    {"existing key keeps its spelling", "[Sec]\r\nKey=old\r\n", {{"SEC", "KEY", "new"}},
     "[Sec]\r\nKey=new\r\n"},
    {"last line without line break", "[S]\r\nK=v", {{"S", "K", "w"}}, "[S]\r\nK=w\r\n"},
    {"new keys in order of writing", "[S]\r\nb=1\r\na=1\r\n", {{"S", "z", ""}, {"S", "y", ""}},
     "[S]\r\nb=1\r\na=1\r\nz=\r\ny=\r\n"},
    {"new key before trailing comments",
     ";c0\r\n[S]\r\n;c1\r\nb=1\r\n;c2\r\na=1\r\n;tail\r\n\r\n[T]\r\n",
     {{"S", "z", ""}},
     ";c0\r\n[S]\r\n;c1\r\nb=1\r\n;c2\r\na=1\r\nz=\r\n;tail\r\n\r\n[T]\r\n"},
    {"new section appended", "[A]\r\nk=1\r\n", {{"B", "m", "2"}}, "[A]\r\nk=1\r\n[B]\r\nm=2\r\n"},
    {"line break added before new section", "junk", {{"B", "m", "2"}}, "junk\r\n[B]\r\nm=2\r\n"},
    {"names stripped, value verbatim", std::nullopt, {{" S ", " K ", "  v  "}},
     "[S]\r\nK=  v  \r\n"},
    {"only the first section is edited", "[S]\r\nK=1\r\n[S]\r\nK=2\r\n", {{"S", "K", "3"}},
     "[S]\r\nK=3\r\n[S]\r\nK=2\r\n"},
    {"same write twice", "[Help]\r\nX=1\r\n",
     {{"AddNotFound", "TF_Main", ""}, {"AddNotFound", "TF_Main", ""}},
     "[Help]\r\nX=1\r\n[AddNotFound]\r\nTF_Main=\r\n"},
    {"other bytes untouched",
     "\x98 pre\xFF\r\n[S]\r\n  a \t=\t\x98\xFF  \r\nK=old\r\n\t;\xFF\r\n\r\n[T]\n x = 1 \r",
     {{"S", "K", "new"}, {"S", "N", "n"}},
     "\x98 pre\xFF\r\n[S]\r\n  a \t=\t\x98\xFF  \r\nK=new\r\nN=n\r\n\t;\xFF\r\n\r\n[T]\n x = 1 \r"},
    {"spacing of the edited line goes", "[S]\n  Key  =  old  \nL=1\n", {{"s", "key", "v"}},
     "[S]\nKey=v\r\nL=1\n"},
    {"NUL bytes kept", std::string("[S]\r\nA=\0x\r\nK=1\r\n", 16), {{"S", "K", "2"}},
     std::string("[S]\r\nA=\0x\r\nK=2\r\n", 16)},
    {"section without keys", "[S]\r\n;c\r\n[T]\r\n", {{"S", "K", "v"}},
     "[S]\r\nK=v\r\n;c\r\n[T]\r\n"},
    {"header at end without line break", "[S]", {{"S", "K", "v"}}, "[S]\r\nK=v\r\n"},
    {"key at end without line break", "[S]\r\nA=1", {{"S", "K", "v"}}, "[S]\r\nA=1\r\nK=v\r\n"},
    {"file ending in CR", "[A]\r", {{"B", "K", "v"}}, "[A]\r[B]\r\nK=v\r\n"},
    {"lines before any section are not a section", "K=1\r\n", {{"", "K", "2"}},
     "K=1\r\n[]\r\nK=2\r\n"},
    {"delete key", "[S]\r\nA=1\r\nK=2\r\n;c\r\n", {{"S", "k", std::nullopt}},
     "[S]\r\nA=1\r\n;c\r\n"},
    {"delete last key without line break", "[S]\r\nK=2", {{"S", "K", std::nullopt}},
     "[S]\r\n"},
    {"delete missing key", "[S]\r\nA=1\r\n", {{"S", "K", std::nullopt}, {"T", "K", std::nullopt}},
     "[S]\r\nA=1\r\n"},
};

TEST(IniFileWrite, Table)
{
    for (const WriteCase& c : kWriteCases) {
        test::TempDir dir;
        const std::string path = dir.path("t.ini");
        if (c.before)
            dir.write("t.ini", *c.before);
        for (const Write& w : c.writes) {
            const std::optional<std::string_view> value =
                w.value ? std::optional<std::string_view>(*w.value) : std::nullopt;
            EXPECT_TRUE(IniFile::WriteString(path, w.section, w.key, value)) << c.id;
        }
        EXPECT_EQ(test::TempDir::read(path), c.after) << c.id;
    }
}

TEST(IniFileWrite, WrittenValueReadsBack)
{
    test::TempDir dir;
    const std::string path = dir.path("t.ini");
    ASSERT_TRUE(IniFile::WriteString(path, "S", "K", "  v  "));
    EXPECT_EQ(IniFile::ReadString(path, "S", "K", "D"), "v");
    ASSERT_TRUE(IniFile::WriteString(path, "S", "K", "\"  v  \""));
    EXPECT_EQ(IniFile::ReadString(path, "S", "K", "D"), "  v  ");
    ASSERT_TRUE(IniFile::WriteString(path, "s", "k", std::nullopt));
    EXPECT_EQ(IniFile::ReadString(path, "S", "K", "D"), "D");
    EXPECT_EQ(test::TempDir::read(path), "[S]\r\n");
}

TEST(IniFileWrite, FailuresLeaveEverythingAsItWas)
{
    test::TempDir dir;

    const std::string inMissingDir = dir.path("nodir/t.ini");
    EXPECT_FALSE(IniFile::WriteString(inMissingDir, "S", "K", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir.path("nodir")));

    // No write permission bit counts as read-only even for root.
    const std::string content = "[S]\r\nK=old\r\n";
    const std::string readOnly = dir.write("ro.ini", content);
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_FALSE(IniFile::WriteString(readOnly, "S", "K", "v"));
    EXPECT_FALSE(IniFile::WriteString(readOnly, "S", "K", std::nullopt));
    EXPECT_FALSE(IniFile::DeleteSection(readOnly, "S"));
    EXPECT_EQ(test::TempDir::read(readOnly), content);

    const std::string folder = dir.path("folder.ini");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(IniFile::WriteString(folder, "S", "K", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    // Removing from a missing file succeeds and creates nothing.
    const std::string missing = dir.path("missing.ini");
    EXPECT_TRUE(IniFile::WriteString(missing, "S", "K", std::nullopt));
    EXPECT_TRUE(IniFile::DeleteSection(missing, "S"));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// A line break in a value would plant other keys and sections in the file; names that a lookup
// could never find again would report a write that no read sees.
TEST(IniFileWrite, RefusesWhatCouldNotBeReadBack)
{
    const std::string content = "[S]\r\nK=old\r\n";
    const Write refused[] = {
        {"S", "K", "v\r\n[Evil]\r\nX=1"},
        {"S", "K", "v\rW=1"},
        {"S", "K", "v\nW=1"},
        {"S\r\nX", "K", "v"},
        {"a]b", "K", "v"},
        {"S", "a=b", "v"},
        {"S", ";K", "v"},
        {"S", "[K", "v"},
        {"\tS", "K", "v"},
        {"S", "K\v", "v"},
    };
    for (const Write& w : refused) {
        IniFile ini(content);
        EXPECT_FALSE(ini.SetValue(w.section, w.key, *w.value)) << w.section << "/" << w.key;
        EXPECT_EQ(ini.Bytes(), content);
    }
    // Inner blanks, quotes, '#', ';' and ']' in values are ordinary.
    IniFile ini(content);
    EXPECT_TRUE(ini.SetValue("S", "#K;x", "a ] ; = \"b\" 'c"));
    EXPECT_EQ(ini.Value("S", "#K;x", "D"), "a ] ; = \"b\" 'c");
}

TEST(IniFileWrite, Utf16FilesAreNotEdited)
{
    test::TempDir dir;
    const std::string content("\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0v\0", 18);
    const std::string path = dir.write("u.ini", content);
    EXPECT_EQ(IniFile::ReadString(path, "S", "K", "D"), "v");
    EXPECT_FALSE(IniFile::WriteString(path, "S", "K", "w"));
    EXPECT_FALSE(IniFile::DeleteSection(path, "S"));
    EXPECT_EQ(test::TempDir::read(path), content);
}

TEST(IniFileWrite, DeleteSection)
{
    test::TempDir dir;
    const std::string path = dir.write(
        "t.ini", "[A]\r\na=1\r\n[s]\r\n;keep\r\nk=1\r\njunk\r\n\r\n[B]\r\nb=1\r\n[S]\r\nk=2");
    ASSERT_TRUE(IniFile::DeleteSection(path, " S "));
    EXPECT_EQ(test::TempDir::read(path), "[A]\r\na=1\r\n;keep\r\n\r\n[B]\r\nb=1\r\n[S]\r\nk=2");
    // The later section of the same name now counts.
    EXPECT_EQ(IniFile::ReadString(path, "S", "k", "D"), "2");
    ASSERT_TRUE(IniFile::DeleteSection(path, "S"));
    ASSERT_TRUE(IniFile::DeleteSection(path, "nothing"));
    EXPECT_EQ(test::TempDir::read(path), "[A]\r\na=1\r\n;keep\r\n\r\n[B]\r\nb=1\r\n");
}

}  // namespace
}  // namespace orm
