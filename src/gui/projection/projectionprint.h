#pragma once

// The printout of one projection: a table of square cells with the item numbers of the row
// classifier down the left, those of the column classifier across the top written upwards, an
// "X" in every bound cell, a title line above and the page number and page code below. A table
// larger than a sheet is cut into sheets that run across first, then down.

#include <QString>

#include "core/model/treelist.h"
#include "core/settings/appsettings.h"
#include "gui/report/printbase.h"

class QPrinter;
class QWidget;

namespace orm {

class Prompts;

class TPrGrd : public TPrintReportObj {
public:
    // font: the application's shared font, taken again by every Prepare and DrawPage.
    TPrGrd(const FontSpec& font, QPrinter* printer = nullptr, DialogRunner runDialog = {},
           QWidget* dialogParent = nullptr);

    ItemList RowLabels;     // the row classifier's items in pre-order
    ItemList ColumnLabels;  // the column classifier's items in pre-order
    QString JobTitle;       // printed at the top of every sheet

    void Prepare() override;
    void DrawPage() override;

    // Layout of the last Prepare, lengths in tenths of a millimetre.
    int CellMargin() const { return m_cellMargin; }
    int LabelColumnWidth() const { return m_labelColumnWidth; }
    int LabelBandHeight() const { return m_labelBandHeight; }
    int CellSize() const { return m_cellSize; }
    int RowsPerPage() const { return m_rowsPerPage; }
    int ColsPerPage() const { return m_colsPerPage; }
    int RowPages() const { return m_rowPages; }
    int ColPages() const { return m_colPages; }

    bool IsBound(int row, int column) const;

private:
    void applyFont();

    QString m_fontFace;
    int m_fontSize;
    int m_cellMargin = 20;
    int m_labelColumnWidth = 0;
    int m_labelBandHeight = 0;
    int m_cellSize = 0;
    int m_rowsPerPage = 0;
    int m_colsPerPage = 0;
    int m_rowPages = 0;
    int m_colPages = 0;
};

// Prints projection p of project with the print dialog; title is the line on top of every sheet
// (the projection window passes its caption). An empty classifier is reported through prompts
// and prints nothing. printer: nullptr for SharedPrinter(); runDialog: empty for the real print
// dialog (tests choose the printer, the range, the copies and the collation there). True when a
// print job was made.
bool PrintProjection(int p, const QString& title, TTreeList& project, const FontSpec& sharedFont,
                     Prompts& prompts, QWidget* parent = nullptr, QPrinter* printer = nullptr,
                     TPrintReportObj::DialogRunner runDialog = {});

}  // namespace orm
