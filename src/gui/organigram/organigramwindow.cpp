#include "gui/organigram/organigramwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "core/io/safefile.h"
#include "core/organigram/diagdata.h"
#include "core/organigram/wmfwriter.h"
#include "core/prompts/prompts.h"
#include "core/settings/programstate.h"
#include "format/textcodec.h"
#include "gui/kit/printer.h"
#include "gui/kit/uikit.h"
#include "gui/kit/windowsize.h"
#include "gui/report/printbase.h"

namespace orm {

namespace {

constexpr int kDesignWidth = 505;
constexpr int kDesignHeight = 390;
constexpr int kDesignDpi = 96;
// The fit step leaves this many pixels of the scroll box free each way.
constexpr int kFitSlack = 6;
constexpr int kZoomPercents[] = {25, 50, 75, 100, 150, 200};
// Printing: the picture starts this far from the printable corner and keeps twice that free.
constexpr double kPageOffsetMm = 5;

QIcon icon(const char* name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

FileDialogSpec MetafileDialog(const char* title, const char* defaultExtension)
{
    FileDialogSpec dialog;
    dialog.title = ToCp1251(QString::fromUtf8(title));
    dialog.filterName = ToCp1251(QStringLiteral("Метафайл"));
    dialog.filterPatterns = "*.wmf";
    dialog.defaultExtension = defaultExtension;
    return dialog;
}

// The save dialog: the metafile first, as always; the two pictures after it.
FileDialogSpec SaveDialog()
{
    FileDialogSpec dialog = MetafileDialog("Запись файла", "wmf");
    dialog.moreFilters = {{ToCp1251(QStringLiteral("Рисунок SVG")), "*.svg"},
                          {ToCp1251(QStringLiteral("Рисунок PNG")), "*.png"}};
    return dialog;
}

std::string Message(const char* utf8, const QString& path)
{
    return ToCp1251(QString::fromUtf8(utf8).arg(QDir::toNativeSeparators(path)));
}

}  // namespace

// ------------------------------------------------------------------ TPictureView

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {}

void TPictureView::SetPicture(const WmfPicture* picture)
{
    m_picture = picture;
    m_other = nullptr;
    update();
}

void TPictureView::SetPicture(const TPicture* picture)
{
    m_picture = nullptr;
    m_other = picture;
    update();
}

void TPictureView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_picture) {
        // A scrolled view repaints strips; the picture can be many times larger than they are.
        m_picture->Play(painter, QRectF(rect()), QRectF(event->rect()));
    } else if (m_other) {
        painter.setClipRect(event->rect());
        m_other->Draw(painter, QRectF(rect()));
    }
}

// ------------------------------------------------------------------ TZoomButton

TZoomButton::TZoomButton(QWidget* parent) : QToolButton(parent)
{
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QToolButton::clicked, this, [this] { emit Stepped(+1); });
}

void TZoomButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        setDown(true);
        event->accept();
        return;
    }
    QToolButton::mousePressEvent(event);
}

void TZoomButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        setDown(false);
        event->accept();
        emit Stepped(-1);
        return;
    }
    QToolButton::mouseReleaseEvent(event);
}

// ------------------------------------------------------------------ OrganigramWindow

OrganigramWindow::OrganigramWindow(Prompts& prompts, QWidget* parent, QPrinter* printer)
    : QDialog(parent), m_prompts(prompts), m_printer(printer ? printer : &SharedPrinter())
{
    setObjectName(QStringLiteral("TF_WMF"));
    RunPrintDialog = [this](QPrinter& p) {
        // Without a printer the dialog would have nothing to offer: the PDF export instead.
        if (!PrinterInstalled()) {
            if (OfferPdfInsteadOfPrinting(m_prompts))
                ExportPdf();
            return false;
        }
        QPrintDialog dialog(&p, this);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        return dialog.exec() == QDialog::Accepted;
    };
    RunPrinterSetup = [this](QPrinter& p) {
        QPageSetupDialog dialog(&p, this);
        return dialog.exec() == QDialog::Accepted;
    };
    createActions();
    createControls();
    // Sized as designed at 96 dpi and grown with the screen's font resolution.
    const double scale = static_cast<double>(logicalDpiY()) / kDesignDpi;
    resize(qRound(kDesignWidth * scale), qRound(kDesignHeight * scale));
    if (const ProgramState* state = ProgramStateOf(parent))
        RestoreWindowSize(this, state->OrganigramSize);
}

OrganigramWindow::~OrganigramWindow() = default;

void OrganigramWindow::done(int result)
{
    // Every way out (the close command, Esc, the frame's button) comes through here.
    KeepWindowSize(this, ProgramStateOf(parentWidget()), "TF_WMF");
    QDialog::done(result);
}

