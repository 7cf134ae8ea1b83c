#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/help/helpanchors.h"
#include "core/help/helpindex.h"
#include "core/settings/profile.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(HelpContextName, FromActiveWindowFocusOwnerAndTag)
{
    const HelpForm main{"TF_Main", 0}, a1{"TF_A1", 4}, a14{"TF_A14", 2}, sampl{"TF_SAMPL", 0},
        setup{"TF_SETUP", 0}, params{"TF_RepParam", 3};
    EXPECT_EQ(ContextName(&main, nullptr), "TF_Main");
    EXPECT_EQ(ContextName(&main, &a1), "TF_Main_TF_A1_tag4");
    EXPECT_EQ(ContextName(&main, &a14), "TF_Main_TF_A14_tag2");
    EXPECT_EQ(ContextName(&main, &sampl), "TF_Main_TF_SAMPL");
    EXPECT_EQ(ContextName(&setup, nullptr), "TF_SETUP");
    // The Tag that counts is the focus owner's, else the active window's own.
    EXPECT_EQ(ContextName(&params, nullptr), "TF_RepParam_tag3");
    EXPECT_EQ(ContextName(&params, &sampl), "TF_RepParam_TF_SAMPL");
    EXPECT_EQ(ContextName(nullptr, &a1), "TF_Main");
}

TEST(HelpIndexFileName, FromSettingsOrBesideTheExecutable)
{
    TempDir dir;
    TProfile profile;
    const std::string exe = dir.path("bin.d/ormelit");
    EXPECT_EQ(HelpIndexFileNameFor(dir.path("none.INI"), exe, profile), exe + ".QHL");
    dir.write("e.INI", "[Help]\r\nHelpIniFileName=\r\n");
    EXPECT_EQ(HelpIndexFileNameFor(dir.path("e.INI"), dir.path("t.exe"), profile),
              dir.path("t.QHL"));

    // A relative Windows-1251 name: absolute against the current folder, native.
    const std::string ini =
        dir.write("a.INI", ToCp1251("[help]\r\nhelpinifilename=../х/с.qhl\r\n"));
    const fs::path saved = fs::current_path();
    fs::create_directories(dir.path("work"));
    fs::current_path(dir.path("work"));
    const std::string name = HelpIndexFileNameFor(ini, exe, profile);
    fs::current_path(saved);
    EXPECT_EQ(name, dir.path("х/с.qhl"));
}

TEST(HelpFileChoice, NamedOrHlpThenHtmlThenHtm)
{
    TempDir dir;
    const std::string index = dir.write("o.QHL", "[Help]\r\n");
    EXPECT_EQ(ChooseHelpFile(index), "");
    for (const char* name : {"o.htm", "o.html", "o.HLP"}) {
        dir.write(name, "<html>");
        EXPECT_EQ(ChooseHelpFile(index), dir.path(name));
    }
    // A named file counts from the index's folder; its .html stands in for a missing .hlp.
    dir.write("o.QHL", "[Help]\r\nHelpFileName=doc/manual.hlp\r\n");
    EXPECT_EQ(ChooseHelpFile(index), "");
    fs::create_directories(dir.path("doc"));
    dir.write("doc/manual.html", "<html>");
    EXPECT_EQ(ChooseHelpFile(index), dir.path("doc/manual.html"));
}

class HelpLookup : public ::testing::Test {
protected:
    std::string index(const std::string& bytes) { return m_dir.write("h.QHL", bytes); }
    void helpFile() { m_dir.write("h.html", "<a name=main></a>"); }
    std::string bytes() const { return TempDir::read(m_dir.path("h.QHL")); }
    std::optional<HelpTopic> lookUp(const char* context)
    {
        return LookUpHelpTopic(m_dir.path("h.QHL"), context);
    }

    TempDir m_dir;
};

TEST_F(HelpLookup, ContextKeyOrNotFoundRecordedInPlace)
{
    helpFile();
    // Comments, spacing, a byte 0x98 and a last line without a line break all survive the write.
    const std::string before = ToCp1251("; Указатель\r\n[Help]\r\n  NotFound = Оглавление \r\n"
                                        "tf_main=main\r\nEnableAddNotFound=1\r\n\r\n[X]\r\nY=\t") +
                               "\x98y";
    index(before);
    ASSERT_TRUE(lookUp("TF_Main"));
    EXPECT_EQ(lookUp("TF_Main")->Keyword, "main");
    EXPECT_EQ(lookUp("TF_Main")->HelpFile, m_dir.path("h.html"));
    EXPECT_EQ(bytes(), before);

    ASSERT_TRUE(lookUp("TF_Main_TF_A1_tag4"));
    EXPECT_EQ(ToUtf8(lookUp("TF_Main_TF_A1_tag4")->Keyword), "Оглавление");  // twice: same key
    const std::string after = before + "\r\n[AddNotFound]\r\nTF_Main_TF_A1_tag4=\r\n";
    EXPECT_EQ(bytes(), after);
    lookUp("TF_SETUP");
    EXPECT_EQ(bytes(), after + "TF_SETUP=\r\n");
}

