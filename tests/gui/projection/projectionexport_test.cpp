// A projection as a PDF file (the printed pages, also in place of printing when there is no
// printer) and as a CSV table, both read back.

#include <gtest/gtest.h>

#include <QFile>
#include <sys/stat.h>

#include "core/model/metamodel.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "format/textcodec.h"
#include "gui/kit/printer.h"
#include "gui/projection/projectionexport.h"
#include "gui/projection/projectionprint.h"
#include "support/fakeprompts.h"
#include "support/pdftools.h"
#include "support/tempdir.h"

using namespace orm;
using namespace orm::test;

namespace {

const FontSpec kFont{"Arial Cyr", 10};

std::string cp(std::string_view utf8)
{
    return orm::ToCp1251(utf8);
}

// Splits CSV text into lines of fields, quotes undone.
std::vector<QStringList> ReadCsv(const QString& text)
{
    std::vector<QStringList> lines(1);
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QChar('"') && i + 1 < text.size() && text[i + 1] == QChar('"'))
                field += c, ++i;
            else if (c == QChar('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QChar('"')) {
            quoted = true;
        } else if (c == QChar(';')) {
            lines.back() << field;
            field.clear();
        } else if (c == QChar('\r') && i + 1 < text.size() && text[i + 1] == QChar('\n')) {
            lines.back() << field;
            field.clear();
            lines.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    if (lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

class ProjectionExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 5; ++i) {
            TTreeList* top = project.TreeByIndex(1)->AddChild(cp("Направление"));
            for (int j = 0; j < 4; ++j)
                top->AddChild(cp("Сбыт"));
        }
        for (int i = 0; i < 4; ++i) {
            TTreeList* top = project.TreeByIndex(4)->AddChild(cp("Отдел"));
            top->AddChild(cp("Склад"));
            top->AddChild(cp("Цех"));
        }
        project.FillItemList(1, columns, prompts);
        project.FillItemList(4, rows, prompts);
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < columns.size(); ++c)
                if ((r * 5 + c * 3) % 7 == 0)
                    rows[r].Item->Link(columns[c].Item);
        printer.setPageSize(Paper(150, 120));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    void TearDown() override
    {
        SetPrinterInstalledForTesting(std::nullopt);
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    QString pageSize(const QString& pdf)
    {
        const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
        const qsizetype at = info.indexOf(QStringLiteral("Page size:"));
        const qsizetype rot = info.indexOf(QStringLiteral("Page rot:"));
        return info.mid(at, info.indexOf(QChar('\n'), at) - at).simplified() +
               info.mid(rot, info.indexOf(QChar('\n'), rot) - rot).simplified();
    }

    TempDir dir;
    QPrinter printer{QPrinter::HighResolution};
    TMainTreeList project;
    FakePrompts prompts;
    QString title = FromCp1251(Metamodel().DisplayName(1, ResKind::Projection));
    ItemList rows, columns;
};

TEST_F(ProjectionExport, PdfHoldsThePagesPrintingMakesOnThePrintersPaper)
{
    const QString printed = QString::fromStdString(dir.path("printed.pdf"));
    ASSERT_TRUE(PrintProjection(1, title, project, kFont, prompts, nullptr, &printer,
                                [&](QPrinter& p, int, int) {
                                    p.setOutputFormat(QPrinter::PdfFormat);
                                    p.setOutputFileName(printed);
                                    return true;
                                }));
    printer.setOutputFileName(QString());
    const QPageLayout before = printer.pageLayout();

    const std::string path = dir.path("Бизнес-направления.pdf");
    prompts.queueSave(path);
    ASSERT_TRUE(ExportProjectionPdf(1, title, project, kFont, prompts, &printer));
    const QString exported = QString::fromStdString(path);
    EXPECT_GT(PdfPageCount(printed), 1);
    EXPECT_EQ(PdfPageCount(exported), PdfPageCount(printed));
    EXPECT_EQ(PdfPageTexts(exported), PdfPageTexts(printed));
    EXPECT_EQ(pageSize(exported), pageSize(printed));
    EXPECT_TRUE(pageSize(exported).startsWith(QStringLiteral("Page size: 340 x 425 pts")));
    EXPECT_TRUE(PdfPageTexts(exported).first().contains(title));
    // The dialog proposed a PDF named after the window; the printer is left as it was.
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].defaultExtension, "pdf");
    EXPECT_EQ(prompts.dialogs[0].initialFileName, PrintJobName(title).toStdString() + ".pdf");
    EXPECT_TRUE(printer.pageLayout().isEquivalentTo(before));
    EXPECT_TRUE(printer.outputFileName().isEmpty());
}

