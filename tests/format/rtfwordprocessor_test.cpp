// Documents as word processors write them (tests/data/rtf: Word's shapes written by hand,
// LibreOffice's made by it): pictures of shapes, notes, headers and footers, fields, sections,
// merged, shaded and nested cells and faces named for a character set, each as the view shows
// it and as a save keeps it.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontInfo>
#include <QImage>
#include <QTextTable>

#include "format/rtfdocument.h"
#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

std::string pngHex(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toHex().toStdString();
}

std::string wrap(const std::string& body)
{
    return "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}}" +
           body + "}";
}

// The pictures of a document: their shown sizes and their kept bytes.
std::vector<std::pair<QSizeF, QByteArray>> pictures(const QTextDocument& doc)
{
    std::vector<std::pair<QSizeF, QByteArray>> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                out.emplace_back(QSizeF(f.toImageFormat().width(), f.toImageFormat().height()),
                                 doc.resource(rtf::kPictureDataResource,
                                              rtf::PictureDataUrl(f.toImageFormat().name()))
                                     .toByteArray());
        }
    }
    return out;
}

// What a save must keep of a document, one line each: every paragraph (table cells included)
// with the section it starts and the note it belongs to, every run that is a field's result,
// a note's mark or anchor, every table cell's span, background, alignment and padding, and
// each section's own words and headers and footers.
QStringList describe(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        out << QStringLiteral("P %1 s%2 n%3 a%4").arg(b.text()).arg(bf.intProperty(rtf::kSectionStart))
                   .arg(bf.intProperty(rtf::kNoteText)).arg(int(bf.alignment()));
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.hasProperty(rtf::kFieldIds) || f.hasProperty(rtf::kNoteAnchor) ||
                f.hasProperty(rtf::kNoteNumber))
                out << QStringLiteral("  %1 [%2] %3 anchor%4 mark%5")
                           .arg(it.fragment().text(),
                                f.property(rtf::kFieldInstructions).toStringList().join('|'),
                                f.anchorHref())
                           .arg(f.hasProperty(rtf::kNoteAnchor))
                           .arg(f.hasProperty(rtf::kNoteNumber));
        }
    }
    std::function<void(QTextFrame*, QString)> frames = [&](QTextFrame* frame, QString indent) {
        for (QTextFrame* child : frame->childFrames()) {
            auto* t = qobject_cast<QTextTable*>(child);
            if (!t)
                continue;
            out << indent + QStringLiteral("T %1x%2 left%3").arg(t->rows()).arg(t->columns())
                                .arg(t->format().intProperty(rtf::kTableLeft));
            for (int r = 0; r < t->rows(); ++r) {
                for (int c = 0; c < t->columns(); ++c) {
                    const QTextTableCell cell = t->cellAt(r, c);
                    if (cell.row() != r || cell.column() != c)
                        continue;
                    const QTextTableCellFormat f = cell.format().toTableCellFormat();
                    out << indent + QStringLiteral(" %1,%2 %3x%4 %5 v%6 pad%7,%8")
                                        .arg(r).arg(c).arg(cell.rowSpan()).arg(cell.columnSpan())
                                        .arg(f.background().style() == Qt::NoBrush
                                                 ? QStringLiteral("-")
                                                 : f.background().color().name())
                                        .arg(int(f.verticalAlignment()))
                                        .arg(f.leftPadding()).arg(f.topPadding());
                }
            }
            frames(child, indent + QStringLiteral("  "));
        }
    };
    frames(doc.rootFrame(), QString());
    for (int k = 0; k < 4; ++k) {
        if (const auto section = rtf::DocumentSection(doc, k)) {
            out << QStringLiteral("S%1 %2").arg(k).arg(section->words);
            for (const rtf::PagePart& part : section->parts)
                out << QStringLiteral("  %1: %2").arg(part.word, part.text->toPlainText());
        }
    }
    out << doc.rootFrame()->frameFormat().stringProperty(rtf::kDocumentWords);
    return out;
}

// Read, written and read again: the second reading is the first, and writes the same file.
std::string resaved(const QTextDocument& first)
{
    const std::string saved = WriteRtf(first);
    const auto second = ReadDocument(saved);
    EXPECT_EQ(describe(*second), describe(first));
    EXPECT_EQ(WriteRtf(*second), saved);
    return saved;
}

