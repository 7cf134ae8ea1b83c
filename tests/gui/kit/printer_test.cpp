#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPainter>
#include <QString>

#include "gui/kit/printer.h"
#include "support/tempdir.h"

using namespace orm;

// A PDF printer proposes "<home>/<job name>.pdf": the name must be a file's base name.
TEST(PrintJobName, FitsAsAFilesBaseName)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("/home/u/отчеты/Положение.RTF"), QStringLiteral("Положение")},
        {QStringLiteral("Бизнес-направления // Структурные звенья"),
         QStringLiteral("Бизнес-направления - Структурные звенья")},
        {QStringLiteral("4.1 Дирекция: склад?"), QStringLiteral("4.1 Дирекция - склад")},
        {QStringLiteral("Положение.RTF"), QStringLiteral("Положение.RTF")},
        {QStringLiteral(" // "), QStringLiteral("Ормелит")},
        {QString(), QStringLiteral("Ормелит")},
    };
    for (const auto& [caption, expected] : cases)
        EXPECT_EQ(PrintJobName(caption), expected) << caption.toStdString();
}

TEST(PdfExport, ThePrintersPageAndASafeSaveOfWholeFilesOnly)
{
    QPrinter like(QPrinter::HighResolution);
    like.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                   QMarginsF(7, 8, 9, 10), QPageLayout::Millimeter));
    test::TempDir dir;
    const std::string path = dir.write("out.pdf", "old");
    {
        PdfExport pdf(like, QStringLiteral("/home/u/Положение.RTF"));
        EXPECT_TRUE(pdf.Printer().pageLayout().isEquivalentTo(like.pageLayout()));
        EXPECT_EQ(pdf.Printer().docName(), QStringLiteral("Положение"));
        // Nothing drawn: nothing to save, and the old file stays.
        std::string error;
        EXPECT_FALSE(pdf.Commit(path, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(test::TempDir::read(path), "old");
    }
    PdfExport pdf(like, QStringLiteral("x"));
    QPainter painter(&pdf.Printer());
    painter.drawText(QPointF(100, 100), QStringLiteral("Страница"));
    painter.end();
    ASSERT_TRUE(pdf.Commit(path));
    EXPECT_EQ(test::TempDir::read(path).substr(0, 5), "%PDF-");
}

TEST(PrinterInstalled, TestsDecide)
{
    SetPrinterInstalledForTesting(false);
    EXPECT_FALSE(PrinterInstalled());
    SetPrinterInstalledForTesting(true);
    EXPECT_TRUE(PrinterInstalled());
    SetPrinterInstalledForTesting(std::nullopt);
}
