#include "gui/projection/projectionprint.h"

#include <algorithm>

#include "core/model/metamodel.h"
#include "core/prompts/prompts.h"
#include "format/textcodec.h"

namespace orm {

namespace {

// How many sheets n entries need at perSheet a sheet; none when not one fits.
int SheetsFor(int n, int perSheet)
{
    if (perSheet <= 0)
        return 0;
    return n / perSheet + (n % perSheet != 0 ? 1 : 0);
}

}  // namespace

TPrGrd::TPrGrd(const FontSpec& font, QPrinter* printer, DialogRunner runDialog,
               QWidget* dialogParent)
    : TPrintReportObj(printer, std::move(runDialog), dialogParent),
      m_fontFace(FromCp1251(font.Face)),
      m_fontSize(font.Size)
{
}

void TPrGrd::applyFont()
{
    SetFontName(m_fontFace);
    SetFontStyle(0);
    SetProperty(2, m_fontSize);
    SetProperty(3, 0);
}

bool TPrGrd::IsBound(int row, int column) const
{
    return RowLabels[row].Item->ToggleLink(ColumnLabels[column].Item, false);
}

void TPrGrd::Prepare()
{
    applyFont();
    const int p = m_cellMargin;
    int wb = 0;
    for (const ItemListEntry& e : RowLabels)
        wb = std::max(wb, TextWidth(FromCp1251(e.Text)));
    int hb = 0;
    for (const ItemListEntry& e : ColumnLabels)
        hb = std::max(hb, TextWidth(FromCp1251(e.Text)));
    m_cellSize = TextHeight(QStringLiteral("X")) + p;
    m_labelBandHeight = hb + p;
    m_labelColumnWidth = wb + p;
    const int c = m_cellSize;
    TopMargin = c + 100;
    LeftMargin = 200;

    const int w = GetProperty(6);
    const int h = GetProperty(5);
    m_colsPerPage = (w - 2 * LeftMargin - m_labelColumnWidth) / c;
    m_rowsPerPage = (h - 2 * TopMargin - m_labelBandHeight) / c;
    m_colPages = SheetsFor(static_cast<int>(ColumnLabels.size()), m_colsPerPage);
    m_rowPages = SheetsFor(static_cast<int>(RowLabels.size()), m_rowsPerPage);
    SetProperty(7, m_colPages * m_rowPages);
}

void TPrGrd::DrawPage()
{
    if (m_colsPerPage <= 0 || m_rowsPerPage <= 0)
        return;
    const int n = CurrentPage();
    const int cp = (n - 1) % m_colPages + 1;
    const int rp = SheetsFor(n, m_colPages);
    const int nA = static_cast<int>(ColumnLabels.size());
    const int nB = static_cast<int>(RowLabels.size());
    const int nc = cp == m_colPages ? nA - (cp - 1) * m_colsPerPage : m_colsPerPage;
    const int nr = rp == m_rowPages ? nB - (rp - 1) * m_rowsPerPage : m_rowsPerPage;
    const int p = m_cellMargin;
    const int c = m_cellSize;
    const int wb = m_labelColumnWidth;
    const int hb = m_labelBandHeight;
    const int w = GetProperty(6) - 2 * LeftMargin;  // between the side margins
    const int h = GetProperty(5) - 2 * TopMargin;   // between the top and bottom margins

    // Through an angle and back, so that the font is upright again after the previous sheet's
    // vertical labels whatever the angle was left at.
    applyFont();
    SetProperty(3, 10);
    SetProperty(3, 0);

    SetAlign(0);
    TextRect(0, -c - p, w, -p, 0, -c - p, JobTitle);
    SetAlign(2);
    TextRect(w / 2, h, w, h + c, w, h, QString::number(n));
    SetAlign(0);
    TextRect(0, h, w / 2, h + c, 0, h, QStringLiteral("%1.%2").arg(rp).arg(cp));

    const int right = wb + nc * c;
    const int bottom = hb + nr * c;
    SetProperty(1, 5);
    Rectangle(0, 0, right, bottom);
    Line(wb, 0, wb, bottom);
    Line(0, hb, right, hb);

    SetProperty(1, 1);
    for (int i = 1; i < nc; ++i)
        Line(wb + i * c, 0, wb + i * c, bottom);
    for (int j = 1; j < nr; ++j)
        Line(0, hb + j * c, right, hb + j * c);

    const QString mark = QStringLiteral("X");
    for (int r = 0; r < nr; ++r) {
        const int row = (rp - 1) * m_rowsPerPage + r;
        const int y = hb + r * c + p / 2;
        TextOut(p / 2, y, FromCp1251(RowLabels[row].Text));
        for (int col = 0; col < nc; ++col) {
            if (IsBound(row, (cp - 1) * m_colsPerPage + col))
                TextOut(wb + col * c + p / 2, y, mark);
        }
    }

    SetProperty(3, 90);
    for (int col = 0; col < nc; ++col) {
        const int column = (cp - 1) * m_colsPerPage + col;
        TextOut(wb + col * c + p / 2, hb - p / 2, FromCp1251(ColumnLabels[column].Text));
    }
}

bool PrintProjection(int p, const QString& title, TTreeList& project, const FontSpec& sharedFont,
                     Prompts& prompts, QWidget* parent, QPrinter* printer,
                     TPrintReportObj::DialogRunner runDialog)
{
    TPrGrd grid(sharedFont, printer, std::move(runDialog), parent);
    const auto [a, b] = TStructRes::ProjectionPair(p);
    // Without the items of both classifiers there is no table; the message has been shown.
    if (!project.FillItemList(b, grid.RowLabels, prompts) ||
        !project.FillItemList(a, grid.ColumnLabels, prompts))
        return false;
    grid.JobTitle = title;
    grid.DocName = title;
    // Without a printer the dialog would have nothing to offer: the PDF export takes its place.
    grid.OfferPdfPrompts = &prompts;
    return grid.Print();
}

}  // namespace orm
