#pragma once

// The report viewer: a modal window with a read-only rich-text view of a report (or of a file
// loaded into it), from which the user prints it, saves it as RTF or plain text, loads another
// file and switches word wrapping. The only place where report documents reach the disk.

#include <QDialog>
#include <QFont>
#include <QMarginsF>
#include <memory>
#include <optional>
#include <string>

#include "core/io/filestamp.h"

class QAction;
class QFileDialog;
class QMenu;
class QPrinter;
class QStatusBar;
class QTextDocument;
class QTextEdit;
class QTimer;
class QToolBar;

namespace orm {

class HeightEstimate;
class Prompts;
struct ReportDocument;

// The save dialog's file types, numbered as its filter list.
enum class ReportFileType { Rtf = 1, Txt = 2 };

struct SaveAsRequest {
    QString title;     // "Запись файла"
    QString fileName;  // preset: the window caption
    QString defaultExtension;  // the name's extension without its dot ("RTF"), may be empty
    ReportFileType type = ReportFileType::Rtf;  // preset from the default extension
};

struct SaveAsAnswer {
    QString path;
    ReportFileType type = ReportFileType::Rtf;
};

// The viewer's dialogs that the Prompts interface cannot express: print and printer set-up
// work on a QPrinter, and the save dialog has a file-type switch that edits the shown name.
// Tests replace them.
class ViewerDialogs {
public:
    virtual ~ViewerDialogs() = default;
    // The print dialog; true when the user chose to print (the printer then holds the choice).
    virtual bool Print(QPrinter& printer, QWidget* parent) = 0;
    virtual void PrinterSetup(QPrinter& printer, QWidget* parent) = 0;
    virtual std::optional<SaveAsAnswer> SaveAs(const SaveAsRequest& request, QWidget* parent) = 0;
};

// QPrintDialog, QPageSetupDialog and Qt's own (not the desktop's) file dialog, whose name box
// the file-type switch can reach.
class QtViewerDialogs : public ViewerDialogs {
public:
    bool Print(QPrinter& printer, QWidget* parent) override;
    void PrinterSetup(QPrinter& printer, QWidget* parent) override;
    std::optional<SaveAsAnswer> SaveAs(const SaveAsRequest& request, QWidget* parent) override;
};

// name with its extension (from the last "." after the last path separator) replaced by ext,
// which includes its dot; a name without an extension gets ext appended.
QString ReplaceFileExt(const QString& name, const QString& ext);
// Shows the save dialog's proposed name with extension ext: the first line edit of the dialog
// that holds text gets its extension replaced; an empty name box stays empty.
void SetDialogFileExt(QFileDialog& dialog, const QString& ext);

// Its objectName stays "TF_RTF", the form name by which help index files address it.
class ReportViewer : public QDialog {
    Q_OBJECT
public:
    // dialogs: the print, printer set-up and save dialogs; nullptr for Qt's own.
    explicit ReportViewer(Prompts& prompts, ViewerDialogs* dialogs = nullptr,
                          QWidget* parent = nullptr);
    ~ReportViewer() override;

    // Plain-text mode: every load shows the file's bytes as Windows-1251 text. Otherwise RTF
    // shows as rich text and anything that is not RTF as text.
    bool PlainText() const { return m_plainText; }
    void SetPlainText(bool plain) { m_plainText = plain; }
    // Replaces the view's contents by a document's bytes, read as the mode says. A long RTF
    // document shows its beginning at once and is read on behind the view, a part at each turn
    // of the event loop, and then shown whole in its place.
    void LoadDocument(std::string bytes);
    // True while a document is still being read behind the view.
    bool Loading() const { return m_pending != nullptr; }
    // Reads the rest of the document being loaded at once and shows it whole. Whatever needs
    // the whole document (saving, printing, the export) calls it first.
    void FinishLoading();

    void OpenDocument();
    void SaveDocument();
    // Without a printer installed (and with Qt's own dialogs) it offers the PDF export instead.
    void PrintDocument();
    // "Экспорт в PDF…": the pages printing would make, on the shared printer's paper.
    void ExportPdf();
    void PrinterSetup();
    void ToggleWordWrap();

    QToolBar* ToolBar1;
    QTextEdit* RichEdit1;
    // Says what a load left out of the document; hidden when nothing was.
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction* ActionPrint;
    QAction* ActionSave;
    QAction* ActionLoad;
    QAction* ActionExit;
    QAction* ActionPrintSetup;
    QAction* ActionWordWrap;
    QAction* ActionExportPdf;

    // Keeps the window's size for the next viewer.
    void done(int result) override;

private:
    void actionsExecute(int tag);
    // Printing (or, with pdf, the export) on the document's own page when it has one.
    void printTo(bool pdf);
    void printPages(QPrinter& printer, bool ownPage, const QMarginsF& wanted);
    // A copy of the view's document with everything the view leaves out put back.
    std::unique_ptr<QTextDocument> fullDocument() const;
    // One turn of a load behind the view: a few parts, then back to the event loop.
    void loadStep();
    // Reads what is left of the pending load and shows the whole document where the view was.
    void completeLoad();
    // Puts doc (read, its parts left out in omitted) into the view.
    void showDocument(QTextDocument* doc, unsigned omitted, HeightEstimate height);

    struct PendingLoad;

    Prompts& m_prompts;
    std::unique_ptr<ViewerDialogs> m_ownDialogs;
    ViewerDialogs* m_dialogs;
    QFont m_textFont;
    bool m_plainText = false;
    bool m_spacingHidden = false;  // paragraph spacing left out of the view (too long a document)
    std::unique_ptr<PendingLoad> m_pending;  // the document being read behind the view
    QTimer* m_loadTimer;
    // The file last loaded or saved as it was then: a save over it asks when it changed since.
    std::optional<FileStamp> m_stamp;
};

// The viewer for a generated report: caption, mode and contents from the document; returns
// when the user has closed it.
void ShowReportViewer(const ReportDocument& document, QWidget* parent, Prompts& prompts,
                      ViewerDialogs* dialogs = nullptr);

}  // namespace orm
