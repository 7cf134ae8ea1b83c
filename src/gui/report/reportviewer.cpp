#include "gui/report/reportviewer.h"

#include <QAction>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <climits>

#include "core/io/safefile.h"
#include "core/prompts/prompts.h"
#include "core/report/reportgen.h"
#include "core/settings/programstate.h"
#include "format/rtfdocument.h"
#include "format/rtfreader.h"
#include "format/rtfwriter.h"
#include "format/textcodec.h"
#include "gui/kit/printer.h"
#include "gui/kit/uikit.h"
#include "gui/kit/windowsize.h"
#include "gui/report/reportlinks.h"

namespace orm {

namespace {

// Reports keep at least 20 mm of paper free on every side (a document with a page of its own,
// its own margins), whatever smaller margins the shared printer has (the printer setup may ask
// for more). The page is laid out in screen pixels.
void keepReportMargins(QTextDocument& document, const QPrinter& printer, qreal dpi,
                       const QMarginsF& wanted = QMarginsF(20, 20, 20, 20))
{
    const QMarginsF has = printer.pageLayout().margins(QPageLayout::Millimeter);
    QTextFrameFormat format = document.rootFrame()->frameFormat();
    auto extra = [dpi](qreal want, qreal millimetres) {
        return std::max(0.0, want - millimetres) * dpi / 25.4;
    };
    format.setLeftMargin(format.leftMargin() + extra(wanted.left(), has.left()));
    format.setRightMargin(format.rightMargin() + extra(wanted.right(), has.right()));
    format.setTopMargin(format.topMargin() + extra(wanted.top(), has.top()));
    format.setBottomMargin(format.bottomMargin() + extra(wanted.bottom(), has.bottom()));
    document.rootFrame()->setFrameFormat(format);
}

constexpr qreal kMmPerTwip = 25.4 / 1440;

// The document's page on the printer: its paper, orientation and margins.
QMarginsF applyPage(QPrinter& printer, const rtf::Page& page)
{
    const qreal w = page.paperWidth * kMmPerTwip;
    const qreal h = page.paperHeight * kMmPerTwip;
    const bool landscape = w > h || (w == h && page.landscape);
    printer.setPageSize(QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const QMarginsF margins(page.left * kMmPerTwip, page.top * kMmPerTwip,
                            page.right * kMmPerTwip, page.bottom * kMmPerTwip);
    // Margins below what the printer can print on are made up on the document's side.
    printer.setPageMargins(margins, QPageLayout::Millimeter);
    return margins;
}

// What a load left out, in words, for the status line.
QString omittedText(unsigned omitted)
{
    QStringList parts;
    if (omitted & kRtfOmittedAnnotations)
        parts << QStringLiteral("примечания");
    if (omitted & kRtfOmittedDrawings)
        parts << QStringLiteral("графические объекты");
    if (parts.isEmpty())
        return QString();
    return QStringLiteral("Документ упрощён: не показаны и не будут сохранены ") +
           parts.join(QStringLiteral(", ")) + QChar('.');
}

// Design sizes in pixels at 96 dpi; the viewer grows with the screen's font size.
constexpr int kDesignWidth = 500;
constexpr int kDesignHeight = 394;
constexpr int kDesignButton = 25;
constexpr qreal kTextPoints = 9.75;  // the view's 13-pixel font at 96 dpi

QIcon icon(const char* name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

QString extensionOf(const QString& name)
{
    const qsizetype slash = std::max(name.lastIndexOf(QChar('/')), name.lastIndexOf(QChar('\\')));
    const qsizetype dot = name.lastIndexOf(QChar('.'));
    return dot > slash ? name.mid(dot + 1) : QString();
}

// Windows line ends (and lone CRs) as the paragraph breaks of the plain-text view.
QString textOf(const std::string& bytes, TextFileDecoding* how)
{
    QString text = DecodeTextFile(bytes, how);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

// The view's text as a TXT file: Windows-1251 when it holds every character, else as the user
// chooses, UTF-8 (with its byte-order mark, so that Windows programs know it) or Windows-1251
// with "?" for what it lacks; nothing when the user cancels.
std::optional<std::string> plainTextToSave(const QTextDocument& doc, Prompts& prompts)
{
    const QString text = PlainText(doc);
    if (Cp1251Representable(text) == text)
        return ToCp1251(text);
    switch (prompts.AskYesNoCancel(ToCp1251(
        QStringLiteral("В тексте есть знаки, которых нет в кодировке Windows-1251: при записи в "
                       "ней они заменятся знаком «?».\nЗаписать файл в кодировке UTF-8?")))) {
    case Prompts::Answer::Yes:
        return "\xEF\xBB\xBF" + text.toUtf8().toStdString();
    case Prompts::Answer::No:
        return ToCp1251(text);
    default:
        return std::nullopt;
    }
}

// Qt 6.4 lays out a document without pages as one page of 2^23 pixels (QFIXED_MAX), and a
// paragraph with spacing before or after it below that line sends the layout into an endless
// loop. A document that may grow that tall is shown without that spacing; each paragraph keeps
// its spacing in these two properties, and gets it back for saving and printing.
constexpr int kSpacingBefore = QTextFormat::UserProperty + 1;
constexpr int kSpacingAfter = QTextFormat::UserProperty + 2;
constexpr qreal kSafeHeight = 7.0e6;  // pixels, below the 8 388 607 of the limit

// Moves every paragraph's spacing before and after into kSpacingBefore and kSpacingAfter, or
// back.
void showSpacing(QTextDocument& doc, bool show)
{
    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        if (show) {
            if (!f.hasProperty(kSpacingBefore))
                continue;
            f.setTopMargin(f.doubleProperty(kSpacingBefore));
            f.setBottomMargin(f.doubleProperty(kSpacingAfter));
            f.clearProperty(kSpacingBefore);
            f.clearProperty(kSpacingAfter);
        } else {
            if (f.topMargin() == 0 && f.bottomMargin() == 0)
                continue;
            f.setProperty(kSpacingBefore, f.topMargin());
            f.setProperty(kSpacingAfter, f.bottomMargin());
            f.setTopMargin(0);
            f.setBottomMargin(0);
        }
        cursor.setPosition(b.position());
        cursor.setBlockFormat(f);
    }
    cursor.endEditBlock();
}

// A long document is read in parts of this many paragraphs: the first part shows at once, and
// each turn of the event loop reads parts for up to kLoadSliceMs.
constexpr long kFirstPart = 400;
constexpr long kLoadPart = 250;
constexpr qint64 kLoadSliceMs = 25;

}  // namespace

// The height of a document laid out without wrapping, a little over rather than under; summed
// a block at a time, so that a document read in parts is measured as it grows.
class HeightEstimate {
public:
    // Adds the blocks after the ones added so far, up to end (exclusive; invalid: all).
    void add(const QTextDocument& doc, const QPaintDevice* device, const QTextBlock& end = {})
    {
        const QList<QTextFormat> formats = doc.allFormats();
        m_lineHeights.resize(static_cast<size_t>(formats.size()), 0);  // 0: not yet known
        auto lineHeight = [&](int index) {
            if (index < 0 || index >= formats.size())
                return qreal(0);
            qreal& h = m_lineHeights[static_cast<size_t>(index)];
            if (h == 0) {
                const QFont font = formats[index].toCharFormat().font().resolve(doc.defaultFont());
                h = QFontMetricsF(font, device).height();
            }
            return h;
        };
        QTextBlock b = doc.findBlockByNumber(m_blocks);
        for (; b.isValid() && b != end; b = b.next(), ++m_blocks) {
            qreal line = lineHeight(b.charFormatIndex());
            qsizetype lines = 1;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                line = std::max(line, lineHeight(fragment.charFormatIndex()));
                lines += fragment.text().count(QChar(QChar::LineSeparator));
            }
            const QTextBlockFormat f = b.blockFormat();
            if (f.lineHeightType() == QTextBlockFormat::ProportionalHeight)
                line = line * std::max<qreal>(100, f.lineHeight()) / 100;
            else if (f.lineHeightType() != QTextBlockFormat::SingleHeight)
                line = std::max(line, f.lineHeight());
            m_height += f.topMargin() + f.bottomMargin() + 1.05 * line * static_cast<qreal>(lines);
        }
    }
    qreal height() const { return m_height; }

private:
    int m_blocks = 0;  // blocks added
    qreal m_height = 0;
    std::vector<qreal> m_lineHeights;  // by format index
};

// The document of a load, read away from the view, where no layout follows each part. In this
// order the reader goes before the document it fills, and both before the bytes they read.
struct ReportViewer::PendingLoad {
    std::string bytes;
    std::unique_ptr<QTextDocument> doc;
    std::unique_ptr<RtfReader> reader;
    HeightEstimate height;  // of the blocks that are complete
};

QString ReplaceFileExt(const QString& name, const QString& ext)
{
    const QString old = extensionOf(name);
    if (old.isEmpty() && !name.endsWith(QChar('.')))
        return name + ext;
    return name.left(name.size() - old.size() - 1) + ext;
}

void SetDialogFileExt(QFileDialog& dialog, const QString& ext)
{
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        if (edit->text().isEmpty())
            continue;
        edit->setText(ReplaceFileExt(edit->text(), ext));
        return;
    }
}

bool QtViewerDialogs::Print(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void QtViewerDialogs::PrinterSetup(QPrinter& printer, QWidget* parent)
{
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
}

std::optional<SaveAsAnswer> QtViewerDialogs::SaveAs(const SaveAsRequest& request, QWidget* parent)
{
    QFileDialog dialog(parent, request.title);
    // The desktop's own dialog would hide the name box from the file-type switch.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {QStringLiteral("Файл RTF (*.rtf)"),
                                 QStringLiteral("Файл TXT (*.txt)")};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[request.type == ReportFileType::Rtf ? 0 : 1]);
    dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const qsizetype index = filters.indexOf(filter);
        if (index < 0)
            return;
        const QString ext = index == 0 ? QStringLiteral("rtf") : QStringLiteral("txt");
        dialog.setDefaultSuffix(ext);
        SetDialogFileExt(dialog, QChar('.') + ext);
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    SaveAsAnswer answer;
    answer.path = dialog.selectedFiles().constFirst();
    answer.type = filters.indexOf(dialog.selectedNameFilter()) == 1 ? ReportFileType::Txt
                                                                     : ReportFileType::Rtf;
    return answer;
}

