#include <gtest/gtest.h>

#include "core/settings/parsecolor.h"

namespace orm {
namespace {

RgbColor rgb(int r, int g, int b)
{
    return RgbColor{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
}

TEST(ParseColor, ThreeComponents)
{
    EXPECT_EQ(ParseColor("0,128,255"), rgb(0, 128, 255));
    EXPECT_EQ(ParseColor("0,128,255")->Value(), 0xFF8000u);
    EXPECT_EQ(ParseColor("1;2;3"), rgb(1, 2, 3));
    // A separator after the third component ends the scan.
    EXPECT_EQ(ParseColor("1;2;3;4"), rgb(1, 2, 3));
    EXPECT_EQ(ParseColor("1,2,3,400,abc"), rgb(1, 2, 3));
    // Everything but digits and separators is skipped, signs included.
    EXPECT_EQ(ParseColor(" R=10, G=-20 ,B: 3 0"), rgb(10, 20, 30));
}

TEST(ParseColor, ComponentsKeepLowEightBitsOfAtMostThreeDigits)
{
    EXPECT_EQ(ParseColor("300,0,0"), rgb(44, 0, 0));
    EXPECT_EQ(ParseColor("256,512,999"), rgb(0, 0, 999 & 0xFF));
    // A fourth digit is ignored, not carried into the next component.
    EXPECT_EQ(ParseColor("1234,5,6"), rgb(123, 5, 6));
    EXPECT_EQ(ParseColor("007,0,0"), rgb(7, 0, 0));
}

TEST(ParseColor, MissingComponentGivesNoColour)
{
    EXPECT_EQ(ParseColor(""), std::nullopt);
    EXPECT_EQ(ParseColor("12,34"), std::nullopt);
    EXPECT_EQ(ParseColor("abc"), std::nullopt);
    EXPECT_EQ(ParseColor("1,,3"), std::nullopt);
    EXPECT_EQ(ParseColor(",,"), std::nullopt);
}

TEST(ParseColor, NamedColours)
{
    EXPECT_EQ(ParseColor("clNavy"), rgb(0, 0, 128));
    EXPECT_EQ(ParseColor("CLNAVY"), rgb(0, 0, 128));
    EXPECT_EQ(ParseColor("clFuchsia"), rgb(255, 0, 255));
    EXPECT_EQ(ParseColor("clSilver"), rgb(192, 192, 192));
    EXPECT_EQ(ParseColor("clBtnFace"), rgb(212, 208, 200));
    EXPECT_EQ(ParseColor("clInfoBk"), rgb(255, 255, 225));
    EXPECT_EQ(ParseColor("clAppWorkSpace"), rgb(128, 128, 128));
    EXPECT_EQ(ParseColor("clNone"), std::nullopt);
    // A name with something around it is not a name; without digits it is no colour.
    EXPECT_EQ(ParseColor(" clNavy"), std::nullopt);
    EXPECT_EQ(ParseColor("clNavy2"), std::nullopt);
}

}  // namespace
}  // namespace orm
