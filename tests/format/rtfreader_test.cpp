#include <gtest/gtest.h>

#include "core/model/project.h"
#include "core/report/reportgen.h"
#include "core/report/reporttest.h"
#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

// What each paragraph style of the report writer must look like once read.
struct StyleLook {
    ParaStyle Style;
    Qt::Alignment Align;
    int Left;   // twips
    int First;  // twips
    double Points;
    bool Bold, Italic, Underline;
};

const StyleLook kLooks[] = {
    {ParaStyle::Title, Qt::AlignHCenter, 0, 0, 20, true, false, false},
    {ParaStyle::Subtitle, Qt::AlignHCenter, 0, 0, 14, true, true, false},
    {ParaStyle::Subject, Qt::AlignHCenter, 0, 0, 14, true, false, false},
    {ParaStyle::Heading, Qt::AlignLeft, 426, -426, 16, true, false, false},
    {ParaStyle::Level1, Qt::AlignLeft, 0, 0, 12, true, false, false},
    {ParaStyle::Level2, Qt::AlignLeft, 284, 0, 12, false, false, false},
    {ParaStyle::Level3, Qt::AlignLeft, 720, 0, 10, false, true, false},
    {ParaStyle::GroupCaption, Qt::AlignLeft, 284, 0, 10, true, true, true},
    {ParaStyle::Linked, Qt::AlignLeft, 567, 0, 12, false, false, false},
};

double twips(int t)
{
    return t / 15.0;
}

std::string body(const std::string& text)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}" + text + "}";
}

}  // namespace

TEST(RtfReader, ReportStylesReadWithTheirFormatting)
{
    std::vector<StyledLine> lines;
    for (const StyleLook& look : kLooks)
        lines.push_back(
            {look.Style, "Стиль " + std::to_string(static_cast<int>(look.Style)) + " — ёЁ №"});
    const auto doc = ReadDocument(ReportDocumentBytes(lines));
    const auto blocks = TopBlocks(*doc);
    // Nine paragraphs and the empty one of the document's tail.
    ASSERT_EQ(blocks.size(), 10u);
    EXPECT_TRUE(blocks[9].text().isEmpty());
    for (size_t k = 0; k < 9; ++k) {
        SCOPED_TRACE(k + 1);
        const StyleLook& look = kLooks[k];
        const QTextBlock& b = blocks[k];
        EXPECT_EQ(b.text(), U(lines[k].Text.c_str()));
        const QTextBlockFormat bf = b.blockFormat();
        EXPECT_EQ(bf.alignment() & Qt::AlignHorizontal_Mask, look.Align);
        EXPECT_DOUBLE_EQ(bf.leftMargin(), twips(look.Left));
        EXPECT_DOUBLE_EQ(bf.textIndent(), twips(look.First));
        EXPECT_DOUBLE_EQ(bf.topMargin(), twips(60));
        EXPECT_DOUBLE_EQ(bf.bottomMargin(), twips(60));
        const QTextCharFormat cf = b.begin().fragment().charFormat();
        EXPECT_EQ(FirstFamily(cf), U("Times New Roman"));
        EXPECT_DOUBLE_EQ(cf.fontPointSize(), look.Points);
        EXPECT_EQ(cf.fontWeight() == QFont::Bold, look.Bold);
        EXPECT_EQ(cf.fontItalic(), look.Italic);
        EXPECT_EQ(cf.fontUnderline(), look.Underline);
        EXPECT_EQ(cf.foreground().color(), QColor(Qt::black));
    }
}