ReportViewer::ReportViewer(Prompts& prompts, ViewerDialogs* dialogs, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_dialogs(dialogs)
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<QtViewerDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("TF_RTF"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowIcon(icon("report"));
    const qreal scale = logicalDpiY() / 96.0;
    resize(qRound(kDesignWidth * scale), qRound(kDesignHeight * scale));
    if (const ProgramState* state = ProgramStateOf(parent))
        RestoreWindowSize(this, state->ReportViewerSize);

    struct Def {
        QAction*& action;
        const char* name;
        const char* caption;
        const char* hint;
        const char* image;
        int tag;
    };
    const Def defs[] = {
        {ActionPrint, "ActionPrint", "Печать", "Печать", "print", 1},
        {ActionSave, "ActionSave", "Сохранить в файл", "Сохранить", "file-save", 2},
        {ActionLoad, "ActionLoad", "Загрузить из файла", "Загрузить", "file-open", 3},
        {ActionExit, "ActionExit", "Закрыть", "Закрыть", "close-window", 5},
        {ActionPrintSetup, "ActionPrintSetup", "Настройка принтера", "Настройка принтера",
         "printer-setup", 8},
        {ActionWordWrap, "ActionWordWrap", "Переносить по словам", nullptr, "word-wrap", 9},
        {ActionExportPdf, "ActionExportPdf", "Экспорт в PDF…", "Экспорт в PDF", "export-pdf",
         10},
    };
    for (const Def& d : defs) {
        auto* a = new QAction(icon(d.image), QString::fromUtf8(d.caption), this);
        a->setObjectName(QString::fromLatin1(d.name));
        a->setToolTip(d.hint ? QString::fromUtf8(d.hint) : QString());
        a->setData(d.tag);
        addAction(a);
        const int tag = d.tag;
        connect(a, &QAction::triggered, this, [this, tag] { actionsExecute(tag); });
        d.action = a;
    }
    ActionExit->setShortcut(QKeySequence(Qt::Key_Escape));
    ActionExit->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ActionWordWrap->setCheckable(true);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(qRound(18 * scale), qRound(18 * scale)));
    ToolBar1->setStyleSheet(QStringLiteral("QToolButton { min-width: %1px; }")
                                .arg(qRound((kDesignButton - 6) * scale)));
    ToolBar1->addAction(ActionPrint);
    ToolBar1->addAction(ActionExportPdf);
    ToolBar1->addAction(ActionSave);
    ToolBar1->addAction(ActionLoad);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionExit);

    PopupMenu1 = MakeDocumentPopupMenu(this, {ActionPrint, ActionPrintSetup, ActionExportPdf,
                                              ActionSave, ActionLoad, ActionExit});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionWordWrap);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setUndoRedoEnabled(false);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The plain-text font: the desktop's own face, bold. Points, not pixels, so that it grows
    // with the screen's font size and prints at the same size.
    m_textFont = QApplication::font();
    m_textFont.setPointSizeF(kTextPoints);
    m_textFont.setBold(true);
    RichEdit1->setFont(m_textFont);
    RichEdit1->document()->setDefaultFont(m_textFont);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    new ReportLinks(RichEdit1, m_prompts, [this] {
        const QFileInfo file(windowTitle());
        return file.isAbsolute() ? file.absolutePath() : QString();
    });
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->exec(RichEdit1->viewport()->mapToGlobal(pos));
    });

    // Shown only when a load left parts of the document out.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(StatusBar1);

    m_loadTimer = new QTimer(this);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &ReportViewer::loadStep);
}

