#include "format/rtfwriter.h"

#include <gtest/gtest.h>

#include <QTextCursor>

#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

std::vector<StyledLine> everyStyle()
{
    std::vector<StyledLine> lines;
    for (int s = 1; s <= 9; ++s)
        lines.push_back({static_cast<ParaStyle>(s), "Абзац " + std::to_string(s) + " {x}\\y"});
    lines.push_back({ParaStyle::Heading, ""});
    lines.push_back({ParaStyle::Level3, "4.1.1.2 Склад №2 — «Юг»"});
    return lines;
}

// The face a run shows: its own, or the document's.
QString familyOf(const QTextCharFormat& f, const QTextDocument& doc)
{
    const QString family = FirstFamily(f);
    return family.isEmpty() ? doc.defaultFont().family() : family;
}

// Everything of a paragraph that a round trip must keep.
void expectSameParagraphs(const QTextDocument& a, const QTextDocument& b)
{
    const auto x = TopBlocks(a);
    const auto y = TopBlocks(b);
    ASSERT_EQ(x.size(), y.size());
    for (size_t k = 0; k < x.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(x[k].text(), y[k].text());
        const QTextBlockFormat f = x[k].blockFormat();
        const QTextBlockFormat g = y[k].blockFormat();
        EXPECT_EQ(f.alignment(), g.alignment());
        EXPECT_DOUBLE_EQ(f.leftMargin(), g.leftMargin());
        EXPECT_DOUBLE_EQ(f.rightMargin(), g.rightMargin());
        EXPECT_DOUBLE_EQ(f.textIndent(), g.textIndent());
        EXPECT_DOUBLE_EQ(f.topMargin(), g.topMargin());
        EXPECT_DOUBLE_EQ(f.bottomMargin(), g.bottomMargin());
        EXPECT_EQ(f.lineHeightType(), g.lineHeightType());
        EXPECT_DOUBLE_EQ(f.lineHeight(), g.lineHeight());
        EXPECT_EQ(f.pageBreakPolicy(), g.pageBreakPolicy());
        EXPECT_EQ(f.tabPositions(), g.tabPositions());
        EXPECT_DOUBLE_EQ(x[k].charFormat().fontPointSize(), y[k].charFormat().fontPointSize());
        auto i = x[k].begin();
        auto j = y[k].begin();
        for (; !i.atEnd() && !j.atEnd(); ++i, ++j) {
            const QTextCharFormat c = i.fragment().charFormat();
            const QTextCharFormat d = j.fragment().charFormat();
            EXPECT_EQ(i.fragment().text(), j.fragment().text());
            EXPECT_EQ(familyOf(c, a), familyOf(d, b));
            EXPECT_DOUBLE_EQ(c.fontPointSize(), d.fontPointSize());
            EXPECT_EQ(c.fontWeight(), d.fontWeight());
            EXPECT_EQ(c.fontItalic(), d.fontItalic());
            EXPECT_EQ(c.fontUnderline(), d.fontUnderline());
            EXPECT_EQ(c.fontStrikeOut(), d.fontStrikeOut());
            EXPECT_EQ(c.foreground().color(), d.foreground().color());
            EXPECT_EQ(c.verticalAlignment(), d.verticalAlignment());
        }
        EXPECT_TRUE(i.atEnd() && j.atEnd());
    }
}

}  // namespace

TEST(RtfWriter, ReportRoundTripKeepsTextAndFormatting)
{
    const auto first = ReadDocument(ReportDocumentBytes(everyStyle()));
    const std::string written = WriteRtf(*first);
    const auto second = ReadDocument(written);
    expectSameParagraphs(*first, *second);
    // Our own output is a fixed point.
    EXPECT_EQ(WriteRtf(*second), written);
}

TEST(RtfWriter, FormattingOfOtherProgramsSurvivesRoundTrip)
{
    for (const char* name : {"word.rtf", "wordpad.rtf", "libreoffice.rtf"}) {
        SCOPED_TRACE(name);
        const auto first = ReadDocument(DataFile(name));
        const auto second = ReadDocument(WriteRtf(*first));
        expectSameParagraphs(*first, *second);
        const auto t1 = Tables(*first);
        const auto t2 = Tables(*second);
        ASSERT_EQ(t1.size(), t2.size());
        for (size_t k = 0; k < t1.size(); ++k) {
            ASSERT_EQ(t1[k]->rows(), t2[k]->rows());
            ASSERT_EQ(t1[k]->columns(), t2[k]->columns());
            for (int r = 0; r < t1[k]->rows(); ++r) {
                for (int c = 0; c < t1[k]->columns(); ++c)
                    EXPECT_EQ(CellText(t1[k], r, c), CellText(t2[k], r, c));
            }
        }
        EXPECT_EQ(first->toPlainText(), second->toPlainText());
    }
}

TEST(RtfWriter, WritesWindows1251RtfInPlainAscii)
{
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Times New Roman")});
    f.setFontPointSize(12);
    cursor.insertText(U("Жё{}\\\tΩ😀€") + QChar(QChar::LineSeparator) + QChar(0x00A0), f);
    const std::string rtf = WriteRtf(doc);
    for (const char ch : rtf)
        ASSERT_LT(static_cast<unsigned char>(ch), 0x80);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1251\\deff0", 0), 0u);
    EXPECT_NE(rtf.find("\\fcharset204 Times New Roman;"), std::string::npos);
    EXPECT_NE(rtf.find("\\'c6\\'b8\\{\\}\\\\\\tab \\u937?\\u-10179?\\u-8704?\\'88\\line \\~"),
              std::string::npos)
        << rtf;
    EXPECT_EQ(ReadDocument(rtf)->toPlainText(), doc.toPlainText());
}

TEST(RtfWriter, PlainTextIsWindows1251WithCrLf)
{
    QTextDocument doc;
    doc.setPlainText(U("Первая\n  вторая Ω\tтаб\n\n"));
    EXPECT_EQ(WritePlainText(doc), ToCp1251("Первая\r\n  вторая ?\tтаб\r\n\r\n"));
    // A line break inside a paragraph is a line of its own.
    QTextDocument broken;
    QTextCursor(&broken).insertText(U("a") + QChar(QChar::LineSeparator) + U("b"));
    EXPECT_EQ(WritePlainText(broken), "a\r\nb");
}

TEST(RtfWriter, TablesRoundTripAsTables)
{
    const auto first = ReadDocument(
        "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}"
        "\\trowd\\cellx2000\\cellx5000\\pard\\intbl \\'c0\\cell B\\par C\\cell\\row"
        "\\trowd\\cellx5000\\pard\\intbl Wide\\cell\\row\\pard End\\par}");
    const auto second = ReadDocument(WriteRtf(*first));
    const auto tables = Tables(*second);
    ASSERT_EQ(tables.size(), 1u);
    ASSERT_EQ(tables[0]->rows(), 2);
    ASSERT_EQ(tables[0]->columns(), 2);
    EXPECT_EQ(CellText(tables[0], 0, 0), U("А"));
    EXPECT_EQ(CellText(tables[0], 0, 1), U("B\nC"));
    EXPECT_EQ(tables[0]->cellAt(1, 0).columnSpan(), 2);
    EXPECT_EQ(CellText(tables[0], 1, 0), U("Wide"));
    // The empty block in front is the one QTextDocument keeps before a leading table; it must
    // not become a paragraph of the file, or every round trip would add one.
    EXPECT_EQ(TopTexts(*second), (std::vector<QString>{QString(), U("End")}));
}
