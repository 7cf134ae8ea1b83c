// Reading a document a part at a time must make the same document as reading it at once,
// whatever the size of the parts: the viewer shows the one and saves and prints the other.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <climits>

#include "format/rtfdocument.h"
#include "format/rtfwriter.h"
#include "rtftest.h"

using namespace orm;
using namespace orm::test;

namespace {

// Everything of a document that a part could get wrong: every block (table cells included)
// with its block format, its block character format and each fragment's text and format;
// the tables' formats; the root frame's format (the page); the tab width.
QStringList dump(const QTextDocument& doc)
{
    QStringList out;
    auto props = [](const QTextFormat& f) {
        QStringList parts;
        const auto all = f.properties();
        for (auto it = all.begin(); it != all.end(); ++it) {
            QString value;
            QDebug(&value) << it.value();
            parts << QString::number(it.key()) + QChar('=') + value;
        }
        return parts.join(QChar(' '));
    };
    out << QStringLiteral("root ") + props(doc.rootFrame()->frameFormat());
    out << QStringLiteral("tab %1").arg(doc.defaultTextOption().tabStopDistance());
    for (QTextFrame* frame : doc.rootFrame()->childFrames())
        out << QStringLiteral("frame %1 ").arg(frame->firstPosition()) + props(frame->format());
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        out << QStringLiteral("block ") + props(b.blockFormat()) + QStringLiteral(" | ") +
                   props(b.charFormat());
        for (auto it = b.begin(); !it.atEnd(); ++it)
            out << it.fragment().text() + QStringLiteral(" | ") + props(it.fragment().charFormat());
    }
    return out;
}

QByteArray png(const QColor& color)
{
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A document with something of everything the parts could cut through: a page given late in
// the first section, a tab width given after the text began, tables (merged and nested), a page
// break, pictures, notes, a link, a header and a section of its own, a paragraph without its
// mark at the end, and what a load leaves out.
std::string mixed()
{
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}"
        "{\\f1\\fswiss Arial;}}{\\colortbl;\\red200\\green0\\blue0;}";
    for (int k = 0; k < 40; ++k) {
        rtf += "\\pard\\sb60\\sa60\\li" + std::to_string(k * 20) + "\\f" + std::to_string(k % 2) +
               "\\fs" + std::to_string(20 + k % 4 * 2) + (k % 3 ? "\\b " : "\\b0\\cf1 ") +
               ToCp1251("Абзац ") + std::to_string(k) + "\\par ";
        if (k == 3)
            rtf += "\\deftab567\\pgwsxn16838\\pghsxn11906\\lndscpsxn\\margl1000 ";
        if (k == 9 || k == 25) {
            for (int r = 0; r < 5; ++r)
                rtf += "\\trowd\\trgaph108\\cellx2000\\cellx" + std::to_string(4000 + r * 100) +
                       "\\intbl A" + std::to_string(r) + "\\cell B\\cell\\row ";
        }
        if (k == 17)
            rtf += "\\page{\\header Шапка\\par}A{\\*\\annotation Note}\\par ";
        if (k == 13)
            rtf += "B{\\super\\chftn}{\\footnote{\\super\\chftn} Note}{\\field{\\*\\fldinst "
                   "HYPERLINK \"http://x/\"}{\\fldrslt link}}\\par\\sect\\sectd\\lndscpsxn"
                   "\\trowd\\clvmgf\\cellx1000\\cellx2000\\pard\\intbl a\\cell"
                   "\\pard\\intbl\\itap2 n\\nestcell{\\*\\nesttableprops\\trowd\\cellx500"
                   "\\nestrow}\\pard\\intbl b\\cell\\row\\trowd\\clvmrg\\cellx1000"
                   "\\cellx2000\\pard\\intbl\\cell c\\cell\\row ";
        if (k == 21)
            rtf += "{\\pict\\pngblip\\picw6\\pich4 " + png(Qt::blue).toHex().toStdString() + "}";
    }
    rtf += "\\pard \\u1046?\\u1047? last}";
    return rtf;
}

struct Read {
    QStringList dump;
    std::string saved;
    unsigned omitted = 0;
};