TEST_F(ProjectionExport, WithoutAPrinterPrintingOffersThePdf)
{
    SetPrinterInstalledForTesting(false);
    const std::string path = dir.path("grid.pdf");
    prompts.queueConfirm(true);
    prompts.queueSave(path);
    EXPECT_FALSE(PrintProjection(1, title, project, kFont, prompts, nullptr, &printer));
    EXPECT_EQ(prompts.shown.front(),
              "confirm: Не установлен ни один принтер.\nСохранить страницы в файл PDF?");
    EXPECT_GT(PdfPageCount(QString::fromStdString(path)), 1);

    // Declined: nothing asked further, nothing written.
    prompts.queueConfirm(false);
    std::filesystem::remove(path);
    EXPECT_FALSE(PrintProjection(1, title, project, kFont, prompts, nullptr, &printer));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ProjectionExport, AFailedExportKeepsTheFileThereWasAndSaysSo)
{
    // Cancelled: nothing happens.
    prompts.queueSave(std::nullopt);
    EXPECT_FALSE(ExportProjectionPdf(1, title, project, kFont, prompts, &printer));
    EXPECT_TRUE(prompts.errors().empty());

    // A read-only file stays as it was.
    const std::string locked = dir.write("locked.pdf", "old");
    ::chmod(locked.c_str(), 0444);
    prompts.queueSave(locked);
    EXPECT_FALSE(ExportProjectionPdf(1, title, project, kFont, prompts, &printer));
    EXPECT_EQ(TempDir::read(locked), "old");
    EXPECT_EQ(prompts.errors(),
              std::vector<std::string>{"Не удается записать файл \"" + locked + "\"."});

    // Not one cell fits the paper: no page, no file.
    prompts.queueSave(dir.path("empty.pdf"));
    EXPECT_FALSE(ExportProjectionPdf(1, title, project, FontSpec{"Arial Cyr", 400}, prompts,
                                     &printer));
    EXPECT_FALSE(std::filesystem::exists(dir.path("empty.pdf")));
    EXPECT_EQ(prompts.errors().back(), "Нечего экспортировать: нет ни одной страницы.");
}

TEST_F(ProjectionExport, CsvReadsBackAsTheGrid)
{
    // Names a spreadsheet would split or misread are quoted.
    columns[1].Item->SetName(cp("Опт; розница \"Юг\""));
    columns.clear();
    project.FillItemList(1, columns, prompts);
    const std::string path = dir.path("grid.csv");
    prompts.queueSave(path);
    ASSERT_TRUE(ExportProjectionCsv(1, title, project, prompts));
    EXPECT_EQ(prompts.dialogs.at(0).defaultExtension, "csv");

    const std::string bytes = TempDir::read(path);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    const auto lines = ReadCsv(QString::fromUtf8(bytes.substr(3)));
    ASSERT_EQ(lines.size(), rows.size() + 1);
    ASSERT_EQ(lines[0].size(), qsizetype(columns.size() + 1));
    EXPECT_EQ(lines[0][0], title);
    EXPECT_EQ(lines[0][1], QStringLiteral("1.1 Направление"));
    EXPECT_EQ(lines[0][2], QStringLiteral("1.1.1 Опт; розница \"Юг\""));
    for (size_t c = 0; c < columns.size(); ++c)
        EXPECT_EQ(lines[0][qsizetype(c) + 1],
                  FromCp1251(columns[c].Text + " " + std::string(columns[c].Item->Name())));
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(lines[r + 1].size(), qsizetype(columns.size() + 1));
        EXPECT_EQ(lines[r + 1][0], FromCp1251(rows[r].Text + " " + std::string(rows[r].Item->Name())));
        for (size_t c = 0; c < columns.size(); ++c)
            EXPECT_EQ(lines[r + 1][qsizetype(c) + 1],
                      rows[r].Item->ToggleLink(columns[c].Item, false) ? QStringLiteral("X")
                                                                       : QString())
                << r << "," << c;
    }
}

TEST_F(ProjectionExport, CsvOfAnEmptyClassifierIsNotMade)
{
    // Projection 2 binds classifier 2, which has no items: said once, no dialog.
    EXPECT_FALSE(ExportProjectionCsv(2, title, project, prompts));
    EXPECT_EQ(prompts.informs(), std::vector<std::string>{"Не заданы " +
                                 ToUtf8(Metamodel().DisplayName(2, ResKind::Classifier)) + "!"});
    EXPECT_TRUE(prompts.dialogs.empty());
}

}  // namespace

TEST_F(ProjectionExport, CsvFieldsNeverRunAsSpreadsheetFormulas)
{
    for (const QString& start : {QStringLiteral("=СУММ(A1)"), QStringLiteral("+7"),
                                 QStringLiteral("-1"), QStringLiteral("@x"),
                                 QStringLiteral("\tэ")}) {
        const QString text = QString::fromUtf8(ProjectionCsv(start, {}, {}).mid(3));
        const auto lines = ReadCsv(text);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0][0], QChar('\'') + start) << text.toStdString();
    }
    EXPECT_EQ(ProjectionCsv(QStringLiteral("1.2 =x"), {}, {}).mid(3), QByteArray("1.2 =x\r\n"));
}
