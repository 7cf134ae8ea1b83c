#include <gtest/gtest.h>

#include <string>

#include "core/settings/inifile.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

struct ReadCase {
    const char* id;
    std::string file;
    std::string section;
    std::string key;
    std::string expected;
};

// Each case is read from a real file with default "D", as Windows programs read their INI.
const ReadCase kReadCases[] = {
    {"case-insensitive names", "[Grids]\r\nUse_Hint=yes\r\n", "GRIDS", "use_hint", "yes"},
    {"blanks around key and value", "[S]\r\n \tK \t= \t v x \t\r\n", "S", "K", "v x"},
    {"blanks inside quotes kept", "[S]\r\nK=\" v \"\r\n", "S", "K", " v "},
    {"single quotes", "[S]\r\nK='v'\r\n", "S", "K", "v"},
    {"mismatched quotes kept", "[S]\r\nK=\"v'\r\n", "S", "K", "\"v'"},
    {"only the outer pair", "[S]\r\nK=\"\"v\"\"\r\n", "S", "K", "\"v\""},
    {"lone quote", "[S]\r\nK=\"\r\n", "S", "K", "\""},
    {"quotes after trimming", "[S]\r\nK=  'a b'  \r\n", "S", "K", "a b"},
    {"first '=' splits", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
    {"indented comment", "[S]\r\n  ;K=v\r\n#K=w\r\nL=x ;y\r\n", "S", "K", "D"},
    {"comment is never a key", "[S]\r\n  ;K=v\r\n#K=w\r\nL=x ;y\r\n", "S", ";K", "D"},
    {"'#' is not a comment", "[S]\r\n  ;K=v\r\n#K=w\r\nL=x ;y\r\n", "S", "#K", "w"},
    {"';' in a value is data", "[S]\r\n  ;K=v\r\n#K=w\r\nL=x ;y\r\n", "S", "L", "x ;y"},
    {"line without '='", "[S]\r\nK\r\n", "S", "K", "D"},
    {"first key wins", "[S]\r\nK=1\r\nK=2\r\n[s]\r\nL=3\r\n", "S", "K", "1"},
    {"later same section unseen", "[S]\r\nK=1\r\nK=2\r\n[s]\r\nL=3\r\n", "S", "L", "D"},
    {"lines before any section", "K=v\r\n[S]\r\n", "", "K", "D"},
    {"empty section name", "[]\r\nK=v\r\n", "", "K", "v"},
    {"text after ']' ignored", "[S]K=v", "S", "K", "D"},
    {"missing ']' tolerated", "[S   \r\nK=v", "S", "K", "v"},
    {"blanks inside brackets", "  [ S ]\r\nK=v", "S", "K", "v"},
    {"'S]' is not a section", "S]\r\nK=v", "S", "K", "D"},
    {"first ']' ends the name", "[a]b]\r\nK=v\r\n", "a", "K", "v"},
    {"CR line ends", "[S]\rK=v\r", "S", "K", "v"},
    {"LF line ends", "[S]\nK=v\n", "S", "K", "v"},
    {"blank lines", "\r\n\r\n[S]\r\n\r\nK=v", "S", "K", "v"},
    {"missing key", "[S]\r\nL=v\r\n", "S", "K", "D"},
    {"spaces stripped from names", "[S]\r\nK=v\r\n", " S ", " K ", "v"},
    {"tab in section parameter", "[S]\r\nK=v\r\n", "\tS", "K", "D"},
    {"tab in key parameter", "[S]\r\nK=v\r\n", "S", "K\t", "D"},
    {"UTF-8 BOM hides line 1", "\xEF\xBB\xBF[S]\r\nK=v", "S", "K", "D"},
    {"Cyrillic case folding", ToCp1251("[Раздел]\r\nКлюч=Ёж"), ToCp1251("РАЗДЕЛ"),
     ToCp1251("ключ"), ToCp1251("Ёж")},
    {"empty value is not missing", "[S]\r\nK=\r\n", "S", "K", ""},
    {"bytes kept", "[S]\r\nK=\x98\xFF\x01\r\n", "S", "K", "\x98\xFF\x01"},
};

TEST(IniFileRead, Table)
{
    test::TempDir dir;
    const std::string path = dir.path("t.ini");
    for (const ReadCase& c : kReadCases) {
        dir.write("t.ini", c.file);
        EXPECT_EQ(IniFile::ReadString(path, c.section, c.key, "D"), c.expected) << c.id;
        // The table built for many reads gives the same answers.
        IniFile indexed(c.file);
        indexed.Index();
        EXPECT_EQ(indexed.Value(c.section, c.key, "D"), c.expected) << c.id << " (indexed)";
    }
}

TEST(IniFileRead, Defaults)
{
    test::TempDir dir;
    const std::string missing = dir.path("missing.ini");
    EXPECT_EQ(IniFile::ReadString(missing, "S", "K", "D"), "D");
    EXPECT_EQ(IniFile::ReadString(missing, "S", "K", "D  "), "D");  // trailing spaces go
    EXPECT_EQ(IniFile::ReadString(missing, "S", "K", " D\t"), " D\t");
    EXPECT_EQ(IniFile::ReadString(missing, "S", "K", ""), "");
    EXPECT_EQ(IniFile::ReadString(dir.root().string(), "S", "K", "D"), "D");  // a folder
}

TEST(IniFileRead, ValuesAreCutToTheBuffer)
{
    const IniFile ini("[S]\r\nK=" + std::string(300, 'a') + "\r\nQ=\"" + std::string(255, 'b') +
                      "\"\r\n");
    EXPECT_EQ(ini.Value("S", "K", "D"), std::string(255, 'a'));
    // Quotes go first, then the cut: 255 characters inside quotes all come back.
    EXPECT_EQ(ini.Value("S", "Q", "D"), std::string(255, 'b'));
    EXPECT_EQ(ini.Value("S", "K", "D", 4), "aaa");
    EXPECT_EQ(ini.Value("S", "K", "D", 0), "");
    EXPECT_EQ(ini.Value("S", "X", std::string(300, 'd')), std::string(255, 'd'));
}

TEST(IniFileRead, Utf16LittleEndianFile)
{
    // "[Раздел]\r\nK=Ёж☃" in UTF-16LE with its BOM; the snowman has no Windows-1251 byte.
    const std::u16string text = u"[Раздел]\r\nK=Ёж☃\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    const IniFile ini(bytes);
    EXPECT_TRUE(ini.IsUnicode());
    EXPECT_EQ(ini.Value(ToCp1251("раздел"), "k", "D"), ToCp1251("Ёж?"));
}

}  // namespace
}  // namespace orm
