#include <gtest/gtest.h>

#include "core/model/numbers.h"
#include "core/text/cp1251.h"

using namespace orm;

TEST(Cp1251, EveryByteRoundTripsThroughUnicode)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCp1251(ToUtf8(all)), all);
    EXPECT_EQ(Cp1251ToUnicode(0x98), U'\u0098');
    EXPECT_EQ(Cp1251ToUnicode(0xFF), U'я');
    EXPECT_EQ(Cp1251ToUnicode(0xB9), U'№');
}

TEST(Cp1251, UnmappableBecomesQuestionMarkNeverSub)
{
    EXPECT_EQ(ToCp1251("é☃Θ"), "???");
    EXPECT_EQ(ToCp1251("Ёё№€—"), "\xA8\xB8\xB9\x88\x97");
    EXPECT_EQ(ToCp1251("a\xFF" "b"), "a?b");  // malformed UTF-8
    EXPECT_EQ(ToCp1251("\xF0\x9F\x98\x80"), "?");  // outside the BMP
    for (char ch : ToCp1251("☃𝄞é"))
        EXPECT_NE(ch, '\x1A');
}

TEST(Cp1251, CaseFoldingCoversCyrillic)
{
    EXPECT_EQ(UpperCp1251(ToCp1251("раздел ёж їі ў abc")), ToCp1251("РАЗДЕЛ ЁЖ ЇІ Ў ABC"));
    EXPECT_EQ(LowerCp1251(ToCp1251("КЛЮЧ Ґ Ђ")), ToCp1251("ключ ґ ђ"));
    EXPECT_TRUE(EqualsNoCaseCp1251(ToCp1251("Ключ"), ToCp1251("кЛЮЧ")));
    EXPECT_FALSE(EqualsNoCaseCp1251(ToCp1251("Ключ"), ToCp1251("Ключи")));
    // Only letters fold: "№" and "«" stay.
    EXPECT_EQ(UpperCp1251(ToCp1251("№«")), ToCp1251("№«"));
}

TEST(Numbers, SplitAtCutsTheNameAt255)
{
    EXPECT_EQ(SplitAt("4.2.1 Отдел кадров", " ").first, "4.2.1");
    EXPECT_EQ(SplitAt("4.2.1 Отдел кадров", " ").second, "Отдел кадров");
    EXPECT_EQ(SplitAt("1.1", " "), std::make_pair(std::string("1.1"), std::string()));
    EXPECT_EQ(SplitAt("1.1 ", " ").second, "");
    const std::string longName(300, 'x');
    EXPECT_EQ(TextAfterBlank("1.1 " + longName), std::string(255, 'x'));
}

TEST(Numbers, ComponentsAndParents)
{
    EXPECT_EQ(ComponentCount(""), 0);
    EXPECT_EQ(ComponentCount("7"), 1);
    EXPECT_EQ(ComponentCount("4.2.1"), 3);
    EXPECT_EQ(Component("1.2", 3), -1);
    EXPECT_EQ(Component("", 1), -1);
    EXPECT_EQ(Component("1.2", 0), -1);
    EXPECT_EQ(Component("4.02.1", 2), 2);
    EXPECT_EQ(Component("4.x.1", 2), -1);
    EXPECT_EQ(Component("4..1", 2), -1);
    EXPECT_EQ(Component("4.2a", 2), -1);
    EXPECT_EQ(Component("99999999999", 1), -1);  // overflow is no integer
    EXPECT_EQ(Component("+7.+-2", 1), 7);
    EXPECT_EQ(Component("+7.+-2", 2), -1);
    EXPECT_EQ(ParentNumber("4"), "");
    EXPECT_EQ(ParentNumber("4.02.1"), "4.2");
    EXPECT_EQ(ParentNumber("01.2.3"), "1.2");
    EXPECT_EQ(ParentNumber("1.x..-2147483648.5"), "1.-1.-1.-2147483648");
    EXPECT_EQ(ParentNumber("3."), "3");
    // Deep numbers keep every component (and take a time in proportion to their length).
    std::string deep = "1";
    std::string parent = "1";
    for (int i = 2; i <= 50000; ++i) {
        deep += "." + std::to_string(i % 10);
        if (i < 50000)
            parent += "." + std::to_string(i % 10);
    }
    EXPECT_EQ(ParentNumber(deep), parent);
}

TEST(Numbers, PaddedKeys)
{
    EXPECT_EQ(PadNumber("4.2.1"), "000400020001");
    EXPECT_EQ(PadNumber("1.12"), "00010012");
    EXPECT_EQ(UnpadNumber("00010012"), "1.12");
    EXPECT_EQ(UnpadNumber("000400020001"), "4.2.1");
    EXPECT_LT(PadNumber("1.9"), PadNumber("1.10"));
    EXPECT_LT(PadNumber("1.9999"), PadNumber("2"));
    EXPECT_EQ(RepeatChar(3, '-'), "---");
    EXPECT_EQ(RepeatChar(0, '-'), "");
    EXPECT_EQ(RepeatChar(-2, '-'), "");
}