ReportViewer::~ReportViewer()
{
    m_loadTimer->stop();
    m_pending.reset();
}

void ReportViewer::done(int result)
{
    // Every way out (the close command, Esc, the frame's button) comes through here.
    KeepWindowSize(this, ProgramStateOf(parentWidget()), "TF_RTF");
    QDialog::done(result);
}

void ReportViewer::actionsExecute(int tag)
{
    switch (tag) {
    case 1:
        PrintDocument();
        break;
    case 2:
        SaveDocument();
        break;
    case 3:
        OpenDocument();
        break;
    case 5:
        close();
        break;
    case 8:
        PrinterSetup();
        break;
    case 9:
        ToggleWordWrap();
        break;
    case 10:
        ExportPdf();
        break;
    default:
        break;
    }
}

void ReportViewer::LoadDocument(std::string bytes)
{
    // A load still under way gives way to this one.
    m_loadTimer->stop();
    m_pending.reset();
    // A new document is filled away from the view and swapped in, so that a long report is
    // laid out once and not after every paragraph.
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(m_textFont);
    doc->setUndoRedoEnabled(false);
    if (m_plainText || !LooksLikeRtf(bytes)) {
        TextFileDecoding how;
        doc->setPlainText(textOf(bytes, &how));
        showDocument(doc.release(), 0, HeightEstimate());
        if (how.replaced > 0) {
            StatusBar1->showMessage(
                QStringLiteral("Файл прочитан в кодировке UTF-8; байтов не в UTF-8: %1, они "
                               "показаны знаком «\uFFFD».")
                    .arg(how.replaced));
            StatusBar1->show();
        }
        return;
    }
    auto pending = std::make_unique<PendingLoad>();
    pending->bytes = std::move(bytes);
    pending->doc = std::move(doc);
    pending->reader = std::make_unique<RtfReader>(pending->bytes, *pending->doc);
    if (pending->reader->ReadSome(kFirstPart)) {
        const unsigned omitted = pending->reader->Info().omitted;
        pending->reader.reset();
        showDocument(pending->doc.release(), omitted, HeightEstimate());
        return;
    }
    // The beginning shows at once, in a copy; the rest is read on behind it.
    showDocument(pending->doc->clone(), 0, HeightEstimate());
    StatusBar1->showMessage(QStringLiteral("Документ загружается…"));
    StatusBar1->show();
    m_pending = std::move(pending);
    m_loadTimer->start();
}

