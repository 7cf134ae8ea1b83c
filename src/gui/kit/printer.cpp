#include "gui/kit/printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <algorithm>

#include "core/io/safefile.h"
#include "format/textcodec.h"

namespace orm {

namespace {

QPrinter* g_sharedPrinter = nullptr;
std::optional<bool> g_printerInstalled;
// The folder of the last export, proposed for the next one.
QString g_lastPdfFolder;

void DeleteSharedPrinter()
{
    delete g_sharedPrinter;
    g_sharedPrinter = nullptr;
}

std::string text(const char* utf8)
{
    return ToCp1251(QString::fromUtf8(utf8));
}

}  // namespace

QPrinter& SharedPrinter()
{
    if (!g_sharedPrinter) {
        g_sharedPrinter = new QPrinter(QPrinter::HighResolution);
        // Destroyed with the application object, while the print support still exists.
        qAddPostRoutine(DeleteSharedPrinter);
    }
    return *g_sharedPrinter;
}

void ShowPrinterSetup(QWidget* parent)
{
    QPageSetupDialog dialog(&SharedPrinter(), parent);
    dialog.exec();
}

QString PrintJobName(const QString& caption)
{
    QString name = caption.trimmed();
    if (QFileInfo(name).isAbsolute())
        name = QFileInfo(name).completeBaseName();
    static const QRegularExpression unfit(QStringLiteral("\\s*[/\\\\:*?\"<>|]+\\s*"));
    name.replace(unfit, QStringLiteral(" - "));
    name = name.simplified();
    while (name.startsWith(QStringLiteral("- ")))
        name.remove(0, 2);
    while (name.endsWith(QStringLiteral(" -")))
        name.chop(2);
    return name.isEmpty() ? QStringLiteral("Ормелит") : name;
}

bool PrinterInstalled()
{
    if (g_printerInstalled)
        return *g_printerInstalled;
    return !QPrinterInfo::availablePrinters().isEmpty();
}

void SetPrinterInstalledForTesting(std::optional<bool> installed)
{
    g_printerInstalled = installed;
}

bool ExportPrinter::newPage()
{
    if (m_cancelled)
        return false;
    if (m_progress && *m_progress &&
        !(*m_progress)(static_cast<std::uint64_t>(m_pages),
                       static_cast<std::uint64_t>(std::max(m_pageCount, m_pages + 1)))) {
        m_cancelled = true;
        return false;
    }
    ++m_pages;
    return QPrinter::newPage();
}

void AnnouncePages(QPrinter& printer, int count)
{
    if (auto* exporting = dynamic_cast<ExportPrinter*>(&printer))
        exporting->SetPageCount(count);
}

PdfExport::PdfExport(const QPrinter& like, const QString& jobName)
{
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setPageLayout(like.pageLayout());
    m_printer.setDocName(PrintJobName(jobName));
    m_printer.setCreator(QStringLiteral("Ормелит"));
    m_printer.setOutputFileName(m_folder.filePath(QStringLiteral("export.pdf")));
}

bool PdfExport::Commit(const std::string& path, std::string* error)
{
    const std::optional<std::string> bytes =
        m_folder.isValid()
            ? ReadFileBytes(QFile::encodeName(m_printer.outputFileName()).toStdString())
            : std::nullopt;
    if (!bytes || bytes->empty() || m_printer.printerState() == QPrinter::Error) {
        if (error)
            *error = "the PDF was not made";
        return false;
    }
    return WriteFileAtomically(path, *bytes, error);
}

bool AskAndExportPdf(Prompts& prompts, const QPrinter& like, const QString& caption,
                     const std::function<bool(QPrinter&)>& pages)
{
    FileDialogSpec dialog;
    dialog.title = text("Экспорт в PDF");
    dialog.filterName = text("Документ PDF");
    dialog.filterPatterns = "*.pdf";
    dialog.defaultExtension = "pdf";
    const QString name = PrintJobName(caption) + QStringLiteral(".pdf");
    dialog.initialFileName = QFile::encodeName(
        g_lastPdfFolder.isEmpty() ? name : QDir(g_lastPdfFolder).filePath(name)).toStdString();
    const std::optional<std::string> path = prompts.SaveFileName(dialog);
    if (!path)
        return false;
    const QString shown = QDir::toNativeSeparators(QFile::decodeName(path->c_str()));
    PdfExport pdf(like, caption);
    bool drawn = false;
    bool committed = false;
    if (!prompts.RunWork(text("Экспорт в PDF…"), [&](const Progress& progress) {
            ExportPrinter& printer = pdf.Printer();
            printer.SetProgress(&progress);
            drawn = pages(printer);
            printer.SetProgress(nullptr);
            if (printer.Cancelled())
                throw WorkCancelled{};
            const auto count = static_cast<std::uint64_t>(printer.Pages());
            ReportProgress(progress, count, count);
            committed = drawn && pdf.Commit(*path);
        }))
        return false;
    if (!drawn) {
        prompts.ShowError(text("Нечего экспортировать: нет ни одной страницы."));
        return false;
    }
    if (!committed) {
        prompts.ShowError(
            ToCp1251(QStringLiteral("Не удается записать файл \"%1\".").arg(shown)));
        return false;
    }
    g_lastPdfFolder = QFileInfo(QFile::decodeName(path->c_str())).absolutePath();
    return true;
}

bool OfferPdfInsteadOfPrinting(Prompts& prompts)
{
    // Yes only opens the save dialog, where the user can still cancel.
    return prompts.Confirm(
        text("Не установлен ни один принтер.\nСохранить страницы в файл PDF?"),
        Prompts::Answer::Yes);
}

}  // namespace orm
