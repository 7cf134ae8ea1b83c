// Printing a projection: the sheets, their order and codes, the labels, marks and lines on each,
// read back from the PDF with poppler's tools.

#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <map>
#include <set>

#include "core/model/metamodel.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "format/textcodec.h"
#include "gui/projection/projectionprint.h"
#include "support/fakeprompts.h"
#include "support/pdftools.h"
#include "support/tempdir.h"

using namespace orm;
using namespace orm::test;

namespace {

const FontSpec kFont{"Arial Cyr", 10};
using Cells = std::set<std::pair<int, int>>;  // (row, column)

class ProjectionPrint : public ::testing::Test {
protected:
    // tops × (1 + children) items in classifiers 1 and 4, all named with Cyrillic words so
    // that a name printed instead of a number would show.
    void build(int topsA, int childrenA, int topsB, int childrenB)
    {
        auto fill = [](TTreeList* tree, int tops, int children, std::string_view word) {
            for (int i = 0; i < tops; ++i) {
                TTreeList* top = tree->AddChild(ToCp1251(word));
                for (int j = 0; j < children; ++j)
                    top->AddChild(ToCp1251(word));
            }
        };
        fill(project.TreeByIndex(1), topsA, childrenA, "Направление");
        fill(project.TreeByIndex(4), topsB, childrenB, "Отдел");
        project.FillItemList(1, columns, prompts);
        project.FillItemList(4, rows, prompts);
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < columns.size(); ++c)
                if ((r * 5 + c * 3) % 7 == 0) {
                    rows[r].Item->Link(columns[c].Item);
                    bound.insert({int(r), int(c)});
                }
    }

    // The layout for the printer as it is set now.
    std::unique_ptr<TPrGrd> layout()
    {
        auto g = std::make_unique<TPrGrd>(kFont, &printer);
        g->RowLabels = rows;
        g->ColumnLabels = columns;
        g->Prepare();
        return g;
    }

    // A paper of whole millimetres that holds exactly cols × rowCount cells a sheet.
    QPageSize paperFor(int cols, int rowCount)
    {
        const auto g = layout();
        const int c = g->CellSize();
        return Paper((400 + g->LabelColumnWidth() + cols * c + 9) / 10,
                     (2 * (c + 100) + g->LabelBandHeight() + rowCount * c + 9) / 10);
    }

    bool print(const DialogChoice& choice, DialogOffer* offer = nullptr, FontSpec font = kFont)
    {
        return PrintProjection(1, title, project, font, prompts, nullptr, &printer,
                               ChoosePdf(pdf, choice, offer));
    }

    TempDir dir;
    QString pdf = QString::fromStdString(dir.path("projection.pdf"));
    QPrinter printer{QPrinter::HighResolution};
    TMainTreeList project;
    FakePrompts prompts;
    QString title = FromCp1251(Metamodel().DisplayName(1, ResKind::Projection));
    ItemList rows, columns;
    Cells bound;
};

// One sheet as its words' places say: title above the table, code and number below it, row
// labels in the label column, column labels in the band, marks in the cells.
struct Sheet {
    QString title, code, number;
    std::vector<QString> rowLabels, columnLabels;
    Cells marks;
};

Sheet ReadSheet(const std::vector<PdfWord>& words, const TPrGrd& g, int firstRow, int firstCol)
{
    Sheet s;
    const double left = Points(g.LeftMargin + g.LabelColumnWidth());
    const double top = Points(g.TopMargin + g.LabelBandHeight());
    const double c = Points(g.CellSize());
    const double leftSide = Points(g.LeftMargin), rightSide = Points(g.GetProperty(6)) - leftSide;
    std::map<double, QString> rowsByY, colsByX;
    for (const PdfWord& w : words) {
        if (w.YMin >= Points(g.GetProperty(5) - g.TopMargin) - 1) {
            // The code starts at the left margin, the number ends at the right one.
            if (std::abs(w.XMin - leftSide) < 1)
                s.code = w.Text;
            else if (std::abs(w.XMax - rightSide) < 1)
                s.number = w.Text;
        } else if (w.YMax <= Points(g.TopMargin)) {
            s.title += (s.title.isEmpty() ? "" : " ") + w.Text;
        } else if (w.Text == QStringLiteral("X")) {
            s.marks.insert({firstRow + int(std::floor((w.CenterY() - top) / c)),
                            firstCol + int(std::floor((w.CenterX() - left) / c))});
        } else {
            (w.CenterY() < top ? colsByX[w.XMin] : rowsByY[w.YMin]) = w.Text;
        }
    }
    for (const auto& [y, text] : rowsByY)
        s.rowLabels.push_back(text);
    for (const auto& [x, text] : colsByX)
        s.columnLabels.push_back(text);
    return s;
}

std::vector<QString> Labels(const ItemList& list, int first, int count)
{
    std::vector<QString> out;
    for (int i = first; i < first + count; ++i)
        out.push_back(FromCp1251(list[i].Text));
    return out;
}

}  // namespace