void ReportViewer::showDocument(QTextDocument* doc, unsigned omitted, HeightEstimate height)
{
    const QString text = omittedText(omitted);
    StatusBar1->showMessage(text);
    StatusBar1->setVisible(!text.isEmpty());
    height.add(*doc, RichEdit1);
    m_spacingHidden = height.height() > kSafeHeight;
    if (m_spacingHidden)
        showSpacing(*doc, false);
    // The edit deletes the document it made itself; one of ours is deleted here.
    doc->setParent(RichEdit1);
    QTextDocument* old = RichEdit1->document();
    const bool ours = old && old->parent() == RichEdit1;
    RichEdit1->setDocument(doc);
    if (ours)
        delete old;
}

void ReportViewer::loadStep()
{
    if (!m_pending) {
        m_loadTimer->stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    bool end = false;
    do
        end = m_pending->reader->ReadSome(kLoadPart);
    while (!end && clock.elapsed() < kLoadSliceMs);
    // Measured as it grows, not all at the end; the last block may still grow.
    m_pending->height.add(*m_pending->doc, RichEdit1, m_pending->doc->lastBlock());
    if (end)
        completeLoad();
}

void ReportViewer::FinishLoading()
{
    if (!m_pending)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    completeLoad();
    QApplication::restoreOverrideCursor();
}

void ReportViewer::completeLoad()
{
    m_loadTimer->stop();
    const std::unique_ptr<PendingLoad> pending = std::move(m_pending);
    while (!pending->reader->ReadSome(LONG_MAX)) {
    }
    const unsigned omitted = pending->reader->Info().omitted;
    pending->reader.reset();
    // The whole document takes the beginning's place as the user left it: the selection, and
    // the first paragraph at the top of the view.
    const int anchor = RichEdit1->textCursor().anchor();
    const int position = RichEdit1->textCursor().position();
    const int top = RichEdit1->verticalScrollBar()->value() > 0
                        ? RichEdit1->cursorForPosition(QPoint(0, 0)).position()
                        : -1;
    const int left = RichEdit1->horizontalScrollBar()->value();
    QTextDocument* doc = pending->doc.release();
    showDocument(doc, omitted, pending->height);
    if (anchor > 0 || position > 0) {
        QTextCursor same(doc);
        same.setPosition(std::min(anchor, doc->characterCount() - 1));
        same.setPosition(std::min(position, doc->characterCount() - 1), QTextCursor::KeepAnchor);
        RichEdit1->setTextCursor(same);
    }
    if (top >= 0) {
        // Laid out down to there first: the view lays a new document out lazily.
        const QTextBlock block = doc->findBlock(top);
        const qreal y = doc->documentLayout()->blockBoundingRect(block).top();
        QScrollBar* bar = RichEdit1->verticalScrollBar();
        bar->setMaximum(std::max(bar->maximum(), qRound(y)));
        bar->setValue(qRound(y));
    }
    if (left > 0) {
        QScrollBar* bar = RichEdit1->horizontalScrollBar();
        bar->setMaximum(std::max(bar->maximum(), left));
        bar->setValue(left);
    }
}

void ReportViewer::OpenDocument()
{
    FileDialogSpec spec;
    spec.title = ToCp1251(QStringLiteral("Открытие файла"));
    spec.filterName = ToCp1251(QStringLiteral("Файл TXT"));
    spec.filterPatterns = "*.txt";
    spec.moreFilters = {{ToCp1251(QStringLiteral("Файл RTF")), "*.rtf"},
                        {ToCp1251(QStringLiteral("Все файлы")), "*"}};
    const std::optional<std::string> path = m_prompts.OpenFileName(spec);
    if (!path)
        return;
    const QString name = QString::fromStdString(*path);
    QFile file(name);
    QByteArray data;
    std::optional<FileStamp> stamp;
    if (file.open(QIODevice::ReadOnly)) {
        stamp = FileStamp::OfOpenFile(file.handle(), *path);
        data = file.readAll();
    }
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        m_prompts.Inform(ToCp1251(QStringLiteral("Не удалось прочитать файл\n") + name));
        return;
    }
    setWindowTitle(name);
    m_stamp = std::move(stamp);
    LoadDocument(data.toStdString());
}

