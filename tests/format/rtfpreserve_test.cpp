// What a loaded RTF document keeps through our writer: self-contained runs, the page, the
// tables' cell gap, the font table's families, pictures, footnote marks and shading; and what
// a load reports as left out. Each is checked load → save → load.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>
#include <QUrl>

#include "emfbuilder.h"
#include "format/rtfdocument.h"
#include "format/rtfreader.h"
#include "format/rtfwriter.h"
#include "rtftest.h"
#include "wmfbuild.h"

using namespace orm;
using namespace orm::test;

namespace {

std::string hex(const QByteArray& bytes)
{
    return bytes.toHex().toStdString();
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

QImage filled(int w, int h, const QColor& color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

struct Shown {
    QTextImageFormat format;
    QImage image;
    QByteArray data;
};

// The pictures of a document in order: format, the image shown and the bytes kept.
std::vector<Shown> pictures(const QTextDocument& doc)
{
    std::vector<Shown> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat())
                continue;
            const QTextImageFormat image = f.toImageFormat();
            const QUrl name(image.name());
            out.push_back({image, doc.resource(QTextDocument::ImageResource, name).value<QImage>(),
                           doc.resource(rtf::kPictureDataResource,
                                        rtf::PictureDataUrl(image.name()))
                               .toByteArray()});
        }
    }
    return out;
}

// A colour like another, give or take the smoothing of a scaled picture.
bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

// A 4 × 2 bitmap of one colour, as \dibitmap holds it.
QByteArray bmpDib()
{
    QByteArray row;
    for (int x = 0; x < 4; ++x)
        row.append(char(250)).append(char(20)).append(char(10));
    return WmfBuild::Dib(4, 2, 24, {}, {row, row});
}

QColor centre(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

// A word processor must not carry a superscript (or any run's formatting) past its run: every
// run is a group of its own.
TEST(RtfPreserve, RunsAreSelfContainedGroups)
{
    const auto first = ReadDocument(
        "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}}"
        "\\pard\\plain\\f0\\fs24 x\\super 2\\nosupersub , H\\sub 2\\nosupersub O.\\b  "
        "\\'c6\\par\\pard Next\\par}");
    const std::string rtf = WriteRtf(*first);
    EXPECT_NE(rtf.find("{\\plain\\f1\\fs24 x}{\\plain\\f1\\fs24\\super 2}"
                       "{\\plain\\f1\\fs24 , H}{\\plain\\f1\\fs24\\sub 2}{\\plain\\f1\\fs24 O.}"
                       "{\\plain\\f1\\fs24\\b  \\'c6}\\par"),
              std::string::npos)
        << rtf;
    const auto second = ReadDocument(rtf);
    EXPECT_EQ(TopTexts(*second), (std::vector<QString>{U("x2, H2O. Ж"), U("Next")}));
    EXPECT_EQ(FormatOf(*second, U("x")).verticalAlignment(), QTextCharFormat::AlignNormal);
    EXPECT_EQ(FormatOf(*second, U(", H")).verticalAlignment(), QTextCharFormat::AlignNormal);
    EXPECT_EQ(FormatOf(*second, U("Ж")).fontWeight(), QFont::Bold);
    EXPECT_EQ(WriteRtf(*second), rtf);
}

TEST(RtfPreserve, PageSizeMarginsAndOrientationRoundTrip)
{
    const auto doc = ReadDocument(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\paperw16838\\paperh11906\\margl1134\\margr567"
        "\\margt850\\margb1417\\landscape\\pard A\\par}");
    const rtf::Page landscapeA4{16838, 11906, 1134, 567, 850, 1417, true};
    ASSERT_EQ(rtf::DocumentPage(*doc), landscapeA4);
    const std::string rtf = WriteRtf(*doc);
    EXPECT_NE(rtf.find("\\paperw16838\\paperh11906\\margl1134\\margr567\\margt850\\margb1417"
                       "\\landscape"),
              std::string::npos);
    EXPECT_EQ(rtf::DocumentPage(*ReadDocument(rtf)), landscapeA4);
    // A copy (the viewer saves and prints copies) keeps it too.
    EXPECT_EQ(rtf::DocumentPage(*std::unique_ptr<QTextDocument>(doc->clone())), landscapeA4);

    // The first section's own page wins over the document's; RTF's defaults fill the rest.
    const auto section = ReadDocument(
        "{\\rtf1\\ansi\\paperw12240\\sectd\\pgwsxn11906\\pghsxn16838\\marglsxn1701 A\\sect"
        "\\sectd\\pgwsxn5000 B\\par}");
    EXPECT_EQ(rtf::DocumentPage(*section), (rtf::Page{11906, 16838, 1701, 1800, 1440, 1440}));

    // A document that names no page (our reports) is written without one, and reading into a
    // document that had one leaves none.
    const std::string plain = "{\\rtf1\\ansi\\pard A\\par}";
    EXPECT_EQ(WriteRtf(*ReadDocument(plain)).find("\\paperw"), std::string::npos);
    ASSERT_TRUE(ReadRtf(plain, *doc));
    EXPECT_FALSE(rtf::DocumentPage(*doc).has_value());
}

TEST(RtfPreserve, TableGapPaddingAndPageWidthKept)
{
    const auto first = ReadDocument(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\paperw11906\\margl1000\\margr906"
        "\\trowd\\trgaph55\\trpaddl40\\trpaddfl3\\trpaddr70\\trpaddfr3\\cellx3000\\cellx6000"
        "\\pard\\intbl A\\cell B\\cell\\row\\pard\\par"
        "\\trowd\\cellx2000\\pard\\intbl C\\cell\\row\\pard End\\par}");
    const std::string rtf = WriteRtf(*first);
    EXPECT_NE(rtf.find("\\trowd\\trgaph55\\trleft0\\trpaddl40\\trpaddfl3\\trpaddr70\\trpaddfr3"),
              std::string::npos)
        << rtf;
    // A table without a gap of its own has none, not Word's usual 108.
    EXPECT_NE(rtf.find("\\trowd\\trgaph0\\trleft0\\clbrdrt"), std::string::npos);
    const auto second = ReadDocument(rtf);
    const auto tables = Tables(*second);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0]->format().intProperty(rtf::kCellGap), 55);
    EXPECT_EQ(tables[0]->format().intProperty(rtf::kCellPadRight), 70);
    EXPECT_EQ(CellText(tables[0], 0, 1), U("B"));
    // The empty paragraph between the tables stays one, so they do not run together.
    EXPECT_EQ(TopTexts(*second), TopTexts(*first));
    EXPECT_EQ(WriteRtf(*second), rtf);
}