Read readInParts(const std::string& bytes, long part)
{
    QTextDocument doc;
    RtfReader reader(bytes, doc);
    int steps = 0;
    while (!reader.ReadSome(part)) {
        ++steps;
        EXPECT_FALSE(reader.AtEnd());
        if (steps > 1000000)
            break;
    }
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_TRUE(reader.ReadSome(part));  // nothing more to read
    return {dump(doc), WriteRtf(doc), reader.Info().omitted};
}

}  // namespace

TEST(RtfReaderParts, AnyPartSizeMakesTheDocumentOfOneRead)
{
    const std::vector<std::pair<const char*, std::string>> files = {
        {"mixed", mixed()},
        {"report.rtf", DataFile("report.rtf")},
        {"word.rtf", DataFile("word.rtf")},
        {"wordpad.rtf", DataFile("wordpad.rtf")},
        {"libreoffice.rtf", DataFile("libreoffice.rtf")},
        {"damaged", "{\\rtf1 {\\b one\\par two\\trowd\\cellx100 \\intbl x\\cell"},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        QTextDocument whole;
        RtfLoadInfo info;
        ASSERT_TRUE(ReadRtf(bytes, whole, &info));
        const QStringList expected = dump(whole);
        const std::string saved = WriteRtf(whole);
        for (long part : {1L, 2L, 7L, 100L, LONG_MAX}) {
            SCOPED_TRACE(part);
            const Read read = readInParts(bytes, part);
            EXPECT_EQ(read.dump, expected);
            EXPECT_EQ(read.saved, saved);
            EXPECT_EQ(read.omitted, info.omitted);
        }
    }
}

TEST(RtfReaderParts, EachPartIsCompleteInItself)
{
    const std::string bytes = mixed();
    QTextDocument doc;
    doc.setUndoRedoEnabled(true);
    RtfReader reader(bytes, doc);
    EXPECT_FALSE(doc.isUndoRedoEnabled());
    EXPECT_FALSE(reader.ReadSome(3));
    // The paragraphs read so far, nothing of the ones after.
    EXPECT_EQ(TopTexts(doc).front(), U("Абзац 0"));
    EXPECT_FALSE(doc.toPlainText().contains(U("Абзац 3")));
    // The page and tab width as read so far, then as read later.
    EXPECT_FALSE(rtf::DocumentPage(doc).has_value());
    EXPECT_EQ(doc.defaultTextOption().tabStopDistance(), 720 / 15.0);
    EXPECT_FALSE(reader.ReadSome(3));
    ASSERT_TRUE(rtf::DocumentPage(doc).has_value());
    EXPECT_EQ(rtf::DocumentPage(doc)->paperWidth, 16838);
    EXPECT_TRUE(rtf::DocumentPage(doc)->landscape);
    EXPECT_EQ(doc.defaultTextOption().tabStopDistance(), 567 / 15.0);
    // What was left out so far: the comment comes after paragraph 17.
    EXPECT_EQ(reader.Info().omitted, 0u);
    while (!reader.ReadSome(5)) {
    }
    EXPECT_EQ(reader.Info().omitted, unsigned(kRtfOmittedAnnotations));
    // The last paragraph, then the note's text.
    const auto texts = TopTexts(doc);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[texts.size() - 3], U("ЖЗ last"));
    EXPECT_EQ(texts.back(), U("1 Note"));
}

TEST(RtfReaderParts, ReaderLeftHalfwayLeavesAUsableDocument)
{
    const std::string bytes = mixed();
    QTextDocument doc;
    doc.setUndoRedoEnabled(true);
    {
        RtfReader reader(bytes, doc);
        reader.ReadSome(12);
    }
    // The undo setting is the document's own again, and a new read starts from nothing.
    EXPECT_TRUE(doc.isUndoRedoEnabled());
    EXPECT_TRUE(ReadRtf("{\\rtf1 new\\par}", doc));
    EXPECT_EQ(TopTexts(doc), (std::vector<QString>{U("new")}));
    EXPECT_FALSE(rtf::DocumentPage(doc).has_value());
}
