#include <gtest/gtest.h>

#include "core/report/reportwriter.h"
#include "reporttest.h"

using namespace orm;
using orm::test::kExpectedFragments;

namespace {

std::string paragraph(bool rtf, ParaStyle style, const std::string& text)
{
    TReportWriter w;
    w.SetRtf(rtf);
    w.WriteLine(style, text);
    return w.Output();
}

}  // namespace

TEST(ReportWriter, FragmentsAreExactAndOnlyTwelve)
{
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(RtfFragment(i), kExpectedFragments[i]) << "fragment " << i;
    TReportWriter w;
    w.WriteRtf(-1);
    w.WriteRtf(12);
    EXPECT_EQ(w.Output(), "");
}

TEST(ReportWriter, ParagraphsInBothFormats)
{
    const int indents[] = {0, 0, 0, 0, 2, 4, 6, 4, 6};
    for (int s = 1; s <= 9; ++s) {
        const auto style = static_cast<ParaStyle>(s);
        EXPECT_EQ(paragraph(true, style, "4.1.1.2 x"),
                  std::string(kExpectedFragments[s + 2]) + "4.1.1.2 x\\par ");
        EXPECT_EQ(paragraph(false, style, "4.1.1.2 x"),
                  std::string(static_cast<size_t>(indents[s - 1]), ' ') + "4.1.1.2 x\r\n");
    }
    // An empty separator paragraph.
    EXPECT_EQ(paragraph(true, ParaStyle::Heading, ""),
              std::string(kExpectedFragments[6]) + "\\par ");
    EXPECT_EQ(paragraph(false, ParaStyle::Heading, ""), "\r\n");
}

TEST(ReportWriter, OnlyBackslashAndBracesAreEscaped)
{
    EXPECT_EQ(paragraph(true, ParaStyle::Level1, "a{b}\\c"),
              std::string(kExpectedFragments[7]) + "a\\{b\\}\\\\c\\par ");
    EXPECT_EQ(paragraph(false, ParaStyle::Title, "a{b}\\c"), "a{b}\\c\r\n");
    // Cyrillic stays as its Windows-1251 bytes: font 2's character set tells readers.
    const std::string cyrillic = ToCp1251("Отдел кадров");
    EXPECT_EQ(EscapeRtf(cyrillic + "\t\r\n\x98'"), cyrillic + "\t\r\n\x98'");
    const std::string text(100000, 'a');
    EXPECT_EQ(paragraph(false, ParaStyle::Level3, text), "      " + text + "\r\n");
}

TEST(ReportWriter, WholeDocuments)
{
    TReportWriter rtf;
    rtf.SetRtf(true);
    rtf.WriteRtf(0);
    rtf.WriteRtf(1);
    EXPECT_EQ(rtf.Output(), std::string(kExpectedFragments[0]) + kExpectedFragments[1]);
    rtf.ClearOutput();
    rtf.WriteRtf(0);
    rtf.WriteLine(ParaStyle::Title, "T");
    rtf.WriteLine(ParaStyle::Level2, "1.1 a");
    rtf.WriteRtf(1);
    EXPECT_EQ(rtf.Output(), std::string(kExpectedFragments[0]) +
                                R"(\pard\qc\plain\f2\fs40\cf0\sb60\sa60\b T\par )"
                                R"(\pard\li284\plain\f2\fs24\cf0\sb60\sa60 1.1 a\par )"
                                R"(\pard\plain\par})");
}