TEST(RtfPreserve, FontTableFamiliesKept)
{
    const auto first = ReadDocument(
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman;}"
        "{\\f1\\fmodern Courier New;}{\\f2 Mystery;}{\\f3\\fswiss Arial;}{\\f4\\fnil Calibri;}"
        "{\\f5\\fdecor Fancy;}}"
        "\\pard\\f0 a\\f1 b\\f2 c\\f3 d\\f4 e\\f5 f\\par}");
    const std::string rtf = WriteRtf(*first);
    for (const char* entry : {"\\froman\\fcharset204 Times New Roman;", "\\fmodern\\fcharset204 "
                              "Courier New;", "\\fnil\\fcharset204 Mystery;",
                              "\\fswiss\\fcharset204 Arial;", "\\fnil\\fcharset204 Calibri;",
                              "\\fdecor\\fcharset204 Fancy;"})
        EXPECT_NE(rtf.find(entry), std::string::npos) << entry << "\n" << rtf;
    EXPECT_EQ(WriteRtf(*ReadDocument(rtf)), rtf);

    // A name the font's code page lacks is written with \uN and read back whole, however it
    // came in.
    for (const char* table : {"{\\f0\\fnil\\fcharset0 Caf\\'e9;}",
                              "{\\f0\\fnil Caf\\u233?;}", "{\\f0\\fnil\\uc0 C\\u97 f\\u233;}"}) {
        const auto doc = ReadDocument(std::string("{\\rtf1\\ansi{\\fonttbl") + table +
                                      "}\\pard\\f0 x\\par}");
        EXPECT_EQ(FirstFamily(FormatOf(*doc, U("x"))), U("Café")) << table;
        const auto again = ReadDocument(WriteRtf(*doc));
        EXPECT_EQ(FirstFamily(FormatOf(*again, U("x"))), U("Café")) << table;
    }
}

