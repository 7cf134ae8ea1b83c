#pragma once

// Reads printed PDF files back with poppler's tools, and stands in for the print dialog.

#include <gtest/gtest.h>

#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <optional>
#include <vector>

#include "gui/report/printbase.h"

namespace orm::test {

inline QString RunTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPageCount(const QString& pdf)
{
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const auto m = pages.match(RunTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A word that pdftotext found, its box in points from the page's top-left corner.
struct PdfWord {
    QString Text;
    double XMin, YMin, XMax, YMax;
    double CenterX() const { return (XMin + XMax) / 2; }
    double CenterY() const { return (YMin + YMax) / 2; }
};

// The words of every page.
inline std::vector<std::vector<PdfWord>> PdfWords(const QString& pdf)
{
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"
        "([^<]*)</word>"));
    std::vector<std::vector<PdfWord>> pages;
    const QString html = RunTool(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"});
    for (const QString& page : html.split(QStringLiteral("<page ")).mid(1)) {
        auto& words = pages.emplace_back();
        for (auto it = word.globalMatch(page); it.hasNext();) {
            const auto m = it.next();
            words.push_back({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                             m.captured(3).toDouble(), m.captured(4).toDouble()});
        }
    }
    return pages;
}

// The text of every page as pdftotext -layout lays it out.
inline QStringList PdfPageTexts(const QString& pdf)
{
    QStringList pages = RunTool(QStringLiteral("pdftotext"), {"-layout", pdf, "-"}).split('\f');
    pages.removeLast();  // after the last page's form feed
    return pages;
}

inline QImage PdfPageImage(const QString& pdf, int page, int dpi, const QString& outBase)
{
    const QString n = QString::number(page);
    RunTool(QStringLiteral("pdftoppm"), {"-r", QString::number(dpi), "-f", n, "-l", n,
                                         "-singlefile", "-png", pdf, outBase});
    return QImage(outBase + QStringLiteral(".png"));
}

inline double Points(double tenthsOfMm) { return tenthsOfMm * 72.0 / 254.0; }

// What the user chooses in the print dialog; a paper is chosen with no margins.
struct DialogChoice {
    bool Accept = true;
    int From = 0;  // 0: all pages
    int To = 0;
    int Copies = 1;
    bool Collate = false;
    std::optional<QPageSize> Paper;
};

// What the dialog was offered.
struct DialogOffer {
    int Shown = 0;
    int MaxPage = 0;
};

// The print dialog of a user who chooses a PDF file as the printer.
inline TPrintReportObj::DialogRunner ChoosePdf(const QString& pdf, DialogChoice choice,
                                               DialogOffer* offer = nullptr)
{
    return [=](QPrinter& printer, int minPage, int maxPage) {
        EXPECT_EQ(minPage, 1);
        if (offer)
            *offer = {offer->Shown + 1, maxPage};
        if (!choice.Accept)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        if (choice.Paper) {
            printer.setPageSize(*choice.Paper);
            printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        }
        if (choice.From > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(choice.From, choice.To);
        }
        printer.setCopyCount(choice.Copies);
        printer.setCollateCopies(choice.Collate);
        return true;
    };
}

inline QPageSize Paper(int widthMm, int heightMm)
{
    return QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QStringLiteral("test"),
                     QPageSize::ExactMatch);
}

}  // namespace orm::test