void OrganigramWindow::createActions()
{
    struct ActionDef {
        QAction** action;
        const char* name;
        const char* caption;
        const char* hint;
        const char* icon;
        int tag;
    };
    const ActionDef defs[] = {
        {&ActionPrint, "ActionPrint", "Печать", "Печать", "print", 1},
        {&ActionSave, "ActionSave", "Сохранить в файл", "Сохранить", "save-picture", 2},
        {&ActionLoad, "ActionLoad", "Загрузить из файла", "Загрузить", "open-picture", 3},
        {&ActionExit, "ActionExit", "Закрыть", "Закрыть", "close-window", 5},
        {&ActionPrintSetup, "ActionPrintSetup", "Настройка принтера", "Настройка принтера",
         "printer-setup", 8},
        {&ActionExportPdf, "ActionExportPdf", "Экспорт в PDF…", "Экспорт в PDF", "export-pdf",
         9},
    };
    for (const ActionDef& s : defs) {
        auto* action = new QAction(icon(s.icon), QString::fromUtf8(s.caption), this);
        action->setObjectName(QLatin1String(s.name));
        action->setToolTip(QString::fromUtf8(s.hint));
        action->setStatusTip(QString::fromUtf8(s.hint));
        action->setData(s.tag);
        const int tag = s.tag;
        connect(action, &QAction::triggered, this, [this, tag] { ActionsExecute(tag); });
        addAction(action);
        *s.action = action;
    }
    ActionExit->setShortcut(QKeySequence(Qt::Key_Escape));
    ActionExit->setShortcutContext(Qt::WindowShortcut);

    PM_Zoom = new QMenu(this);
    PM_Zoom->setObjectName(QStringLiteral("PM_Zoom"));
    auto* group = new QActionGroup(this);
    static const char* const names[kZoomSteps] = {"Z25",  "Z50",  "Z75", "Z100",
                                                  "Z150", "Z200", "ZF"};
    static const char* const captions[kZoomSteps] = {
        "25%", "50%", "75%", "100%", "150%", "200%", "Рисунок целиком"};
    for (int i = 0; i < kZoomSteps; ++i) {
        QAction* item = PM_Zoom->addAction(QString::fromUtf8(captions[i]));
        item->setObjectName(QLatin1String(names[i]));
        item->setCheckable(true);
        item->setData(i);
        group->addAction(item);
        // ZFClick: the item's tag is its step.
        connect(item, &QAction::triggered, this, [this, i] { SetZoomIndex(i); });
        ZoomItems[i] = item;
    }

    PopupMenu1 = MakeDocumentPopupMenu(this, {ActionPrint, ActionPrintSetup, ActionExportPdf,
                                              ActionSave, ActionLoad, ActionExit});
}

void OrganigramWindow::createControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto buttonFor = [this](QAction* action, const char* name) {
        auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action));
        if (button) button->setObjectName(QLatin1String(name));
        return button;
    };
    ToolBar1->addAction(ActionPrint);
    ToolButton1 = buttonFor(ActionPrint, "ToolButton1");
    ToolBar1->addAction(ActionExportPdf);
    ToolBar1->addAction(ActionSave);
    ToolButton3 = buttonFor(ActionSave, "ToolButton3");
    ToolBar1->addAction(ActionLoad);
    ToolButton4 = buttonFor(ActionLoad, "ToolButton4");
    ToolBar1->addSeparator();
    ToolButtonZoom = new TZoomButton(ToolBar1);
    ToolButtonZoom->setObjectName(QStringLiteral("ToolButtonZoom"));
    ToolButtonZoom->setIcon(icon("zoom"));
    ToolButtonZoom->setToolTip(QStringLiteral("Масштаб"));
    ToolButtonZoom->setAutoRaise(true);
    ToolButtonZoom->setMenu(PM_Zoom);
    ToolButtonZoom->setPopupMode(QToolButton::MenuButtonPopup);
    connect(ToolButtonZoom, &TZoomButton::Stepped, this,
            [this](int delta) { SetZoomIndex(m_zoomIndex + delta); });
    ToolBar1->addWidget(ToolButtonZoom);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionExit);
    ToolButton5 = buttonFor(ActionExit, "ToolButton5");
    layout->addWidget(ToolBar1);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette white = ScrollBox1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    ScrollBox1->setPalette(white);
    ScrollBox1->setBackgroundRole(QPalette::Base);
    ScrollBox1->viewport()->setAutoFillBackground(true);
    ScrollBox1->installEventFilter(this);

    Image1 = new TPictureView;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Image1->mapToGlobal(at)); });
    ScrollBox1->setWidget(Image1);
    layout->addWidget(ScrollBox1, 1);
}

