// The report viewer's PDF export (also in place of printing without a printer) and its
// remembered size.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPrinter>
#include <QProcess>
#include <memory>

#include "app/mainwindow.h"
#include "core/text/cp1251.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/printer.h"
#include "gui/report/fakedialogs.h"
#include "gui/report/reportviewer.h"
#include "support/fakeprompts.h"
#include "support/pdftools.h"
#include "support/progressrecorder.h"
#include "support/tempdir.h"

namespace orm {
namespace {

using test::TempDir;

// Three pages on a landscape A4 page of the document's own.
std::string ThreePages()
{
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Arial;}}"
                      "\\paperw16838\\paperh11906\\landscape\\margl1134\\margr1134\\margt1134"
                      "\\margb1134\\f0\\fs24 ";
    for (const char* word : {"Первая", "Вторая", "Третья"}) {
        rtf += ToCp1251(std::string(word) + " страница регламента");
        rtf += std::string(word) == "Третья" ? "\\par}" : "\\par\\page ";
    }
    return rtf;
}

QString PageSize(const QString& pdf)
{
    const QString info = test::RunTool(QStringLiteral("pdfinfo"), {pdf});
    const qsizetype at = info.indexOf(QStringLiteral("Page size:"));
    return info.mid(at, info.indexOf(QChar('\n'), at) - at).simplified();
}

class ReportExport : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetPrinterInstalledForTesting(std::nullopt);
        SharedPrinter().setOutputFileName(QString());
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    TempDir dir;
    test::FakePrompts prompts;
};

TEST_F(ReportExport, PdfHoldsThePagesPrintingMakes)
{
    test::FakeDialogs dialogs;  // the print dialog of a user who prints into a PDF file
    dialogs.pdf = QString::fromStdString(dir.path("printed.pdf"));
    ReportViewer viewer(prompts, &dialogs);
    viewer.LoadDocument(ThreePages());
    viewer.setWindowTitle(QStringLiteral("Положение о структуре"));
    viewer.PrintDocument();
    SharedPrinter().setOutputFileName(QString());

    const std::string path = dir.path("Положение.pdf");
    prompts.queueSave(path);
    viewer.ActionExportPdf->trigger();
    const QString exported = QString::fromStdString(path);
    ASSERT_EQ(test::PdfPageCount(exported), 3);
    EXPECT_EQ(test::PdfPageTexts(exported), test::PdfPageTexts(dialogs.pdf));
    EXPECT_TRUE(test::PdfPageTexts(exported).at(1).contains(QStringLiteral("Вторая страница")));
    // The document's own page, landscape A4.
    EXPECT_EQ(PageSize(exported), PageSize(dialogs.pdf));
    EXPECT_EQ(PageSize(exported), QStringLiteral("Page size: 842 x 595 pts (A4)"));
    EXPECT_EQ(prompts.dialogs.at(0).initialFileName, "Положение о структуре.pdf");
    EXPECT_TRUE(prompts.shown.size() == 1 && prompts.errors().empty());
}

// The export's progress goes by page up to the whole; cancelled at any page, it leaves the file
// that was there and says nothing.
TEST_F(ReportExport, PdfProgressGoesByPageAndACancelLeavesTheOldFile)
{
    ReportViewer viewer(prompts);
    viewer.LoadDocument(ThreePages());
    const std::string path = dir.write("Положение.pdf", "old");
    for (size_t cancelAt : {1, 2, 3, 0}) {
        test::ProgressRecorder progress{{}, cancelAt};
        prompts.workProgress = progress.Callback();
        prompts.queueSave(path);
        viewer.ActionExportPdf->trigger();
        if (cancelAt > 0) {
            EXPECT_EQ(progress.calls.size(), cancelAt);
            EXPECT_EQ(TempDir::read(path), "old");
        } else {
            EXPECT_EQ(progress.calls.front(), std::make_pair(uint64_t{1}, uint64_t{3}));
            progress.ExpectClimbsTo(3);
        }
    }
    EXPECT_EQ(test::PdfPageCount(QString::fromStdString(path)), 3);
    EXPECT_EQ(prompts.works, std::vector<std::string>(4, "Экспорт в PDF…"));
    EXPECT_TRUE(prompts.errors().empty() && prompts.informs().empty());
}

TEST_F(ReportExport, WithoutAPrinterPrintingOffersThePdf)
{
    SetPrinterInstalledForTesting(false);
    ReportViewer viewer(prompts);  // Qt's own dialogs: none of them may show
    viewer.LoadDocument(ThreePages());
    const std::string path = dir.path("offered.pdf");
    prompts.queueConfirm(true);
    prompts.queueSave(path);
    viewer.ActionPrint->trigger();
    EXPECT_EQ(prompts.shown.at(0),
              "confirm: Не установлен ни один принтер.\nСохранить страницы в файл PDF?");
    EXPECT_EQ(test::PdfPageCount(QString::fromStdString(path)), 3);

    prompts.queueConfirm(false);
    viewer.ActionPrint->trigger();
    EXPECT_EQ(prompts.dialogs.size(), 1u);
}

TEST_F(ReportExport, TheViewerKeepsItsLastSize)
{
    AppContext context;
    context.Settings.TitleTime = 0;
    context.Settings.SettingsFileName = dir.write("ormelit.INI", "");
    context.State.FileName = dir.path("state.ini");
    MainWindow main(context, &prompts);
    {
        ReportViewer viewer(prompts, nullptr, &main);
        EXPECT_EQ(viewer.size(), QSize(500, 394));
        viewer.show();
        viewer.resize(720, 520);
        viewer.ActionExit->trigger();
    }
    // In the program's own state file; the settings file is not the program's to write.
    EXPECT_EQ(TempDir::read(context.State.FileName),
              "[WINDOWS]\r\nTF_RTF_WIDTH=720\r\nTF_RTF_HEIGHT=520\r\n");
    EXPECT_EQ(TempDir::read(context.Settings.SettingsFileName), "");
    ReportViewer next(prompts, nullptr, &main);
    EXPECT_EQ(next.size(), QSize(720, 520));
    // A viewer outside the program keeps nothing and takes its designed size.
    ReportViewer alone(prompts);
    EXPECT_EQ(alone.size(), QSize(500, 394));
}

}  // namespace
}  // namespace orm
