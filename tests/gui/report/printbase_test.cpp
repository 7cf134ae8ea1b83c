// The printed page base: units, font properties, alignment and the page order of a print run,
// printed to PDF and read back with poppler's tools.

#include <gtest/gtest.h>

#include <QFile>
#include <QFontInfo>

#include "support/pdftools.h"
#include "support/tempdir.h"

using namespace orm;
using namespace orm::test;

namespace {

class CountingBuilds : public TPrintReportObj {
public:
    using TPrintReportObj::TPrintReportObj;
    int builds = 0;
    int builtAngle = -1;

protected:
    void BuildFont() override
    {
        ++builds;
        builtAngle = Escapement();
        TPrintReportObj::BuildFont();
    }
};

// pageCount pages, each with its number written on it; notes the order they were drawn in.
class NumberedPages : public TPrintReportObj {
public:
    using TPrintReportObj::TPrintReportObj;
    int pageCount = 3;
    int prepares = 0;
    std::vector<int> drawn;
    int printerCopies = 0;

    void Prepare() override
    {
        ++prepares;
        SetProperty(7, pageCount);
    }
    void DrawPage() override
    {
        drawn.push_back(CurrentPage());
        printerCopies = std::max(printerCopies, Printer().copyCount());
        TextOut(100, 100, QStringLiteral("page%1").arg(CurrentPage()));
    }
};

}  // namespace

TEST(PrintBase, ConvertsUnitsWithTheDeviceResolution)
{
    QPrinter printer(QPrinter::HighResolution);
    TPrintReportObj doc(&printer);
    doc.SetDeviceMetrics({2480, 210, 3508, 297});  // A4 at 300 pixels per inch
    EXPECT_EQ(doc.ConvertUnits(200, 0), 236);
    EXPECT_EQ(doc.ConvertUnits(236, 2), 200);
    EXPECT_EQ(doc.ConvertUnits(3508, 3), 2970);
    EXPECT_EQ(doc.ConvertUnits(200, 4), 1);
    EXPECT_EQ(doc.ConvertUnits(1000000000, 0), 1180952381);  // no 32-bit overflow
    doc.SetDeviceMetrics({3, 2, 3, 2});                        // 10 x 3 / 20 = 1.5
    EXPECT_EQ(doc.ConvertUnits(10, 0), 2);
    EXPECT_EQ(doc.ConvertUnits(-10, 1), -2);
    doc.SetDeviceMetrics({});  // a printer without a size divides by nothing
    EXPECT_EQ(doc.ConvertUnits(200, 0), 0);

    // The metrics are the printable area of the page layout.
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 20, 10, 20), QPageLayout::Millimeter);
    doc.ReadDeviceMetrics();
    EXPECT_EQ(doc.GetProperty(6), 1900);
    EXPECT_EQ(doc.GetProperty(5), 2570);
}

TEST(PrintBase, FontIsRebuiltOnlyWhenAPropertyChanges)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    CountingBuilds doc(&printer);
    // "Arial Cyr" is Arial for Cyrillic text; Arial's metric twin stands in for it.
    EXPECT_EQ(QFontInfo(doc.Font()).family(), QStringLiteral("Liberation Sans"));
    doc.SetProperty(2, 12);
    EXPECT_EQ(doc.GetProperty(4), 42);  // 12 x 254 / 72 = 42.3 tenths of a millimetre
    EXPECT_EQ(doc.GetProperty(2), 12);
    EXPECT_NEAR(doc.TextHeight(QStringLiteral("X")), 42, 1);  // the font's cell height

    doc.builds = 0;
    doc.SetProperty(2, 12);
    doc.SetProperty(3, 0);
    doc.SetFontName(QStringLiteral("Arial Cyr"));
    doc.SetProperty(1, 5);
    EXPECT_EQ(doc.builds, 0);
    doc.SetProperty(3, 10);
    doc.SetProperty(3, 0);
    EXPECT_EQ(doc.builds, 2);
    EXPECT_EQ(doc.builtAngle, 0);
    doc.SetFontStyle(1 | 2);
    EXPECT_TRUE(doc.Font().bold() && doc.Font().italic() && !doc.Font().underline());
}

