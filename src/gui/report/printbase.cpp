#include "gui/report/printbase.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>

#include "core/prompts/prompts.h"
#include "gui/kit/printer.h"

namespace orm {

namespace {

bool RunQtPrintDialog(QPrinter& printer, int minPage, int maxPage, QWidget* parent)
{
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // Printing to a file is not offered, so without a printer the dialog has nothing to
        // choose; say so instead of showing an empty list.
        QMessageBox::warning(parent, QStringLiteral("Печать"),
                             QStringLiteral("Не установлен ни один принтер."));
        return false;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setMinMax(minPage, std::max(minPage, maxPage));
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

int MulDivRound(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return 0;
    int64_t n = a * b;
    if (c < 0) {
        n = -n;
        c = -c;
    }
    const int64_t q = n >= 0 ? (2 * n + c) / (2 * c) : -((-2 * n + c) / (2 * c));
    return static_cast<int>(q);
}

TPrintReportObj::TPrintReportObj(QPrinter* printer, DialogRunner runDialog,
                                 QWidget* dialogParent)
    : m_printer(printer ? printer : &SharedPrinter()),
      m_runDialog(std::move(runDialog)),
      m_dialogParent(dialogParent)
{
    ReadDeviceMetrics();
    // Users set size and angle before they measure; 10 points until then.
    m_fontHeight = ConvertUnits(MulDivRound(10, 254, 72), 1);
    BuildFont();
}

TPrintReportObj::~TPrintReportObj() = default;

void TPrintReportObj::ReadDeviceMetrics()
{
    const QPageLayout layout = m_printer->pageLayout();
    const QRect pixels = layout.paintRectPixels(m_printer->resolution());
    const QRectF mm = layout.paintRect(QPageLayout::Millimeter);
    m_metrics.WidthPixels = pixels.width();
    m_metrics.HeightPixels = pixels.height();
    m_metrics.WidthMm = qRound(mm.width());
    m_metrics.HeightMm = qRound(mm.height());
}

int TPrintReportObj::ConvertUnits(int value, int kind) const
{
    const DeviceMetrics& m = m_metrics;
    switch (kind) {
    case 0:
        return MulDivRound(value, m.WidthPixels, int64_t(m.WidthMm) * 10);
    case 1:
        return MulDivRound(value, m.HeightPixels, int64_t(m.HeightMm) * 10);
    case 2:
        return MulDivRound(value, int64_t(m.WidthMm) * 10, m.WidthPixels);
    case 3:
        return MulDivRound(value, int64_t(m.HeightMm) * 10, m.HeightPixels);
    default:
        return 1;
    }
}

QString TPrintReportObj::PrinterFamily(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QStringLiteral("System"), Qt::CaseInsensitive) == 0)
        return QApplication::font().family();
    static const QString cyr = QStringLiteral(" Cyr");
    if (trimmed.endsWith(cyr, Qt::CaseInsensitive) && trimmed.size() > cyr.size())
        return trimmed.left(trimmed.size() - cyr.size());
    return trimmed;
}

void TPrintReportObj::BuildFont()
{
    QFont font(PrinterFamily(m_fontName));
    font.setStyleStrategy(QFont::ForceOutline);
    font.setWeight((m_fontStyle & 1) ? QFont::Bold : QFont::Normal);
    font.setItalic(m_fontStyle & 2);
    font.setUnderline(m_fontStyle & 4);
    font.setStrikeOut(m_fontStyle & 8);
    // FontHeight is the cell height (ascent + descent, as a Windows font height given as a
    // positive number); Qt's pixel size is the em, so scale the em to get that cell.
    const int cell = std::max(1, m_fontHeight);
    font.setPixelSize(cell);
    const int measured = QFontMetrics(font, m_printer).height();
    if (measured > 0 && measured != cell)
        font.setPixelSize(std::max(1, MulDivRound(cell, cell, measured)));
    m_font = font;
    if (m_painter)
        m_painter->setFont(m_font);
}

void TPrintReportObj::SetFontName(const QString& name)
{
    if (name == m_fontName)
        return;
    m_fontName = name;
    BuildFont();
}

void TPrintReportObj::SetFontStyle(int bits)
{
    if (bits == m_fontStyle)
        return;
    m_fontStyle = bits;
    BuildFont();
}

void TPrintReportObj::SetAlign(int code)
{
    m_align = (code >= 0 && code <= 8) ? code : 0;
}

int TPrintReportObj::GetProperty(int code) const
{
    switch (code) {
    case 1:
        return ConvertUnits(m_penWidth, 2);
    case 2:
        return MulDivRound(GetProperty(4), 72, 254);
    case 3:
        return m_escapement / 10;
    case 4:
        return ConvertUnits(m_fontHeight, 3);
    case 5:
        return ConvertUnits(m_metrics.HeightPixels, 3);
    case 6:
        return ConvertUnits(m_metrics.WidthPixels, 2);
    case 7:
        return m_pageCount;
    default:
        return 1;
    }
}

void TPrintReportObj::SetProperty(int code, int value)
{
    switch (code) {
    case 1:
        m_penWidth = ConvertUnits(value, 0);
        applyToPainter();
        break;
    case 2:
        if (value != GetProperty(2)) {
            SetProperty(4, MulDivRound(value, 254, 72));
            BuildFont();
        }
        break;
    case 3:
        if (value != GetProperty(3)) {
            m_escapement = value * 10;
            BuildFont();
        }
        break;
    case 4:
        if (value != GetProperty(4)) {
            m_fontHeight = ConvertUnits(value, 1);
            BuildFont();
        }
        break;
    case 7:
        m_pageCount = value;
        break;
    default:
        break;
    }
}

void TPrintReportObj::applyToPainter()
{
    if (!m_painter)
        return;
    // A pen wider than one pixel draws with round ends and joins, as the platform's
    // geometric pens do; the brush stays solid white.
    m_painter->setPen(QPen(Qt::black, std::max(1, m_penWidth), Qt::SolidLine, Qt::RoundCap,
                           Qt::RoundJoin));
    m_painter->setBrush(Qt::white);
    m_painter->setFont(m_font);
}

QPointF TPrintReportObj::toPixels(int x, int y) const
{
    return QPointF(ConvertUnits(x + LeftMargin, 0), ConvertUnits(y + TopMargin, 1));
}

void TPrintReportObj::Line(int x1, int y1, int x2, int y2)
{
    if (m_painter)
        m_painter->drawLine(toPixels(x1, y1), toPixels(x2, y2));
}

void TPrintReportObj::Rectangle(int x1, int y1, int x2, int y2)
{
    if (m_painter)
        m_painter->drawRect(QRectF(toPixels(x1, y1), toPixels(x2, y2)).normalized());
}

void TPrintReportObj::drawText(const QString& text, int x, int y)
{
    const QFontMetrics fm(m_font, m_printer);
    const int width = fm.horizontalAdvance(text);
    qreal dx = 0;
    switch (m_align % 3) {
    case 1:
        dx = -width / 2.0;
        break;
    case 2:
        dx = -width;
        break;
    default:
        break;
    }
    qreal baseline = 0;
    switch (m_align / 3) {
    case 0:
        baseline = fm.ascent();
        break;
    case 2:
        baseline = -fm.descent();
        break;
    default:
        break;
    }
    // The reference point and alignment apply along the turned baseline.
    m_painter->save();
    m_painter->translate(toPixels(x, y));
    if (m_escapement != 0)
        m_painter->rotate(-m_escapement / 10.0);
    m_painter->drawText(QPointF(dx, baseline), text);
    m_painter->restore();
}

void TPrintReportObj::TextOut(int x, int y, const QString& text)
{
    if (m_painter)
        drawText(text, x, y);
}

void TPrintReportObj::TextRect(int x1, int y1, int x2, int y2, int tx, int ty, const QString& text)
{
    if (!m_painter)
        return;
    m_painter->save();
    m_painter->setClipRect(QRectF(toPixels(x1, y1), toPixels(x2, y2)).normalized());
    drawText(text, tx, ty);
    m_painter->restore();
}

int TPrintReportObj::TextHeight(const QString& text) const
{
    return ConvertUnits(QFontMetrics(m_font, m_printer).height(), 3);
}

int TPrintReportObj::TextWidth(const QString& text) const
{
    return ConvertUnits(QFontMetrics(m_font, m_printer).horizontalAdvance(text), 2);
}

bool TPrintReportObj::runDialog()
{
    // The dialog offers one copy each time; Print makes the copies in its page loop.
    m_printer->setCopyCount(1);
    m_printer->setPrintRange(QPrinter::AllPages);
    m_printer->setFromTo(0, 0);
    const int lastPage = GetProperty(7);
    if (m_runDialog)
        return m_runDialog(*m_printer, 1, lastPage);
    if (OfferPdfPrompts && !PrinterInstalled()) {
        if (OfferPdfInsteadOfPrinting(*OfferPdfPrompts))
            ExportPdf(*OfferPdfPrompts);
        return false;
    }
    return RunQtPrintDialog(*m_printer, 1, lastPage, m_dialogParent);
}

bool TPrintReportObj::Print()
{
    int copies = 1;
    bool ranged = false;
    int fromPage = 0;
    int toPage = 0;
    m_printer->setDocName(PrintJobName(DocName));
    if (ShowDialog) {
        Prepare();
        if (!runDialog())
            return false;
        copies = std::max(1, m_printer->copyCount());
        m_collate = m_printer->collateCopies();
        ranged = m_printer->printRange() == QPrinter::PageRange && m_printer->fromPage() > 0;
        fromPage = m_printer->fromPage();
        toPage = m_printer->toPage();
    }
    // The loop below makes the copies; a printer that made them as well would multiply them.
    m_printer->setCopyCount(1);

    ReadDeviceMetrics();
    Prepare();

    // A range chosen before the second layout may reach beyond the pages there are now.
    const int pageCount = GetProperty(7);
    int first = 1;
    int last = pageCount;
    if (ranged) {
        first = std::max(1, fromPage);
        last = std::min(std::max(fromPage, toPage), pageCount);
    }
    return runJob(first, last, copies);
}

bool TPrintReportObj::runJob(int first, int last, int copies)
{
    const int count = last - first + 1;
    if (count <= 0)
        return false;  // no page: a job would only feed a blank sheet

    QPainter painter;
    if (!painter.begin(m_printer))
        return false;
    m_painter = &painter;
    applyToPainter();
    AnnouncePages(*m_printer, count * copies);
    for (int i = 0; i < count * copies; ++i) {
        // A printer that cannot start the next page (it failed, or the export was cancelled)
        // would only have every page drawn over the last.
        if (i > 0 && !m_printer->newPage())
            break;
        m_currentPage = m_collate ? first + i % count : first + i / copies;
        DrawPage();
    }
    m_painter = nullptr;
    painter.end();
    return true;
}

bool TPrintReportObj::PrintAllTo(QPrinter& target)
{
    QPrinter* const printer = m_printer;
    const bool collate = m_collate;
    m_printer = &target;
    m_collate = false;
    ReadDeviceMetrics();
    BuildFont();
    Prepare();
    const bool printed = runJob(1, GetProperty(7), 1);
    m_printer = printer;
    m_collate = collate;
    ReadDeviceMetrics();
    BuildFont();
    return printed;
}

bool TPrintReportObj::ExportPdf(Prompts& prompts)
{
    return AskAndExportPdf(prompts, *m_printer, DocName,
                           [this](QPrinter& pdf) { return PrintAllTo(pdf); });
}

}  // namespace orm