TEST_F(ProjectionPrint, SheetsRunAcrossThenDownEachWithItsLabelsMarksLinesAndCode)
{
    build(5, 4, 4, 2);  // 25 columns, 12 rows
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const int pagesOnA4 = layout()->GetProperty(7);
    DialogOffer offer;
    ASSERT_TRUE(print({.Paper = paperFor(10, 8)}, &offer));
    // The dialog offered the pages of the paper it started with; the job has the chosen one's.
    EXPECT_EQ(offer.MaxPage, pagesOnA4);
    ASSERT_EQ(PdfPageCount(pdf), 6);
    const auto g = layout();
    ASSERT_EQ(g->ColsPerPage(), 10);
    ASSERT_EQ(g->RowsPerPage(), 8);

    const auto pages = PdfWords(pdf);
    const QStringList texts = PdfPageTexts(pdf);
    ASSERT_EQ(texts.size(), 6);
    const int dpi = 150;
    auto px = [&](int tenths) { return int(std::lround(tenths * dpi / 254.0)); };
    const int c = g->CellSize(), wb = g->LeftMargin + g->LabelColumnWidth();
    const int hb = g->TopMargin + g->LabelBandHeight();
    Cells marked;
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const int rp = (n - 1) / 3 + 1, cp = (n - 1) % 3 + 1;
        const int row0 = (rp - 1) * 8, col0 = (cp - 1) * 10;
        const int nr = rp == 2 ? 4 : 8, nc = cp == 3 ? 5 : 10;
        const Sheet s = ReadSheet(pages[n - 1], *g, row0, col0);
        EXPECT_EQ(s.title, title);
        EXPECT_EQ(s.code, QStringLiteral("%1.%2").arg(rp).arg(cp));
        EXPECT_EQ(s.number, QString::number(n));
        EXPECT_EQ(s.rowLabels, Labels(rows, row0, nr));
        EXPECT_EQ(s.columnLabels, Labels(columns, col0, nc));
        Cells expected;
        for (const auto& [r, k] : bound)
            if (r >= row0 && r < row0 + nr && k >= col0 && k < col0 + nc)
                expected.insert({r, k});
        EXPECT_EQ(s.marks, expected);
        EXPECT_EQ(texts[n - 1].count(QChar(u'X')), qsizetype(expected.size()));
        EXPECT_FALSE(texts[n - 1].contains(QStringLiteral("Отдел")));
        marked.insert(s.marks.begin(), s.marks.end());

        // Thick (0.5 mm, 3 pixels) frame sides and separator, thin (0.1 mm) lines between
        // cells, nothing beyond this sheet's last column and row.
        const QImage img = PdfPageImage(pdf, n, dpi, QString::fromStdString(dir.path("sheet")));
        auto inkAcross = [&](int x0, int y0, int dx, int dy, int span) {
            int ink = 0;
            for (int i = -span; i <= span; ++i)
                ink += qGray(img.pixel(x0 + i * dx, y0 + i * dy)) < 160;
            return ink;
        };
        const int midRow = px(hb + c / 2), midCol = px(wb + c / 2);
        EXPECT_GE(inkAcross(px(g->LeftMargin), midRow, 1, 0, 3), 2);
        EXPECT_GE(inkAcross(px(wb), midRow, 1, 0, 3), 2);
        EXPECT_GE(inkAcross(px(wb + nc * c), midRow, 1, 0, 3), 2);
        EXPECT_LE(inkAcross(px(wb + c), midRow, 1, 0, 2), 1);
        EXPECT_GE(inkAcross(midCol, px(hb), 0, 1, 3), 2);
        EXPECT_GE(inkAcross(midCol, px(hb + nr * c), 0, 1, 3), 2);
        EXPECT_EQ(inkAcross(px(wb + nc * c) + 12, midRow, 1, 0, 6), 0);
        EXPECT_EQ(inkAcross(midCol, px(hb + nr * c) + 12, 0, 1, 6), 0);
    }
    EXPECT_EQ(marked, bound);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProjectionPrint, ATableThatFitsIsSheetOneDotOneAndARangePrintsOnlyItsSheet)
{
    build(2, 1, 1, 1);
    ASSERT_TRUE(print({.Paper = QPageSize(QPageSize::A4)}));
    ASSERT_EQ(PdfPageCount(pdf), 1);
    Sheet s = ReadSheet(PdfWords(pdf).at(0), *layout(), 0, 0);
    EXPECT_EQ(s.code + " " + s.number, QStringLiteral("1.1 1"));
    EXPECT_EQ(s.columnLabels, Labels(columns, 0, 4));
    EXPECT_EQ(s.marks, bound);

    bound.clear(), rows.clear(), columns.clear();
    project.Reset();
    build(5, 4, 4, 2);
    ASSERT_TRUE(print({.From = 2, .To = 2, .Paper = paperFor(10, 8)}));
    ASSERT_EQ(PdfPageCount(pdf), 1);
    s = ReadSheet(PdfWords(pdf).at(0), *layout(), 0, 10);
    EXPECT_EQ(s.code + " " + s.number, QStringLiteral("1.2 2"));
    EXPECT_EQ(s.columnLabels, Labels(columns, 10, 10));
    EXPECT_EQ(s.rowLabels, Labels(rows, 0, 8));
}

TEST_F(ProjectionPrint, NothingPrintsWhenNotOneColumnFitsOrAClassifierIsEmpty)
{
    build(2, 0, 2, 0);
    DialogOffer offer;
    EXPECT_FALSE(print(DialogChoice(), &offer, FontSpec{"Arial Cyr", 400}));
    EXPECT_EQ(offer.MaxPage, 0);

    // Projection 2 binds classifier 2, which has no items: said once, no dialog.
    EXPECT_FALSE(PrintProjection(2, title, project, kFont, prompts, nullptr, &printer,
                                 ChoosePdf(pdf, DialogChoice(), &offer)));
    EXPECT_EQ(offer.Shown, 1);
    EXPECT_EQ(prompts.informs(), std::vector<std::string>{"Не заданы " +
                                 ToUtf8(Metamodel().DisplayName(2, ResKind::Classifier)) + "!"});
    EXPECT_FALSE(QFile::exists(pdf));
}