void ReportViewer::SaveDocument()
{
    SaveAsRequest request;
    request.title = QStringLiteral("Запись файла");
    request.fileName = windowTitle();
    request.defaultExtension = extensionOf(request.fileName);
    request.type = request.defaultExtension.compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0
                       ? ReportFileType::Rtf
                       : ReportFileType::Txt;
    const std::optional<SaveAsAnswer> answer = m_dialogs->SaveAs(request, this);
    if (!answer)
        return;
    const std::string path = QFile::encodeName(answer->path).toStdString();
    if (!MayReplaceFile(m_stamp, path, m_prompts))
        return;
    FinishLoading();
    const bool rtf = answer->type == ReportFileType::Rtf;
    std::string bytes;
    if (!rtf) {
        const std::optional<std::string> text = plainTextToSave(*RichEdit1->document(), m_prompts);
        if (!text)
            return;
        bytes = *text;
    } else if (m_spacingHidden)
        bytes = WriteRtf(*fullDocument());
    else
        bytes = WriteRtf(*RichEdit1->document());
    // The program's one safe save: a failed or killed save keeps the file that was there.
    FileStamp written;
    if (!WriteFileAtomically(path, bytes, nullptr, &written)) {
        m_prompts.Inform(ToCp1251(QStringLiteral("Не удалось записать файл\n") + answer->path));
        return;
    }
    m_stamp = std::move(written);
    setWindowTitle(answer->path);
    m_plainText = !rtf;
}