bool OrganigramWindow::eventFilter(QObject* watched, QEvent* event)
{
    // ScrollBox1Resize: the fit step follows the scroll box.
    if (watched == ScrollBox1 && event->type() == QEvent::Resize && m_zoomIndex == kFitZoom)
        ApplyZoom();
    return QDialog::eventFilter(watched, event);
}

void OrganigramWindow::BuildPicture(const TDiagDataPrim& diagram)
{
    const std::string bytes = BuildOrganigramWmf(diagram);
    SetPicture(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    m_topText = diagram.Count() > 0 ? FromCp1251(diagram.Strings(0)) : QString();
}

bool OrganigramWindow::SetPicture(const QByteArray& bytes)
{
    std::optional<WmfPicture> picture = WmfPicture::Parse(bytes);
    if (!picture) return false;
    m_picture = std::move(picture);
    m_other = TPicture();
    m_otherBytes.clear();
    m_topText.clear();
    Image1->SetPicture(&*m_picture);
    ApplyZoom();
    return true;
}

void OrganigramWindow::SetZoomIndex(int index)
{
    m_zoomIndex = ((index % kZoomSteps) + kZoomSteps) % kZoomSteps;
    ApplyZoom();
}

void OrganigramWindow::ApplyZoom()
{
    for (QAction* item : ZoomItems) item->setChecked(false);
    ZoomItems[m_zoomIndex]->setChecked(true);

    if (!HasPicture()) return;
    const QSize natural = NaturalSize();
    int percent = 100;
    if (m_zoomIndex < kFitZoom) {
        percent = kZoomPercents[m_zoomIndex];
    } else if (natural.width() > 0 && natural.height() > 0) {
        // Rounded down: a scale rounded up could overshoot the box and bring scroll bars.
        percent = std::min((ScrollBox1->width() - kFitSlack) * 100 / natural.width(),
                           (ScrollBox1->height() - kFitSlack) * 100 / natural.height());
        percent = std::max(percent, 0);
    }
    m_zoomPercent = percent;
    Image1->setFixedSize(MulDivRound(natural.width(), percent, 100),
                         MulDivRound(natural.height(), percent, 100));
    Image1->update();
}

void OrganigramWindow::ActionsExecute(int tag)
{
    switch (tag) {
        case 1:
            Print();
            break;
        case 2:
            SavePicture();
            break;
        case 3:
            LoadPicture();
            break;
        case 5:
            close();
            break;
        case 8:
            RunPrinterSetup(*m_printer);
            break;
        case 9:
            ExportPdf();
            break;
        default:
            break;
    }
}

void OrganigramWindow::Print()
{
    // The dialog offers one copy each time; copies are made by the page loop, and a printer
    // that made them as well would multiply them.
    m_printer->setCopyCount(1);
    m_printer->setDocName(PrintJobName(windowTitle()));
    if (!RunPrintDialog(*m_printer)) return;
    const int copies = std::max(1, m_printer->copyCount());
    m_printer->setCopyCount(1);
    PrintPicture(*m_printer, copies);
}

bool OrganigramWindow::PrintPicture(QPrinter& printer, int copies)
{
    if (!HasPicture()) return false;
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    for (int i = 0; i < copies; ++i) {
        if (i > 0) printer.newPage();
        DrawOnPage(painter, printer);
    }
    return painter.end();
}

void OrganigramWindow::ExportPdf()
{
    AskAndExportPdf(m_prompts, *m_printer, windowTitle(),
                    [this](QPrinter& pdf) { return PrintPicture(pdf, 1); });
}

QSize OrganigramWindow::NaturalSize() const
{
    if (m_picture) return m_picture->SizeAtDpi(Image1->logicalDpiX(), Image1->logicalDpiY());
    return QSize(MulDivRound(m_other.Size().width(), Image1->logicalDpiX(), 96),
                 MulDivRound(m_other.Size().height(), Image1->logicalDpiY(), 96));
}

void OrganigramWindow::DrawAt(QPainter& painter, const QSize& size) const
{
    const QRectF target(QPointF(0, 0), QSizeF(size));
    if (m_picture)
        m_picture->Play(painter, target);
    else
        m_other.Draw(painter, target);
}

QByteArray OrganigramWindow::RenderSvg(const QString& title) const
{
    const QSize size = HasPicture() ? NaturalSize() : QSize();
    if (size.isEmpty()) return QByteArray();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(Image1->logicalDpiX());
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("Ормелит"));
    QPainter painter;
    if (!painter.begin(&svg)) return QByteArray();
    DrawAt(painter, size);
    painter.end();
    return buffer.data();
}