TEST_F(HelpLookup, RecordingNeedsANonZeroInteger)
{
    helpFile();
    for (const char* enable : {"EnableAddNotFound=True\r\n", "EnableAddNotFound=0\r\n", ""}) {
        const std::string text = std::string("[Help]\r\nNotFound=main\r\n") + enable;
        index(text);
        ASSERT_TRUE(lookUp("TF_SETUP")) << enable;
        EXPECT_EQ(lookUp("TF_SETUP")->Keyword, "main");
        EXPECT_EQ(bytes(), text);
    }
    // Without a NotFound keyword nothing is shown, but the context is still recorded.
    index("[Help]\r\nEnableAddNotFound=-2\r\n");
    EXPECT_FALSE(lookUp("TF_About"));
    EXPECT_EQ(bytes(), "[Help]\r\nEnableAddNotFound=-2\r\n[AddNotFound]\r\nTF_About=\r\n");
}

TEST_F(HelpLookup, MissingFilesDoNothingAndWriteNothing)
{
    EXPECT_FALSE(LookUpHelpTopic("", "TF_Main"));
    EXPECT_FALSE(lookUp("TF_Main"));
    EXPECT_FALSE(fs::exists(m_dir.path("h.QHL")));
    // An index that would record, but no help file to show.
    index("[Help]\r\nNotFound=main\r\nEnableAddNotFound=1\r\n");
    EXPECT_FALSE(lookUp("TF_Main"));
    EXPECT_EQ(bytes(), "[Help]\r\nNotFound=main\r\nEnableAddNotFound=1\r\n");
}

TEST(HelpAnchors, KeywordFindsOneSeveralOrNone)
{
    std::vector<std::string> anchors;
    for (const char* a : {"main", "classifier", "Звенья", "Matrix", "matrix", "ёлка"})
        anchors.push_back(ToCp1251(a));
    using V = std::vector<std::size_t>;
    EXPECT_EQ(MatchAnchors(anchors, "classifier"), V{1});
    EXPECT_EQ(MatchAnchors(anchors, ToCp1251("ЗВЕНЬЯ")), V{2});
    EXPECT_EQ(MatchAnchors(anchors, ToCp1251("ЁЛКА")), V{5});
    EXPECT_EQ(MatchAnchors(anchors, "MATRIX"), (V{3, 4}));
    EXPECT_EQ(MatchAnchors(anchors, " classifier ;; main"), (V{0, 1}));
    EXPECT_EQ(MatchAnchors(anchors, "mai"), V{});
    EXPECT_EQ(MatchAnchors(anchors, " ; "), V{});
}

TEST(HelpAnchors, DeclaredCharsetAndUtf8)
{
    EXPECT_EQ(DeclaredHtmlCharset("<meta http-equiv=\"Content-Type\" "
                                  "content=\"text/html; charset=windows-1251\">"),
              HtmlCharset::Cp1251);
    EXPECT_EQ(DeclaredHtmlCharset("<META CHARSET = 'CP1251'>"), HtmlCharset::Cp1251);
    EXPECT_EQ(DeclaredHtmlCharset("<meta charset=utf-8>"), HtmlCharset::Other);
    EXPECT_EQ(DeclaredHtmlCharset("\xEF\xBB\xBF<html>"), HtmlCharset::Other);
    EXPECT_EQ(DeclaredHtmlCharset("<p>charset is a word here</p>"), HtmlCharset::Undeclared);
    EXPECT_EQ(DeclaredHtmlCharset(std::string(1100, ' ') + "<meta charset=utf-8>"),
              HtmlCharset::Undeclared);

    EXPECT_TRUE(IsValidUtf8("Справка — €, 𝄞"));
    EXPECT_FALSE(IsValidUtf8(ToCp1251("Справка")));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));  // overlong
}

}  // namespace
}  // namespace orm