bool has(const QStringList& lines, const char* utf8)
{
    return lines.contains(U(utf8));
}

}  // namespace

// A shape's picture ("pib") shows at the shape's size in its place, and the result given for
// readers without shapes does not; a shape without a picture it can show leaves its place to
// that result.
TEST(RtfWordProcessors, PicturesOfShapesShowAtTheShapesSize)
{
    const std::string png = pngHex(16, 8);
    const std::string pib = "{\\sp{\\sn pib}{\\sv {\\pict\\pngblip\\picw16\\pich8 " + png + "}}}";
    struct Case {
        const char* name;
        std::string rtf;
        int pictures;
        QSizeF size;     // of the first picture, pixels
        QString text;    // the paragraph it stands in
    };
    const Case cases[] = {
        {"Word's floating picture", DataFile("word-parts.rtf"), 1, {2268 / 15.0, 1134 / 15.0},
         U("\uFFFCОтдел закупок обеспечивает предприятие материалами1 и услугами по договорам; "
           "порядок описан на сайте.i")},
        {"LibreOffice's picture in a SHAPE field", DataFile("libreoffice-parts.rtf"), 1,
         {1699 / 15.0, 849 / 15.0}, U("\uFFFCРисунок: текст вокруг рисунка.")},
        {"shape without a result",
         wrap("A{\\shp{\\*\\shpinst\\shpleft100\\shptop0\\shpright1600\\shpbottom750" + pib +
              "}}B\\par"),
         1, {100, 50}, U("A\uFFFCB")},
        {"shape without a picture",
         wrap("A{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 202}}}{\\shprslt C}}B\\par"), 0, {},
         U("ACB")},
        {"group of shapes",
         wrap("A{\\shpgrp{\\*\\shpinst{\\shp{\\*\\shpinst\\shpright900\\shpbottom900" + pib +
              "}}}{\\shprslt C}}B\\par"),
         0, {}, U("ACB")},
        {"picture that cannot be shown",
         wrap("A{\\shp{\\*\\shpinst\\shpright900\\shpbottom900{\\sp{\\sn pib}{\\sv {\\pict"
              "\\pngblip 0102}}}}{\\shprslt C}}B\\par"),
         0, {}, U("ACB")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto doc = ReadDocument(c.rtf);
        const auto shown = pictures(*doc);
        ASSERT_EQ(static_cast<int>(shown.size()), c.pictures);
        EXPECT_TRUE(TopTexts(*doc).front() == c.text || TopTexts(*doc)[1] == c.text);
        if (shown.empty())
            continue;
        EXPECT_NEAR(shown[0].first.width(), c.size.width(), 0.01);
        EXPECT_NEAR(shown[0].first.height(), c.size.height(), 0.01);
        EXPECT_TRUE(shown[0].second.startsWith("\x89PNG"));
        // Saved as a picture of that size, with its own bytes.
        const std::string saved = resaved(*doc);
        const auto again = pictures(*ReadDocument(saved));
        ASSERT_EQ(again.size(), shown.size());
        EXPECT_EQ(again[0], shown[0]);
    }
}

TEST(RtfWordProcessors, NotesHeadersFieldsAndSectionsSurviveASave)
{
    struct Case {
        const char* file;
        std::vector<const char*> lines;  // that describe() has
        std::vector<const char*> saved;  // that the saved file has
    };
    const Case cases[] = {
        {"word-parts.rtf",
         {"  1 []  anchor1 mark1", "  i []  anchor1 mark1",
          "  сайте [HYPERLINK \"https://example.org/zakupki?id=7\"] https://example.org/zakupki?id=7 "
          "anchor0 mark0",
          "P Приложение. Перечень поставщиков s1 n0 a1",
          "P 1 Кроме канцелярских товаров. s0 n1 a1",
          "P i Концевая сноска: утверждено приказом. s0 n2 a1",
          "  headerr: Положение об отделе — верхний колонтитул", "  footerr: Страница 1",
          "  headerf: Титульный колонтитул", "  headerr: Приложение — альбомный раздел"},
         {"{\\footnote ", "{\\footnote\\ftnalt ", "\\fet2", "{\\headerf ", "\\titlepg",
          "{\\field{\\*\\fldinst HYPERLINK \"https://example.org/zakupki?id=7\"}{\\fldrslt ",
          "{\\field{\\*\\fldinst PAGE   \\\\* MERGEFORMAT}{\\fldrslt ", "\\sect\r\n\\sectd\\ltrsect\\lndscpsxn"}},
        {"libreoffice-parts.rtf",
         {"  1 []  anchor1 mark1", "  i []  anchor1 mark1", "P Альбомный раздел. s1 n0 a1",
          "P 1\tТекст сноски. s0 n1 a1", "P i\tТекст концевой сноски. s0 n2 a1",
          "  header: Верхний колонтитул", "  footer: Стр. 1"},
         {"\\aftnnrlc", "{\\header ", "{\\footer ", "\\pard\\sect\r\n\\sectd\\pgwsxn16838"}},
        {"word97-parts.rtf",
         {"  1 []  anchor1 mark1", "P 1 Записка составлена по форме № 3. s0 n1 a1",
          "  www.example.ru [HYPERLINK \"http://www.example.ru/docs/\"] http://www.example.ru/docs/ "
          "anchor0 mark0",
          "  header: ООО «Ромашка», отдел кадров", "  footer: 1"},
         {"{\\footnote ", "\\sectd\\linex0\\headery708"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        RtfLoadInfo info;
        QTextDocument doc;
        ASSERT_TRUE(ReadRtf(DataFile(c.file), doc, &info));
        EXPECT_EQ(info.omitted, 0u);
        const QStringList lines = describe(doc);
        for (const char* line : c.lines)
            EXPECT_TRUE(has(lines, line)) << line << "\n" << lines.join('\n').toStdString();
        const std::string saved = resaved(doc);
        for (const char* word : c.saved)
            EXPECT_NE(saved.find(word), std::string::npos) << word;
    }
}

// Notes numbered as the document says; a note anchored to the text before it, or to a number of
// its own when nothing is; \sect ends its paragraph without making one; fields nested and
// running over paragraphs keep their instructions and the paragraphs their formatting.
TEST(RtfWordProcessors, NoteNumbersSectionBreaksAndFieldsInDetail)
{
    struct Case {
        const char* body;
        std::vector<QString> texts;  // of the top-level paragraphs
    };
    const Case cases[] = {
        {"\\ftnnalc\\aftnnruc\\ftnstart2 A{\\chftn}{\\footnote{\\chftn} x}B{\\chftn}{\\footnote"
         "\\ftnalt{\\chftn} y}C{\\chftn}{\\footnote{\\chftn} z}\\par",
         {U("AbBICc"), U(""), U("b x"), U("c z"), U("I y")}},
        {"\\ftnnchi A{\\chftn}{\\footnote x}\\par", {U("A*"), U(""), U("x")}},
        {"Ab{\\footnote x}c\\par", {U("Abc"), U(""), U("x")}},
        {"{\\footnote x}B\\par", {U("1B"), U(""), U("x")}},
        {"A\\par\\sect B\\par", {U("A"), U("B")}},
        {"A\\sect\\sectd\\lndscpsxn B\\par", {U("A"), U("B")}},
        {"\\pard\\qc {\\field{\\*\\fldinst TOC \\\\o}{\\fldrslt A\\par\\pard\\qr B\\par}}\\pard C"
         "{\\field{\\*\\fldinst IF}{\\fldrslt x{\\field{\\*\\fldinst HYPERLINK \"h\"}{\\fldrslt y}}"
         "z}}\\par",
         {U("A"), U("B"), U("Cxyz")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const auto doc = ReadDocument(wrap(c.body));
        EXPECT_EQ(TopTexts(*doc), c.texts);
        resaved(*doc);
    }
    const auto doc = ReadDocument(wrap(cases[6].body));
    const auto blocks = TopBlocks(*doc);
    EXPECT_EQ(blocks[0].blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(blocks[1].blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(FormatOf(*doc, U("B")).property(rtf::kFieldInstructions).toStringList(),
              QStringList{U("TOC \\o")});
    EXPECT_EQ(FormatOf(*doc, U("y")).property(rtf::kFieldInstructions).toStringList(),
              (QStringList{U("IF"), U("HYPERLINK \"h\"")}));
    EXPECT_EQ(FormatOf(*doc, U("y")).anchorHref(), U("h"));
    EXPECT_FALSE(FormatOf(*doc, U("C")).hasProperty(rtf::kFieldIds));
    const auto section = ReadDocument(wrap(cases[5].body));
    EXPECT_EQ(TopBlocks(*section)[1].blockFormat().intProperty(rtf::kSectionStart), 1);
    EXPECT_EQ(rtf::DocumentSection(*section, 1)->words, U("\\lndscpsxn"));
}

TEST(RtfWordProcessors, MergedShadedAndNestedCells)
{
    struct Case {
        const char* file;
        std::vector<const char*> lines;
        std::vector<const char*> saved;
    };
    const Case cases[] = {
        {"word-parts.rtf",
         {"T 3x3 left-108", " 0,0 2x1 - v3 pad0,0", " 0,2 1x1 #fff2cc v5 pad0,0",
          " 1,1 1x2 #d9e2f3 v0 pad18.9333,0", " 2,1 1x2 #cccccc v0 pad0,0", "  T 1x2 left-108",
          "P Иванов s0 n0 a1"},
         {"\\trleft-108", "\\clvmgf", "\\clvmrg", "\\clvertalc", "\\clvertalb", "\\clcbpat",
          "\\clpadft3\\clpadt284", "\\clshdng2000\\clcfpat", "\\itap2", "\\nestcell",
          "{\\*\\nesttableprops\\trowd", "\\nestrow}{\\nonesttables\\par}"}},
        {"word97-parts.rtf",
         {"T 2x3 left-108", " 0,0 1x1 #cccccc v0 pad0,0", " 0,1 1x2 - v0 pad0,0",
          " 1,0 1x1 #e6e6e6 v3 pad0,0"},
         {"\\clshdng1000\\clcfpat", "\\clshdng2000\\cellx"}},
        {"libreoffice-parts.rtf",
         {"T 2x3 left0", " 0,0 1x2 #ffff00 v3 pad3.8,3.8", " 0,2 2x1 - v0 pad0,0",
          "  T 1x2 left0", "P в1 s0 n0 a1"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto doc = ReadDocument(DataFile(c.file));
        const QStringList lines = describe(*doc);
        for (const char* line : c.lines)
            EXPECT_TRUE(has(lines, line)) << line << "\n" << lines.join('\n').toStdString();
        const std::string saved = resaved(*doc);
        for (const char* word : c.saved)
            EXPECT_NE(saved.find(word), std::string::npos) << word;
    }
}

// "Times New Roman Cyr", "Arial CE" and the like are their base faces, with the text in their
// character sets; a face that is not installed falls back to one of its family's kind.
TEST(RtfWordProcessors, FacesNamedForACharacterSet)
{
    const auto doc = ReadDocument(DataFile("word97-parts.rtf"));
    struct Case {
        const char* text;
        const char* family;  // the first the format asks for
    };
    const Case cases[] = {
        {"Служебная записка", "Times New Roman"}, {"Łódź", "Arial"}, {"καλημέρα", "Times New Roman"},
        {"ģimene", "Arial"}, {"İstanbul", "Arial"}, {"0123456789", "Courier New"},
        {"Тот же шрифт", "Times New Roman"}, {"Шрифт, которого нет", "Petersburg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FirstFamily(FormatOf(*doc, U(c.text))), U(c.family));
    }
    // The faces found: the metric twins of Times New Roman and Arial, a monospace face for
    // \fmodern, and the serif fallback for a missing face of \froman.
    auto found = [&](const char* text) { return QFontInfo(FormatOf(*doc, U(text)).font()); };
    const QFontInfo times = found("Служебная записка");
    if (times.family() != U("Liberation Serif"))
        GTEST_SKIP() << "fonts-liberation is not installed";
    EXPECT_EQ(found("Тот же шрифт").family(), U("Liberation Serif"));
    EXPECT_EQ(found("Łódź").family(), U("Liberation Sans"));
    EXPECT_TRUE(found("0123456789").fixedPitch());
    QFont serif;
    serif.setStyleHint(QFont::Serif);
    EXPECT_EQ(found("Шрифт, которого нет").family(), serif.defaultFamily());
    // Written back under the base names.
    const std::string saved = WriteRtf(*doc);
    EXPECT_NE(saved.find("\\froman\\fcharset204 Times New Roman;"), std::string::npos);
    EXPECT_EQ(saved.find("Cyr;"), std::string::npos);
    EXPECT_EQ(saved.find(" CE;"), std::string::npos);
}