// Pictures of each kind are shown (metafiles drawn by our players) and written back byte for
// byte; of a picture given twice for old and new readers, the new one is taken.
TEST(RtfPreserve, PicturesOfEachKindShownAndWrittenBack)
{
    const QByteArray png = encoded(filled(40, 20, QColor(200, 0, 0)), "PNG");
    const QByteArray jpeg = encoded(filled(30, 30, QColor(0, 0, 200)), "JPEG");
    WmfBuild wmf;
    wmf.WindowExt(100, 50).Pen(5, 0, 0).Select(0).Brush(0, Rgb(0, 160, 0)).Select(1);
    wmf.Rectangle(0, 0, 100, 50);
    EmfBuilder emf(60, 30);
    emf.createBrush(1, 0, EmfBuilder::rgb(200, 200, 0)).select(1).selectStock(8);
    emf.rectangle(0, 0, 60, 30);
    const QByteArray bmp = bmpDib();
    const QByteArray emfBytes = emf.finish();
    const QByteArray wmfBytes = wmf.Plain();

    const std::string rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard A"
        "{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}\\pngblip\\picw40\\pich20"
        "\\picwgoal1500\\pichgoal750\r\n" + hex(png) + "}}"
        "{\\nonshppict{\\pict\\wmetafile8\\picw100\\pich50 " + hex(wmfBytes) + "}}"
        "B{\\pict\\jpegblip\\picw30\\pich30\\picscalex50\\picscaley200 " + hex(jpeg) + "}"
        "C{\\pict\\emfblip\\picw1588\\pich794\\picwgoal900\\pichgoal450 " + hex(emfBytes) + "}"
        "D{\\pict\\wmetafile8\\picw2646\\pich1323\\picwgoal1500\\pichgoal750 " + hex(wmfBytes) +
        "}"
        "E{\\pict\\dibitmap0\\picw4\\pich2\\picwgoal600\\pichgoal300\\bin" +
        std::to_string(bmp.size()) + " " + bmp.toStdString() + "}F\\par}";
    const auto first = ReadDocument(rtf);
    EXPECT_EQ(first->toPlainText(), U("A\uFFFCB\uFFFCC\uFFFCD\uFFFCE\uFFFCF"));
    const auto shown = pictures(*first);
    ASSERT_EQ(shown.size(), 5u);
    const QColor colours[] = {QColor(200, 0, 0), QColor(0, 0, 200), QColor(200, 200, 0),
                              QColor(0, 160, 0), QColor(10, 20, 250)};
    const QSizeF sizes[] = {{100, 50}, {15, 60}, {60, 30}, {100, 50}, {40, 20}};
    const QByteArray bytes[] = {png, jpeg, emfBytes, wmfBytes, bmp};
    for (size_t k = 0; k < shown.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(near(centre(shown[k].image), colours[k])) << centre(shown[k].image).name().toStdString();
        EXPECT_DOUBLE_EQ(shown[k].format.width(), sizes[k].width());
        EXPECT_DOUBLE_EQ(shown[k].format.height(), sizes[k].height());
        EXPECT_EQ(shown[k].data, bytes[k]);
    }

    const std::string written = WriteRtf(*first);
    EXPECT_NE(written.find("{\\pict\\pngblip\\picw40\\pich20\\picwgoal1500\\pichgoal750\r\n" +
                           hex(png).substr(0, 128) + "\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("{\\pict\\jpegblip\\picw30\\pich30\\picscalex50\\picscaley200"),
              std::string::npos);
    EXPECT_NE(written.find("{\\pict\\wmetafile8\\picw2646"), std::string::npos);
    EXPECT_NE(written.find("{\\pict\\dibitmap0\\picw4"), std::string::npos);
    const auto second = ReadDocument(written);
    EXPECT_EQ(second->toPlainText(), first->toPlainText());
    const auto again = pictures(*second);
    ASSERT_EQ(again.size(), shown.size());
    for (size_t k = 0; k < again.size(); ++k) {
        EXPECT_EQ(again[k].data, shown[k].data);
        EXPECT_EQ(again[k].format.width(), shown[k].format.width());
        EXPECT_EQ(again[k].format.height(), shown[k].format.height());
    }
    EXPECT_EQ(WriteRtf(*second), written);
    // Pictures are not text.
    EXPECT_EQ(WritePlainText(*second), "ABCDEF");
}

TEST(RtfPreserve, ShadingAndWhatTheLoadLeftOut)
{
    QTextDocument doc;
    RtfLoadInfo info;
    ASSERT_TRUE(ReadRtf(
        ToCp1251("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}"
                 "{\\colortbl;\\red255\\green255\\blue0;}"
                 "\\pard\\cbpat1 Абзац с заливкой\\par\\pard Без заливки\\par}"),
        doc, &info));
    EXPECT_EQ(TopTexts(doc), (std::vector<QString>{U("Абзац с заливкой"), U("Без заливки")}));
    EXPECT_EQ(info.omitted, 0u);
    EXPECT_EQ(doc.begin().blockFormat().background().color(), QColor(255, 255, 0));
    EXPECT_EQ(doc.begin().next().blockFormat().background().style(), Qt::NoBrush);
    const auto again = ReadDocument(WriteRtf(doc));
    EXPECT_EQ(again->begin().blockFormat().background().color(), QColor(255, 255, 0));
    EXPECT_EQ(again->begin().next().blockFormat().background().style(), Qt::NoBrush);

    struct Case {
        const char* body;
        unsigned omitted;
    };
    const Case cases[] = {
        // Kept: nothing to report.
        {"{\\header Head\\par}{\\footerf Foot\\par}A{\\footnote Note}", 0},
        // A shape that is no picture, without a result to show in its place.
        {"A{\\shp{\\*\\shpinst\\shpleft0\\shpright100{\\sp{\\sn shapeType}{\\sv 1}}}}",
         kRtfOmittedDrawings},
        {"A{\\*\\atnid x}\\chatn{\\*\\annotation Note}", kRtfOmittedAnnotations},
        {"{\\*\\do\\dobxcolumn\\dprect}A{\\pict\\macpict 0102}", kRtfOmittedDrawings},
        {"A{\\pict\\pngblip 89504e47}", kRtfOmittedDrawings},  // damaged
        // Skipped for being no part of the text: nothing to report.
        {"{\\info{\\title T}}{\\stylesheet{\\s0 N;}}{\\*\\generator G;}A"
         "{\\nonshppict{\\pict\\wmetafile8 0102}}{\\field{\\*\\fldinst X}{\\fldrslt A}}",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        RtfLoadInfo seen;
        ASSERT_TRUE(ReadRtf(std::string("{\\rtf1\\ansi ") + c.body + "\\par}", doc, &seen));
        EXPECT_EQ(seen.omitted, c.omitted);
    }
}
