#pragma once

// The program's one printer, like the platform's default printer object: the printer setup
// dialog changes it and every printout that is not given a printer uses it. Beside it, export
// to PDF: the same pages on the same paper, into a file, for desktops without a printer.

#include <QPrinter>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <string>

#include "core/io/progress.h"
#include "core/prompts/prompts.h"

class QString;
class QWidget;

namespace orm {

QPrinter& SharedPrinter();
// The page setup dialog of the shared printer ("printer setup").
void ShowPrinterSetup(QWidget* parent);

// A print job's name from a window caption, fit to be a file's base name, since a PDF printer
// proposes its file from it: the base name of a path, other characters that no file name takes
// replaced by " - ", never empty.
QString PrintJobName(const QString& caption);

// Whether the system offers any printer. Tests decide it with the override.
bool PrinterInstalled();
void SetPrinterInstalledForTesting(std::optional<bool> installed);

// The printer of an export. Every page after the first begins with newPage, which tells the
// pages done to the progress the export runs under and refuses the page once the user has
// cancelled, so that any print loop stops there.
class ExportPrinter : public QPrinter {
public:
    ExportPrinter() : QPrinter(QPrinter::HighResolution) {}
    void SetProgress(const Progress* progress) { m_progress = progress; }
    // The pages the printout will make, for the progress; unknown until told.
    void SetPageCount(int count) { m_pageCount = count; }
    bool newPage() override;
    // Pages begun.
    int Pages() const { return m_pages; }
    bool Cancelled() const { return m_cancelled; }

private:
    const Progress* m_progress = nullptr;
    int m_pageCount = 0;
    int m_pages = 1;
    bool m_cancelled = false;
};

// Tells printer, when it is an export's, how many pages a printout is about to make.
void AnnouncePages(QPrinter& printer, int count);

// A PDF printer with the paper, orientation and margins of like, so that a printout laid out
// on it makes the pages printing on like would make. It writes into a private temporary
// folder; Commit puts the finished file in place through the program's safe save, so a failed
// or cancelled export never leaves a half-written file under the user's name.
class PdfExport {
public:
    PdfExport(const QPrinter& like, const QString& jobName);
    ExportPrinter& Printer() { return m_printer; }
    // False, with a short reason in *error, when there was nothing to write or the file could
    // not be saved.
    bool Commit(const std::string& path, std::string* error = nullptr);

private:
    QTemporaryDir m_folder;
    ExportPrinter m_printer;
};

// The export command's questions: the file (a PDF named after the job, in the folder of the
// last export), then the write through pages(printer), which draws every page and returns false
// when there is none, with its progress by page ("Экспорт в PDF…") through prompts. A failure is
// reported through prompts; a cancel says nothing and writes nothing. True when the file was
// written.
bool AskAndExportPdf(Prompts& prompts, const QPrinter& like, const QString& caption,
                     const std::function<bool(QPrinter&)>& pages);

// In place of the print dialog when no printer is installed: says so and offers the export
// instead; true when the user takes it.
bool OfferPdfInsteadOfPrinting(Prompts& prompts);

}  // namespace orm
