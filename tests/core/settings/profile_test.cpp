#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/settings/profile.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

TEST(Profile, Conversions)
{
    for (const char* yes : {"TRUE", "true", "Yes", "y", "Y", "1"})
        EXPECT_TRUE(TextIsTrue(yes)) << yes;
    for (const char* no : {"", "False", "on", "2", "01", "yes!", "T", "-1"})
        EXPECT_FALSE(TextIsTrue(no)) << no;

    EXPECT_EQ(ParseDecimalInt("42"), 42);
    EXPECT_EQ(ParseDecimalInt("-7"), -7);
    EXPECT_EQ(ParseDecimalInt("+3"), 3);
    EXPECT_EQ(ParseDecimalInt("007"), 7);
    EXPECT_EQ(ParseDecimalInt("2147483647"), 2147483647);
    for (const char* bad : {"", "+", "-", "+-1", " 5", "5 ", "0x10", "1e3", "12a", "2147483648"})
        EXPECT_EQ(ParseDecimalInt(bad), std::nullopt) << bad;
}

class ProfileFile : public ::testing::Test {
protected:
    ProfileFile() : m_path(m_dir.path("p.ini"))
    {
        m_profile.SetFileName(m_path);
        m_profile.SetSection("S");
    }

    test::TempDir m_dir;
    std::string m_path;
    TProfile m_profile;
};

TEST_F(ProfileFile, ReadsTextAndState)
{
    EXPECT_EQ(TProfile().FileName(), "WIN.INI");

    m_dir.write("p.ini", "[S]\r\nT=yes\r\nL=" + std::string(300, 'x') + "\r\n");
    m_profile.SetEntry("T");
    EXPECT_EQ(m_profile.Text(), "yes");
    EXPECT_TRUE(m_profile.State());
    m_profile.SetEntry("L");
    EXPECT_EQ(m_profile.Text().size(), 255u);

    // The default stays for later reads until it is set again.
    m_profile.SetDefaultText("True");
    m_profile.SetEntry("Missing1");
    EXPECT_TRUE(m_profile.State());
    m_profile.SetEntry("Missing2");
    EXPECT_EQ(m_profile.Text(), "True");
}

TEST_F(ProfileFile, NothingWithoutAFullAddress)
{
    m_dir.write("p.ini", "[S]\r\nK=v\r\n");
    m_profile.SetDefaultText("D");
    m_profile.SetEntry("");
    EXPECT_EQ(m_profile.Text(), "");  // empty, not the default
    EXPECT_FALSE(m_profile.SetText("w"));
    m_profile.SetEntry("K");
    m_profile.SetSection("");
    EXPECT_EQ(m_profile.Text(), "");
    EXPECT_FALSE(m_profile.SetState(true));
    m_profile.SetSection("S");
    m_profile.SetFileName("");
    EXPECT_EQ(m_profile.Text(), "");
    EXPECT_FALSE(m_profile.SetValue(1));
    EXPECT_EQ(test::TempDir::read(m_path), "[S]\r\nK=v\r\n");
}

TEST_F(ProfileFile, Writes)
{
    m_profile.SetEntry("B");
    ASSERT_TRUE(m_profile.SetState(true));
    m_profile.SetEntry("C");
    ASSERT_TRUE(m_profile.SetState(false));
    m_profile.SetEntry("N");
    ASSERT_TRUE(m_profile.SetValue(-12));
    m_profile.SetEntry("T");
    ASSERT_TRUE(m_profile.SetText(ToCp1251("Ёж")));
    EXPECT_EQ(test::TempDir::read(m_path),
              "[S]\r\nB=True\r\nC=False\r\nN=-12\r\nT=" + ToCp1251("Ёж") + "\r\n");
    m_profile.SetEntry("N");
    EXPECT_EQ(m_profile.Value(), -12);

    m_profile.SetFileName(m_dir.path("nodir/p.ini"));
    EXPECT_FALSE(m_profile.SetText("x"));
}

TEST_F(ProfileFile, AHeldFileIsReadOnceAndSeesTheProfilesOwnWrites)
{
    m_dir.write("p.ini", "[S]\r\nA=1\r\nB=2\r\n");
    const std::string other = m_dir.write("q.ini", "[S]\r\nA=q\r\n");
    m_profile.SetEntry("A");
    {
        const ProfileFileHold hold(m_profile);
        EXPECT_EQ(m_profile.Text(), "1");
        // Changed by someone else meanwhile: the reads of this load keep to what they read.
        m_dir.write("p.ini", "[S]\r\nA=changed\r\n");
        m_profile.SetEntry("B");
        EXPECT_EQ(m_profile.Text(), "2");
        // Another file is read when the profile moves to it, and the first again after.
        m_profile.SetFileName(other);
        m_profile.SetEntry("A");
        EXPECT_EQ(m_profile.Text(), "q");
        m_profile.SetFileName(m_path);
        EXPECT_EQ(m_profile.Text(), "changed");
        {
            const ProfileFileHold inner(m_profile);
            // A write through the profile goes to the file as it is now and is read back.
            m_profile.SetEntry("C");
            ASSERT_TRUE(m_profile.SetText("3"));
            EXPECT_EQ(m_profile.Text(), "3");
            m_profile.SetEntry("A");
            EXPECT_EQ(m_profile.Text(), "changed");
        }
        m_dir.write("p.ini", "[S]\r\nA=again\r\n");
        EXPECT_EQ(m_profile.Text(), "changed");  // the outer hold is still on
    }
    EXPECT_EQ(test::TempDir::read(m_path), "[S]\r\nA=again\r\n");
    // Released: every read is a fresh one again.
    EXPECT_EQ(m_profile.Text(), "again");
    m_dir.write("p.ini", "[S]\r\nA=last\r\n");
    EXPECT_EQ(m_profile.Text(), "last");
}

}  // namespace
}  // namespace orm