TEST(PrintBase, CopiesCollationAndRangeGiveThePageOrder)
{
    TempDir dir;
    struct Case {
        int pages, from, to, copies;
        bool collate;
        std::vector<int> order;
    };
    const Case cases[] = {
        {3, 0, 0, 2, true, {1, 2, 3, 1, 2, 3}},
        {3, 0, 0, 2, false, {1, 1, 2, 2, 3, 3}},
        {5, 2, 3, 1, false, {2, 3}},
        {5, 4, 9, 1, false, {4, 5}},  // a range beyond the last page ends there
    };
    for (const Case& c : cases) {
        const QString pdf = QString::fromStdString(dir.path(std::to_string(c.from) + ".pdf"));
        DialogChoice choice;
        choice.From = c.from, choice.To = c.to, choice.Copies = c.copies;
        choice.Collate = c.collate;
        DialogOffer offer;
        QPrinter printer(QPrinter::HighResolution);
        NumberedPages doc(&printer, ChoosePdf(pdf, choice, &offer));
        doc.pageCount = c.pages;
        ASSERT_TRUE(doc.Print());
        EXPECT_EQ(offer.MaxPage, c.pages);
        EXPECT_EQ(doc.prepares, 2);  // before the dialog and for the printer chosen in it
        EXPECT_EQ(doc.drawn, c.order);
        EXPECT_EQ(doc.printerCopies, 1);  // the printer adds no copies to the loop's
        const QStringList texts = PdfPageTexts(pdf);
        ASSERT_EQ(texts.size(), qsizetype(c.order.size()));
        for (size_t i = 0; i < c.order.size(); ++i)
            EXPECT_EQ(texts[i].trimmed(), QStringLiteral("page%1").arg(c.order[i]));
    }
}

TEST(PrintBase, CancelOrNoPagePrintsNothing)
{
    TempDir dir;
    const QString pdf = QString::fromStdString(dir.path("none.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    DialogChoice cancel;
    cancel.Accept = false;
    NumberedPages cancelled(&printer, ChoosePdf(pdf, cancel));
    EXPECT_FALSE(cancelled.Print());
    NumberedPages empty(&printer, ChoosePdf(pdf, DialogChoice()));
    empty.pageCount = 0;
    EXPECT_FALSE(empty.Print());  // and makes no job that would feed a blank sheet
    EXPECT_TRUE(cancelled.drawn.empty() && empty.drawn.empty());
    EXPECT_FALSE(QFile::exists(pdf));
}

namespace {

// A word with every alignment code at its own reference point, a turned word, a clipped line.
class Words : public TPrintReportObj {
public:
    using TPrintReportObj::TPrintReportObj;
    static int X(int code) { return 300 + (code % 3) * 500; }
    static int Y(int code) { return 300 + (code / 3) * 300; }
    void Prepare() override { LeftMargin = 100; }
    void DrawPage() override
    {
        SetProperty(4, 50);
        for (int code = 0; code <= 9; ++code) {
            SetAlign(code);
            TextOut(X(code), Y(code), QStringLiteral("Ab%1").arg(code));
        }
        SetProperty(3, 90);
        TextOut(300, 1500, QStringLiteral("Upwards"));
        SetProperty(3, 0);
        TextRect(0, 1600, 200, 1700, 0, 1600, QString(20, QChar(u'Ж')));
    }
};

}  // namespace

TEST(PrintBase, TextMeetsItsReferencePointAlignedTurnedAndClipped)
{
    TempDir dir;
    const QString pdf = QString::fromStdString(dir.path("words.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    Words doc(&printer, ChoosePdf(pdf, {.Paper = QPageSize(QPageSize::A4)}));
    ASSERT_TRUE(doc.Print());
    std::map<QString, PdfWord> words;
    const auto pages = PdfWords(pdf);
    ASSERT_EQ(pages.size(), 1u);
    for (const PdfWord& w : pages[0])
        words.emplace(w.Text, w);
    const double tol = Points(8);  // the font cell is 5 mm high
    for (int code = 0; code <= 9; ++code) {
        SCOPED_TRACE(code);
        const int c = code % 9;  // an unknown code is top-left
        ASSERT_TRUE(words.count(QStringLiteral("Ab%1").arg(code)));
        const PdfWord& w = words.at(QStringLiteral("Ab%1").arg(code));
        const double x = Points(Words::X(code) + 100), y = Points(Words::Y(code));
        const double xs[] = {w.XMin, w.CenterX(), w.XMax};
        const double baseline = w.YMax - (w.YMax - w.YMin) * 0.2;  // above the descent
        const double ys[] = {w.YMin, baseline, w.YMax};
        EXPECT_NEAR(xs[c % 3], x, tol);
        EXPECT_NEAR(ys[c / 3], y, tol);
    }
    // Counter-clockwise: the word rises from its reference point and lies right of it.
    const PdfWord& up = words.at(QStringLiteral("Upwards"));
    EXPECT_GT(up.YMax - up.YMin, 3 * (up.XMax - up.XMin));
    EXPECT_NEAR(up.YMax, Points(1500), tol);
    EXPECT_NEAR(up.XMin, Points(400), tol);

    // The clipped line's ink ends at the clip's right side, 30 mm from the paper's edge.
    const QImage page = PdfPageImage(pdf, 1, 100, QString::fromStdString(dir.path("words")));
    const double perTenth = 100 / 254.0;
    int rightmostInk = -1;
    for (int y = int(1610 * perTenth); y < int(1690 * perTenth); ++y)
        for (int x = 0; x < int(900 * perTenth); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                rightmostInk = std::max(rightmostInk, x);
    EXPECT_GT(rightmostInk, int(250 * perTenth));
    EXPECT_LE(rightmostInk, int(300 * perTenth) + 1);
}
