#pragma once

// The base of printouts that are drawn page by page straight onto the printer: the print dialog
// and the job, lengths in tenths of a millimetre converted with the chosen printer's resolution,
// one printer font built from a name, a height, an angle and style bits, and line, rectangle and
// text primitives in page coordinates. A subclass lays the document out in Prepare and draws
// the page CurrentPage() in DrawPage.

#include <QFont>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>

class QPainter;
class QPrinter;
class QWidget;

namespace orm {

class Prompts;

// The printable area of a printer: its size in device pixels and in whole millimetres.
struct DeviceMetrics {
    int WidthPixels = 0;
    int WidthMm = 0;
    int HeightPixels = 0;
    int HeightMm = 0;
};

// a x b / c in 64 bits, rounded to the nearest integer, halves away from zero; 0 when c is 0.
int MulDivRound(int64_t a, int64_t b, int64_t c);

class TPrintReportObj {
public:
    // Shows the print dialog for printer with the pages minPage..maxPage on offer and leaves the
    // user's choices in printer as QPrintDialog does (printer, paper, range, copies, collation).
    // False when the user cancelled.
    using DialogRunner = std::function<bool(QPrinter& printer, int minPage, int maxPage)>;

    // printer: nullptr for SharedPrinter(). runDialog: empty for the real print dialog.
    explicit TPrintReportObj(QPrinter* printer = nullptr, DialogRunner runDialog = {},
                             QWidget* dialogParent = nullptr);
    virtual ~TPrintReportObj();
    TPrintReportObj(const TPrintReportObj&) = delete;
    TPrintReportObj& operator=(const TPrintReportObj&) = delete;

    // Lays the document out for the current printer and sets the page count (property 7).
    virtual void Prepare() {}
    // Draws page CurrentPage().
    virtual void DrawPage() {}

    // The print run: dialog (when ShowDialog), job, pages in the chosen order. True when a print
    // job was made; false when the dialog was cancelled or there was no page to print.
    bool Print();
    // Every page once, as Print would lay them out on the printer's paper, onto target (a PDF
    // printer); the printer itself is left as it was. False when there is no page.
    bool PrintAllTo(QPrinter& target);
    // "Экспорт в PDF…": asks for the file through prompts and writes it (see AskAndExportPdf).
    bool ExportPdf(Prompts& prompts);

    bool ShowDialog = true;
    // When set and no printer is installed, the real print dialog gives way to the offer of
    // the PDF export through these prompts.
    Prompts* OfferPdfPrompts = nullptr;
    // The caption the job is named after (see PrintJobName).
    QString DocName;

    QPrinter& Printer() const { return *m_printer; }
    void ReadDeviceMetrics();
    // Replaces the metrics read from the printer (for a layout computed without one).
    void SetDeviceMetrics(const DeviceMetrics& metrics) { m_metrics = metrics; }
    const DeviceMetrics& Metrics() const { return m_metrics; }

    // kind 0/1: x/y in tenths of a millimetre to pixels; 2/3: x/y pixels to tenths of a
    // millimetre; any other kind gives 1.
    int ConvertUnits(int value, int kind) const;

    int CurrentPage() const { return m_currentPage; }
    int LeftMargin = 0;  // tenths of a millimetre, added to every x of the primitives
    int TopMargin = 0;   // tenths of a millimetre, added to every y of the primitives

    // -- drawing primitives: page coordinates in tenths of a millimetre; they draw only during
    // a print job, the measuring functions work at any time.
    void Line(int x1, int y1, int x2, int y2);
    // Outlined with the current pen and filled white.
    void Rectangle(int x1, int y1, int x2, int y2);
    void TextOut(int x, int y, const QString& text);
    // Text with its reference point at (tx, ty), clipped to the rectangle (x1, y1)-(x2, y2).
    void TextRect(int x1, int y1, int x2, int y2, int tx, int ty, const QString& text);
    // The font's cell height, whatever the text (as the platform measures a line's extent).
    int TextHeight(const QString& text) const;
    int TextWidth(const QString& text) const;

    // The reference point of text: vertical part top (codes 0..2), baseline (3..5) or bottom
    // (6..8); horizontal part left (0, 3, 6), centre (1, 4, 7) or right (2, 5, 8). Any other
    // code means top-left.
    void SetAlign(int code);

    // 1 pen width (0.1 mm), 2 font size (points), 3 text angle (whole degrees, counter-
    // clockwise), 4 font height (0.1 mm), 5 printable height and 6 printable width (0.1 mm,
    // read only), 7 page count. Other codes read 1 and ignore a write.
    int GetProperty(int code) const;
    void SetProperty(int code, int value);

    const QString& GetFontName() const { return m_fontName; }
    void SetFontName(const QString& name);
    // Bits: 1 bold, 2 italic, 4 underline, 8 strike-out.
    int GetFontStyle() const { return m_fontStyle; }
    void SetFontStyle(int bits);
    // The font as last built.
    const QFont& Font() const { return m_font; }
    int Escapement() const { return m_escapement; }  // tenths of a degree
    int FontHeight() const { return m_fontHeight; }  // cell height, printer pixels

    // The collate choice of the last print dialog.
    bool IsCollated() const { return m_collate; }

    // The installed face that stands in for a Windows face name: "System" is the desktop's
    // font, and a "… Cyr" name is its base face (Windows maps "Arial Cyr" to "Arial" for the
    // Cyrillic character set).
    static QString PrinterFamily(const QString& name);

protected:
    // Makes the font from FontName, FontHeight, Escapement and FontStyle and gives it to the
    // printer's painter when a job runs.
    virtual void BuildFont();

private:
    bool runDialog();
    // Draws pages first..last, copies times (collated or not), in one job on the printer.
    bool runJob(int first, int last, int copies);
    void applyToPainter();
    QPointF toPixels(int x, int y) const;
    void drawText(const QString& text, int x, int y);

    QPrinter* m_printer;
    DialogRunner m_runDialog;
    QWidget* m_dialogParent;
    QPainter* m_painter = nullptr;  // only while a print job runs
    DeviceMetrics m_metrics;
    int m_pageCount = 1;
    int m_currentPage = 0;
    bool m_collate = false;
    int m_align = 0;
    int m_penWidth = 1;  // pixels
    int m_escapement = 0;
    int m_fontHeight = 0;
    int m_fontStyle = 0;
    QString m_fontName = QStringLiteral("Arial Cyr");
    QFont m_font;
};

}  // namespace orm