QByteArray OrganigramWindow::RenderPng() const
{
    const QSize size = HasPicture() ? NaturalSize() : QSize();
    if (size.isEmpty()) return QByteArray();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return QByteArray();  // too large to hold in memory
    const int dpm = qRound(Image1->logicalDpiX() / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        DrawAt(painter, size);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return QByteArray();
    return buffer.data();
}

void OrganigramWindow::DrawOnPage(QPainter& painter, QPrinter& printer) const
{
    if (!HasPicture()) return;
    // Millimetres of the printable area; the painter's origin is its top-left corner.
    const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const double availableWidth = printable.width() - 2 * kPageOffsetMm;
    const double availableHeight = printable.height() - 2 * kPageOffsetMm;
    if (availableWidth <= 0 || availableHeight <= 0) return;
    const QSizeF size = m_picture ? m_picture->PhysicalSizeMm()
                                  : QSizeF(m_other.Size()) * (25.4 / 96);
    if (size.width() <= 0 || size.height() <= 0) return;
    double width = size.width();
    double height = size.height();
    if (width > availableWidth || height > availableHeight) {
        if (height / availableHeight >= width / availableWidth) {
            width = size.width() * availableHeight / size.height();
            height = availableHeight;
        } else {
            height = size.height() * availableWidth / size.width();
            width = availableWidth;
        }
    }
    const double pxPerMmX = printer.logicalDpiX() / 25.4;
    const double pxPerMmY = printer.logicalDpiY() / 25.4;
    const QRectF target(kPageOffsetMm * pxPerMmX, kPageOffsetMm * pxPerMmY, width * pxPerMmX,
                        height * pxPerMmY);
    if (m_picture)
        m_picture->Play(painter, target);
    else
        m_other.Draw(painter, target);
}

void OrganigramWindow::SavePicture()
{
    const std::optional<std::string> path = m_prompts.SaveFileName(SaveDialog());
    if (!path) return;
    // Without a picture nothing is written, so there is nothing to ask about.
    if (HasPicture() && !MayReplaceFile(m_stamp, *path, m_prompts)) return;
    const QString name = QString::fromStdString(*path);
    setWindowTitle(QDir::toNativeSeparators(name));
    if (!HasPicture()) return;
    // The kind by the name's extension; any other name is a metafile, the window's own kind.
    const QString suffix = QFileInfo(name).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("svg"))
        // Titled by what the chart shows; a loaded picture by its file's name.
        bytes = RenderSvg(m_topText.isEmpty() ? QFileInfo(name).completeBaseName() : m_topText);
    else if (suffix == QLatin1String("png"))
        bytes = RenderPng();
    else
        bytes = m_picture ? m_picture->PlaceableBytes() : m_otherBytes;
    FileStamp written;
    if (bytes.isEmpty() ||
        !WriteFileAtomically(*path,
                             std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                             nullptr, &written))
        m_prompts.Inform(Message("Не удается записать файл \"%1\".", name));
    else
        m_stamp = std::move(written);
}

void OrganigramWindow::LoadPicture()
{
    const std::optional<std::string> path =
        m_prompts.OpenFileName(MetafileDialog("Открытие файла", ""));
    if (!path) return;
    const QString name = QString::fromStdString(*path);
    setWindowTitle(QDir::toNativeSeparators(name));
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        m_prompts.Inform(Message("Не удается открыть файл \"%1\".", name));
        return;
    }
    if (file.size() > WmfPicture::kMaxFileBytes) {
        m_prompts.Inform(
            Message("Файл \"%1\" не является метафайлом Windows или поврежден.", name));
        return;
    }
    std::optional<FileStamp> stamp = FileStamp::OfOpenFile(file.handle(), *path);
    const QByteArray bytes = file.readAll();
    if (SetPicture(bytes)) {
        m_stamp = std::move(stamp);
        return;
    }
    // Another kind of picture the program reads is shown like a metafile.
    std::optional<TPicture> other = ReadPictureFile(name);
    if (!other || other->IsEmpty()) {
        m_prompts.Inform(
            Message("Файл \"%1\" не является метафайлом Windows или поврежден.", name));
        return;
    }
    m_picture.reset();
    m_other = std::move(*other);
    m_otherBytes = bytes;
    m_topText.clear();
    m_stamp = std::move(stamp);
    Image1->SetPicture(&m_other);
    ApplyZoom();
}

void ShowOrganigram(const TDiagDataPrim& diagram, const QString& caption, QWidget* parent,
                    Prompts& prompts, QPrinter* printer)
{
    OrganigramWindow window(prompts, parent, printer);
    window.SetZoomIndex(OrganigramWindow::kFitZoom);
    window.BuildPicture(diagram);
    window.setWindowTitle(caption);
    window.exec();
}

}  // namespace orm
