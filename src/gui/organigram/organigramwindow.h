#pragma once

// The organigram window: one metafile picture shown at seven zoom steps, printed or exported
// to PDF, saved to a ".wmf" file (or drawn into an SVG or PNG picture) or replaced by one
// loaded from a file. Modal, made for one use; it keeps its last size in the settings file.

#include <QDialog>
#include <QToolButton>
#include <functional>
#include <optional>

#include "core/io/filestamp.h"
#include "format/pictureloader.h"
#include "format/wmfplayer.h"

class QAction;
class QMenu;
class QPrinter;
class QScrollArea;
class QToolBar;

namespace orm {

class Prompts;
class TDiagDataPrim;

// The image control: the picture stretched to the control's size.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    explicit TPictureView(QWidget* parent = nullptr);
    void SetPicture(const WmfPicture* picture);
    // A picture of another kind, shown like a metafile.
    void SetPicture(const TPicture* picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const WmfPicture* m_picture = nullptr;
    const TPicture* m_other = nullptr;
};

// The zoom button: a left click steps the zoom up, a right click down; the arrow opens the
// menu of steps.
class TZoomButton : public QToolButton {
    Q_OBJECT
public:
    explicit TZoomButton(QWidget* parent = nullptr);

signals:
    void Stepped(int delta);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Its objectName stays "TF_WMF", the form name by which help index files address it.
class OrganigramWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kZoomSteps = 7;
    static constexpr int kFitZoom = 6;

    // printer: nullptr for the program's shared printer.
    explicit OrganigramWindow(Prompts& prompts, QWidget* parent = nullptr,
                              QPrinter* printer = nullptr);
    ~OrganigramWindow() override;

    // The organigram as a placeable metafile (0.1 mm per unit) becomes the picture.
    void BuildPicture(const TDiagDataPrim& diagram);
    // Replaces the picture by the metafile in bytes and applies the zoom; false, with the old
    // picture kept, when bytes are not a metafile.
    bool SetPicture(const QByteArray& bytes);
    const std::optional<WmfPicture>& Picture() const { return m_picture; }

    int ZoomIndex() const { return m_zoomIndex; }
    // Sets the step (wrapping around the seven) and applies it.
    void SetZoomIndex(int index);
    void ApplyZoom();
    // The scale of the current step in percent (for the fit step, the one it came to).
    int ZoomPercent() const { return m_zoomPercent; }

    void ActionsExecute(int tag);
    // Prints copies of the picture, one page each, on printer; no dialog. False when there was
    // nothing to print or the printer could not start.
    bool PrintPicture(QPrinter& printer, int copies);
    // The picture at its natural size (100 %, whatever the zoom shown), as SVG or PNG file
    // bytes; empty without one.
    QByteArray RenderSvg(const QString& title) const;
    QByteArray RenderPng() const;

    // The print and printer setup dialogs; tests replace them. True when confirmed.
    std::function<bool(QPrinter&)> RunPrintDialog;
    std::function<bool(QPrinter&)> RunPrinterSetup;

    QToolBar* ToolBar1;
    QToolButton* ToolButton1;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    TZoomButton* ToolButtonZoom;
    QToolButton* ToolButton5;
    QScrollArea* ScrollBox1;
    TPictureView* Image1;
    QMenu* PopupMenu1;
    QMenu* PM_Zoom;
    QAction* ActionPrint;
    QAction* ActionSave;
    QAction* ActionLoad;
    QAction* ActionExit;
    QAction* ActionPrintSetup;
    QAction* ActionExportPdf;
    QAction* ZoomItems[kZoomSteps];

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createControls();
    void Print();
    void ExportPdf();
    void SavePicture();
    // The picture at 100 % on this screen.
    QSize NaturalSize() const;
    // The picture drawn by the metafile player into painter's device at size.
    void DrawAt(QPainter& painter, const QSize& size) const;
    void LoadPicture();
    void DrawOnPage(QPainter& painter, QPrinter& printer) const;
    bool HasPicture() const { return m_picture || !m_other.IsEmpty(); }

    Prompts& m_prompts;
    QPrinter* m_printer;
    std::optional<WmfPicture> m_picture;
    // A loaded picture of another kind (EMF, bitmap, icon) and its file's bytes, which a save
    // writes back as they were; empty while the picture is a Windows metafile.
    TPicture m_other;
    QByteArray m_otherBytes;
    // The organigram's top text, the title of its SVG; empty for a loaded picture.
    QString m_topText;
    int m_zoomIndex = kFitZoom;
    int m_zoomPercent = 100;
    // The file last loaded or saved as it was then: a save over it asks when it changed since.
    std::optional<FileStamp> m_stamp;
};

// Shows the organigram in a modal organigram window titled caption and returns when it closes.
void ShowOrganigram(const TDiagDataPrim& diagram, const QString& caption, QWidget* parent,
                    Prompts& prompts, QPrinter* printer = nullptr);

}  // namespace orm