TEST(RtfReader, ReportEscapesEmptyParagraphsAndEmptyDocument)
{
    const auto doc = ReadDocument(ReportDocumentBytes(
        {{ParaStyle::Level2, "a{b}\\c"}, {ParaStyle::Heading, ""}, {ParaStyle::Level1, "x"}}));
    const auto blocks = TopBlocks(*doc);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].text(), U("a{b}\\c"));
    // An empty separator keeps the height of its 16-point mark.
    EXPECT_TRUE(blocks[1].text().isEmpty());
    EXPECT_DOUBLE_EQ(blocks[1].charFormat().fontPointSize(), 16);
    EXPECT_EQ(blocks[2].text(), U("x"));

    const auto empty = ReadDocument(ReportDocumentBytes({}));
    EXPECT_EQ(empty->toPlainText(), QString());
}

TEST(RtfReader, GeneratedReportShowsTheLinesOfItsPlainTextTwin)
{
    TMainTreeList project;
    project.SetName(ToCp1251("ООО {Ромашка}"));
    Populate(project,
             "1.1 Розница, 2.1 Закупки, 4.1 Дирекция, 4.1.1 Отдел закупок, 4.1.1.1 Склад\\Юг",
             "1.1 4.1, 2.1 4.1.1, 2.1 4.1.1.1");
    const ReportOutcome rich = GenerateReport(project, 1, {}, {true, true});
    const ReportOutcome plain = GenerateReport(project, 1, {}, {false, true});
    ASSERT_EQ(rich.Fault, ReportFault::None);
    const auto doc = ReadDocument(rich.Document.Bytes);
    const auto texts = TopTexts(*doc);
    const auto lines = TextLines(plain.Document.Bytes);
    ASSERT_EQ(texts.size(), lines.size() + 1);
    for (size_t k = 0; k < lines.size(); ++k)
        EXPECT_EQ(texts[k], QString::fromUtf8(lines[k]).trimmed()) << k;
}

TEST(RtfReader, UnicodeWithFallbacks)
{
    const auto doc =
        ReadDocument(body("A\\u1046?B"                 // one fallback character by default
                         "{\\uc2\\u8364\\'80\\'80C}"  // two after \uc2
                         "{\\uc0\\u937 D}\\u937?E"    // \uc is scoped to its group
                         "\\u-10179?\\u-8704?F"       // a surrogate pair as two negative numbers
                         "{\\u1046}G"                 // a group's end ends the fallback
                         "\\u1046\\'3fH"              // the fallback as a hex escape
                         "\\par"));
    EXPECT_EQ(TopTexts(*doc)[0], U("AЖB€CΩDΩE😀FЖGЖH"));
}

TEST(RtfReader, BytesFollowTheCodePageOfTheirFont)
{
    const auto doc = ReadDocument(
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset0 Arial;}"
        "{\\f1\\fcharset204 Arial;}{\\f2 Arial;}{\\f3\\fcharset238 Arial;}"
        "{\\f4\\ftech\\fcharset2 Symbol;}{\\f5\\fcharset0\\cpg1251 Arial;}"
        "{\\f6\\fcharset161 Arial;}}"
        "\\f0\\'e9\\f1\\'e9\\f2\\'e9\\f3\\'b3\\f4\\'b7a\\f5\\'e9\\f6\\'e1\\par "
        // Raw bytes, as the report writer stores Cyrillic text.
        "\\f1 \xcf\xf0\xe8\xe2\xe5\xf2\\f0  \xe9\\par}");
    const auto texts = TopTexts(*doc);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], U("éййł•αйα"));
    EXPECT_EQ(texts[1], U("Привет é"));
    // Symbol glyphs become ordinary characters, so the run does not ask for the Symbol font.
    EXPECT_TRUE(FirstFamily(FormatOf(*doc, U("•"))).isEmpty());
}