std::unique_ptr<QTextDocument> ReportViewer::fullDocument() const
{
    std::unique_ptr<QTextDocument> copy(RichEdit1->document()->clone());
    if (m_spacingHidden)
        showSpacing(*copy, true);
    return copy;
}

void ReportViewer::PrintDocument()
{
    // Without a printer the print dialog has nothing to offer: the PDF export instead.
    if (m_ownDialogs && !PrinterInstalled()) {
        if (OfferPdfInsteadOfPrinting(m_prompts))
            ExportPdf();
        return;
    }
    printTo(false);
}

void ReportViewer::ExportPdf()
{
    printTo(true);
}

void ReportViewer::printTo(bool pdf)
{
    FinishLoading();
    QPrinter& p = SharedPrinter();
    p.setDocName(PrintJobName(windowTitle()));
    // A document with a page of its own prints on that page; the printer gets its own page
    // back afterwards, for the other windows.
    const std::optional<rtf::Page> page = rtf::DocumentPage(*RichEdit1->document());
    const QPageLayout before = p.pageLayout();
    struct RestorePage {
        QPrinter& printer;
        const QPageLayout& layout;
        bool active;
        ~RestorePage()
        {
            if (active)
                printer.setPageLayout(layout);
        }
    } restore{p, before, page.has_value()};
    QMarginsF wanted(20, 20, 20, 20);
    if (page)
        wanted = applyPage(p, *page);
    // The export lays the pages out on a PDF printer of the same page.
    const auto pages = [&](QPrinter& target) {
        printPages(target, page.has_value(), wanted);
        return target.printerState() != QPrinter::Error;
    };
    if (pdf) {
        AskAndExportPdf(m_prompts, p, windowTitle(), pages);
        return;
    }
    if (!m_dialogs->Print(p, this))
        return;
    if (!pages(p))
        m_prompts.Inform(ToCp1251(QStringLiteral("Не удалось напечатать документ")));
}

void ReportViewer::printPages(QPrinter& p, bool ownPage, const QMarginsF& wanted)
{
    // On paper the text wraps at the page width whatever the view does.
    std::unique_ptr<QTextDocument> copy = fullDocument();
    if (ownPage)  // the document's margins are exact: no frame margin of the view's on top
        copy->setDocumentMargin(0);
    keepReportMargins(*copy, p, logicalDpiX(), wanted);
    QTextOption option = copy->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    copy->setDefaultTextOption(option);
    // Laid out on pages measured in screen pixels and scaled to the printer as a whole: left
    // to lay out on the printer itself, Qt 6.4 keeps indents and spacing in printer pixels,
    // a twelfth of their size at 1200 dpi.
    copy->setPageSize(QSizeF(p.width() * qreal(logicalDpiX()) / p.logicalDpiX(),
                             p.height() * qreal(logicalDpiY()) / p.logicalDpiY()));
    AnnouncePages(p, copy->pageCount());
    copy->print(&p);
}

void ReportViewer::PrinterSetup()
{
    m_dialogs->PrinterSetup(SharedPrinter(), this);
}

void ReportViewer::ToggleWordWrap()
{
    const bool wrap = RichEdit1->lineWrapMode() == QTextEdit::NoWrap;
    RichEdit1->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    ActionWordWrap->setChecked(wrap);
}

void ShowReportViewer(const ReportDocument& document, QWidget* parent, Prompts& prompts,
                      ViewerDialogs* dialogs)
{
    ReportViewer viewer(prompts, dialogs, parent);
    viewer.SetPlainText(!document.IsRtf);
    viewer.LoadDocument(document.Bytes);
    viewer.setWindowTitle(FromCp1251(document.Caption));
    viewer.exec();
}

}  // namespace orm