TEST(RtfReader, DestinationsThatAreNotTextAreSkipped)
{
    const auto doc = ReadDocument(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}{\\*\\cs10 Default;}}{\\info{\\title Secret}{\\author X}}"
        "{\\*\\generator Gen;}{\\header Head\\par}{\\footer Foot\\par}"
        "\\pard A{\\*\\unknown hidden}B{\\pict\\wmetafile8 0102{}ff}C{\\pict\\bin4 }}{}}D"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt E}}{\\*\\bkmkstart b}F{\\footnote G}"
        "{\\v H}I{\\upr{J}{\\*\\ud{K}}}{\\listtext L}"
        "{\\object{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result {\\pict 01}}}M\\par}");
    // The footnote's text follows the document's, below a rule.
    EXPECT_EQ(doc->toPlainText(), U("ABCDEFIKLM\n\nG"));
}

TEST(RtfReader, CharacterAndParagraphFormatting)
{
    const auto doc = ReadDocument(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "\\pard\\qj\\li720\\ri360\\fi-360\\sb120\\sa240\\sl360\\slmult1\\tqr\\tx5000\\tx7000"
        "\\f0\\fs28 Plain {\\b Bold}{\\i It}{\\ul Ul}{\\ulw W}{\\strike St}{\\cf1 Red}"
        "{\\highlight2 Hi}{\\super 2}{\\sub 3}{\\caps caps}{\\f1 Mono}\\tab X\\line Y\\par "
        "\\pard\\qr\\sl-300 R\\page\\pard\\qc C\\par}");
    const auto blocks = TopBlocks(*doc);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].text(),
              U("Plain BoldItUlWStRedHi23capsMono\tX") + QChar(QChar::LineSeparator) + U("Y"));
    const QTextBlockFormat b0 = blocks[0].blockFormat();
    EXPECT_EQ(b0.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_DOUBLE_EQ(b0.leftMargin(), 48);
    EXPECT_DOUBLE_EQ(b0.rightMargin(), 24);
    EXPECT_DOUBLE_EQ(b0.textIndent(), -24);
    EXPECT_DOUBLE_EQ(b0.topMargin(), 8);
    EXPECT_DOUBLE_EQ(b0.bottomMargin(), 16);
    EXPECT_EQ(b0.lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_DOUBLE_EQ(b0.lineHeight(), 150);
    // Stops count from the first line's start (360 twips); the hanging indent adds one.
    const QList<QTextOption::Tab> tabs = b0.tabPositions();
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0].type, QTextOption::LeftTab);
    EXPECT_NEAR(tabs[0].position, 360 / 15.0, 1e-9);
    EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
    EXPECT_NEAR(tabs[1].position, (5000 - 360) / 15.0, 1e-9);
    EXPECT_EQ(tabs[2].type, QTextOption::LeftTab);
    EXPECT_NEAR(tabs[2].position, (7000 - 360) / 15.0, 1e-9);

    EXPECT_EQ(FirstFamily(FormatOf(*doc, U("Plain"))), U("Arial"));
    EXPECT_DOUBLE_EQ(FormatOf(*doc, U("Plain")).fontPointSize(), 14);
    EXPECT_EQ(FormatOf(*doc, U("Plain")).fontWeight(), QFont::Normal);
    EXPECT_EQ(FormatOf(*doc, U("Bold")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(*doc, U("It")).fontItalic());
    EXPECT_FALSE(FormatOf(*doc, U("It")).fontUnderline());
    EXPECT_TRUE(FormatOf(*doc, U("Ul")).fontUnderline());
    EXPECT_TRUE(FormatOf(*doc, U("W")).fontUnderline());
    EXPECT_TRUE(FormatOf(*doc, U("St")).fontStrikeOut());
    EXPECT_EQ(FormatOf(*doc, U("Red")).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(FormatOf(*doc, U("Hi")).background().color(), QColor(0, 0, 255));
    EXPECT_EQ(FormatOf(*doc, U("2")).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(*doc, U("3")).verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_EQ(FormatOf(*doc, U("caps")).fontCapitalization(), QFont::AllUppercase);
    EXPECT_EQ(FirstFamily(FormatOf(*doc, U("Mono"))), U("Courier New"));
    EXPECT_DOUBLE_EQ(FormatOf(*doc, U("Mono")).fontPointSize(), 14);

    EXPECT_EQ(blocks[1].text(), U("R"));
    EXPECT_EQ(blocks[1].blockFormat().lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_DOUBLE_EQ(blocks[1].blockFormat().lineHeight(), 20);
    // \page ends the paragraph and puts the next one on a new page.
    EXPECT_EQ(blocks[2].text(), U("C"));
    EXPECT_EQ(blocks[2].blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
}

TEST(RtfReader, TablesBecomeTablesWithCellsInTheirColumns)
{
    const auto doc =
        ReadDocument(body("\\pard Before\\par"
                         "\\trowd\\trgaph108\\trleft0\\cellx2000\\cellx4000"
                         "\\pard\\intbl A1\\cell\\pard\\intbl B1\\par second line\\cell"
                         // Word repeats the row's definition before its end.
                         "\\trowd\\trgaph108\\trleft0\\cellx2000\\cellx4000\\row"
                         "\\trowd\\trleft0\\cellx4000\\pard\\intbl Wide\\cell\\row"
                         "\\trowd\\trleft0\\cellx1000\\cellx2000\\cellx4000"
                         "\\pard\\intbl x\\cell y\\cell\\row"
                         "\\pard After\\par"));
    EXPECT_EQ(TopTexts(*doc), (std::vector<QString>{U("Before"), U("After")}));
    const auto tables = Tables(*doc);
    ASSERT_EQ(tables.size(), 1u);
    QTextTable* t = tables[0];
    // Edges 0, 1000, 2000 and 4000 give three columns.
    ASSERT_EQ(t->rows(), 3);
    ASSERT_EQ(t->columns(), 3);
    EXPECT_EQ(CellText(t, 0, 0), U("A1"));
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2);
    EXPECT_EQ(CellText(t, 0, 2), U("B1\nsecond line"));
    EXPECT_EQ(CellText(t, 1, 0), U("Wide"));
    EXPECT_EQ(t->cellAt(1, 0).columnSpan(), 3);
    EXPECT_EQ(CellText(t, 2, 0), U("x"));
    EXPECT_EQ(CellText(t, 2, 1), U("y"));
    EXPECT_EQ(CellText(t, 2, 2), QString());
    EXPECT_EQ(WritePlainText(*doc),
              ToCp1251("Before\r\nA1\tB1 second line\r\nWide\r\nx\ty\t\r\nAfter"));
}

TEST(RtfReader, DamagedAndNestedTablesStillShowTheirText)
{
    // A nested table shows inside its outer cell; a table cut off before \\row still shows.
    const auto doc = ReadDocument(body(
        "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Outer\\par"
        "\\pard\\intbl\\itap2 n1\\nestcell n2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000"
        "\\cellx2000\\nestrow}{\\nonesttables\\par}\\pard\\intbl\\itap1 Tail\\cell Last\\cell\\row"
        "\\trowd\\cellx3000\\pard\\intbl Cut off"));
    const auto tables = Tables(*doc);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(CellText(tables[0], 0, 0), U("Outer\nTail"));
    EXPECT_EQ(CellText(tables[0], 0, 1), U("Last"));
    EXPECT_EQ(CellText(tables[0], 1, 0), U("Cut off"));
    EXPECT_EQ(WritePlainText(*doc), "Outer n1 n2 Tail\tLast\r\nCut off\t\r\n");
}

// Files in the shapes that other programs write: Word (hand-written in its shape), WordPad
// (likewise) and LibreOffice Writer (written by it).
TEST(RtfReader, WordShapedDocument)
{
    const auto doc = ReadDocument(DataFile("word.rtf"));
    const auto texts = TopTexts(*doc);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], U("Положение о структурном подразделении"));
    EXPECT_EQ(texts[1], U("1.\tОбщие положения — №\u00A01 Ω"));
    EXPECT_EQ(texts[2], U("•\tОтдел «Закупки» подчиняется директору."));
    EXPECT_EQ(texts[3], U("Ссылка"));
    EXPECT_EQ(TopBlocks(*doc)[0].blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(FormatOf(*doc, U("Положение")).fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(FormatOf(*doc, U("Положение")).fontPointSize(), 16);
    EXPECT_EQ(FirstFamily(FormatOf(*doc, U("Отдел"))), U("Times New Roman"));
    const auto tables = Tables(*doc);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(CellText(tables[0], 0, 0), U("Должность"));
    EXPECT_EQ(CellText(tables[0], 1, 1), U("2"));
    EXPECT_FALSE(doc->toPlainText().contains(U("Normal")));
    EXPECT_FALSE(doc->toPlainText().contains(U("Author")));
    EXPECT_FALSE(doc->toPlainText().contains(U("Колонтитул")));
}

TEST(RtfReader, WordPadShapedDocument)
{
    const auto doc = ReadDocument(DataFile("wordpad.rtf"));
    const auto texts = TopTexts(*doc);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], U("Привет, мир!"));
    EXPECT_EQ(texts[1], U("Жирный и курсив"));
    EXPECT_EQ(FormatOf(*doc, U("Жирный")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(*doc, U("курсив")).fontItalic());
    EXPECT_DOUBLE_EQ(FormatOf(*doc, U("Привет")).fontPointSize(), 11);
    EXPECT_EQ(TopBlocks(*doc)[0].blockFormat().lineHeight(), 115);
}

TEST(RtfReader, LibreOfficeDocument)
{
    const auto doc = ReadDocument(DataFile("libreoffice.rtf"));
    const QString text = doc->toPlainText();
    EXPECT_TRUE(text.contains(U("Положение об отделе"))) << text.toStdString();
    EXPECT_TRUE(text.contains(U("цена 100 €, Ω, 中文, — тире.")));
    EXPECT_EQ(FormatOf(*doc, U("полужирным")).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(*doc, U("курсивом")).fontItalic());
    EXPECT_TRUE(FormatOf(*doc, U("подчёркиванием")).fontUnderline());
    const auto tables = Tables(*doc);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(CellText(tables[0], 0, 1), U("Ячейка 2"));
    EXPECT_EQ(CellText(tables[0], 1, 0), U("Ячейка 3"));
}

// Our report as LibreOffice saves it again (Unicode escapes, style sheet, its own fonts): the
// same paragraphs with the same look.
TEST(RtfReader, ReportResavedByLibreOfficeLooksLikeOurs)
{
    const auto ours = ReadDocument(DataFile("report.rtf"));
    const auto theirs = ReadDocument(DataFile("libreoffice-report.rtf"));
    const auto a = TopBlocks(*ours);
    const auto b = TopBlocks(*theirs);
    ASSERT_EQ(a.size(), b.size());
    for (size_t k = 0; k < a.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(a[k].text(), b[k].text());
        EXPECT_EQ(a[k].blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                  b[k].blockFormat().alignment() & Qt::AlignHorizontal_Mask);
        EXPECT_DOUBLE_EQ(a[k].blockFormat().leftMargin(), b[k].blockFormat().leftMargin());
        EXPECT_DOUBLE_EQ(a[k].blockFormat().textIndent(), b[k].blockFormat().textIndent());
        if (a[k].text().isEmpty())
            continue;
        const QTextCharFormat f = a[k].begin().fragment().charFormat();
        const QTextCharFormat g = b[k].begin().fragment().charFormat();
        EXPECT_DOUBLE_EQ(f.fontPointSize(), g.fontPointSize());
        EXPECT_EQ(f.fontWeight(), g.fontWeight());
        EXPECT_EQ(f.fontItalic(), g.fontItalic());
        EXPECT_EQ(f.fontUnderline(), g.fontUnderline());
        EXPECT_EQ(FirstFamily(g), U("Times New Roman"));
    }
}
