#include "gui/help/helpwindow.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "core/help/helpanchors.h"
#include "format/textcodec.h"

namespace orm {

namespace {

QPointer<HelpWindow> g_current;

std::string_view bytesOf(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The text a list shows for a topic: its block, or the first block after it with any text (an
// anchor may stand alone before its heading).
QString titleFrom(QTextBlock block)
{
    for (int i = 0; block.isValid() && i < 3; block = block.next(), ++i) {
        const QString text = block.text().simplified();
        if (!text.isEmpty())
            return text.size() > 80 ? text.left(80) + QStringLiteral("…") : text;
    }
    return {};
}

}  // namespace

QString DecodeHelpHtml(const QByteArray& bytes)
{
    const std::string_view view = bytesOf(bytes);
    switch (DeclaredHtmlCharset(view)) {
    case HtmlCharset::Cp1251:
        break;
    case HtmlCharset::Other: {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
        if (decoder.isValid())
            return decoder.decode(bytes);
        break;  // a charset this Qt does not know: the help files' own code page is the best bet
    }
    case HtmlCharset::Undeclared:
        if (IsValidUtf8(view))
            return QString::fromUtf8(bytes);
        break;
    }
    return FromCp1251(view);
}

THelpBrowser::THelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("Browser"));
    // Web links in a help file go to the desktop's browser; the file's own links stay here.
    setOpenExternalLinks(true);
}

QVariant THelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::HtmlResource) {
        QUrl url = name;
        if (url.isRelative())
            url = source().resolved(url);
        if (url.isLocalFile()) {
            QFile file(url.toLocalFile());
            if (!file.open(QIODevice::ReadOnly))
                return {};
            return DecodeHelpHtml(file.readAll());
        }
    }
    return QTextBrowser::loadResource(type, name);
}

HelpTopicsDialog::HelpTopicsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TF_HelpTopics"));
    resize(360, 320);
    Label1 = new QLabel(this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    auto* buttons = new QDialogButtonBox(this);
    OKBtn = buttons->addButton(QStringLiteral("Показать"), QDialogButtonBox::AcceptRole);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { Choose(ListBox1->currentRow()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ListBox1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { Choose(ListBox1->row(item)); });
}

void HelpTopicsDialog::SetTopics(const QList<Topic>& topics, bool found)
{
    setWindowTitle(found ? QStringLiteral("Найденные разделы") : QStringLiteral("Указатель"));
    Label1->setText(found ? QStringLiteral("Выберите раздел:")
                          : QStringLiteral("Выберите ключевое слово:"));
    ListBox1->clear();
    for (const Topic& t : topics) {
        auto* item = new QListWidgetItem(t.Title.isEmpty() ? t.Anchor : t.Title, ListBox1);
        item->setData(Qt::UserRole, t.Anchor);
    }
    ListBox1->setCurrentRow(0);
}

QStringList HelpTopicsDialog::Anchors() const
{
    QStringList out;
    for (int i = 0; i < ListBox1->count(); ++i)
        out << ListBox1->item(i)->data(Qt::UserRole).toString();
    return out;
}

void HelpTopicsDialog::Choose(int row)
{
    if (row < 0 || row >= ListBox1->count())
        return;
    const QString anchor = ListBox1->item(row)->data(Qt::UserRole).toString();
    accept();
    emit topicChosen(anchor);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TF_Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 480);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Browser = new THelpBrowser(this);
    ActionBack = ToolBar1->addAction(QStringLiteral("Назад"), Browser, &QTextBrowser::backward);
    ActionForward =
        ToolBar1->addAction(QStringLiteral("Вперёд"), Browser, &QTextBrowser::forward);
    ActionIndex = ToolBar1->addAction(QStringLiteral("Указатель"), this, &HelpWindow::ShowIndex);
    ActionBack->setEnabled(false);
    ActionForward->setEnabled(false);
    connect(Browser, &QTextBrowser::backwardAvailable, ActionBack, &QAction::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, ActionForward, &QAction::setEnabled);
    connect(Browser, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Browser);
    updateTitle();
}

HelpWindow* HelpWindow::Current()
{
    return g_current.data();
}

HelpWindow* HelpWindow::ShowTopic(const QString& file, const std::string& keyword, QWidget* parent)
{
    if (!QFile(file).open(QIODevice::ReadOnly))
        return nullptr;
    HelpWindow* window = g_current.data();
    bool place = false;
    if (!window) {
        window = new HelpWindow(parent);
        g_current = window;
        place = true;
    } else if (window->parentWidget() != parent) {
        window->setParent(parent, Qt::Window);
        place = true;
    }
    // Read again every time: authors edit the help file while the program runs.
    window->LoadFile(file);
    if (place)
        window->placeBeside(parent);
    window->show();
    window->raise();
    window->activateWindow();
    window->ShowKeyword(keyword);
    return window;
}

bool HelpWindow::LoadFile(const QString& file)
{
    if (!QFile(file).open(QIODevice::ReadOnly))
        return false;
    // Read again when it changed (authors edit it while the program runs); an unchanged file
    // keeps the way back through the topics shown so far.
    const QFileInfo info(file);
    const QString stamp = info.lastModified().toString(Qt::ISODateWithMs) + QLatin1Char('/') +
                          QString::number(info.size());
    if (file == m_file && stamp == m_fileStamp && Browser->source().isValid())
        return true;
    m_file = file;
    m_fileStamp = stamp;
    // The same url again would not read the file again.
    Browser->setSource(QUrl());
    Browser->setSource(QUrl::fromLocalFile(file), QTextDocument::HtmlResource);
    Browser->clearHistory();
    return true;
}

void HelpWindow::placeBeside(const QWidget* owner)
{
    const QWidget* from = owner ? owner->window() : nullptr;
    QScreen* screen = from ? from->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    const QSize size = frameGeometry().size().boundedTo(free.size());
    if (!from) {
        move(free.center() - QPoint(size.width() / 2, size.height() / 2));
        return;
    }
    // Beside the window it was asked from, right or left where there is room, never over the
    // main window's menu bar: level with that window's top, inside the screen.
    const QRect beside = from->frameGeometry();
    int x = beside.right() + 1;
    if (x + size.width() > free.right() + 1)
        x = beside.left() - size.width() >= free.left() ? beside.left() - size.width()
                                                         : free.right() + 1 - size.width();
    const int y = std::clamp(beside.top(), free.top(), free.bottom() + 1 - size.height());
    move(x, y);
}

QList<HelpTopicsDialog::Topic> HelpWindow::topics() const
{
    QList<HelpTopicsDialog::Topic> out;
    QStringList seen;
    const auto add = [&](const QStringList& names, const QTextBlock& block) {
        for (const QString& name : names) {
            if (!name.isEmpty() && !seen.contains(name)) {
                seen << name;
                out.push_back({name, titleFrom(block)});
            }
        }
    };
    const QTextDocument* doc = Browser->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        add(block.charFormat().anchorNames(), block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                add(fragment.charFormat().anchorNames(), block);
        }
    }
    return out;
}

QStringList HelpWindow::Anchors() const
{
    QStringList out;
    for (const HelpTopicsDialog::Topic& t : topics())
        out << t.Anchor;
    return out;
}

void HelpWindow::ShowKeyword(const std::string& keyword)
{
    const QList<HelpTopicsDialog::Topic> all = topics();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(all.size()));
    for (const HelpTopicsDialog::Topic& t : all)
        names.push_back(ToCp1251(t.Anchor));
    const std::vector<std::size_t> matches = MatchAnchors(names, keyword);
    if (matches.size() == 1) {
        if (m_topics)
            m_topics->close();
        GoToAnchor(all[static_cast<qsizetype>(matches.front())].Anchor);
    } else if (matches.size() > 1) {
        QList<HelpTopicsDialog::Topic> found;
        for (std::size_t i : matches)
            found.push_back(all[static_cast<qsizetype>(i)]);
        offerTopics(found, true);
    } else {
        ShowIndex();
    }
}

void HelpWindow::ShowIndex()
{
    QList<HelpTopicsDialog::Topic> all = topics();
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(a.Anchor, b.Anchor) < 0;
    });
    // The index lists keywords, not the headings they lead to.
    for (HelpTopicsDialog::Topic& t : all)
        t.Title.clear();
    offerTopics(all, false);
}

void HelpWindow::offerTopics(const QList<HelpTopicsDialog::Topic>& topics, bool found)
{
    if (topics.isEmpty())
        return;
    if (!m_topics) {
        m_topics = new HelpTopicsDialog(this);
        m_topics->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_topics, &HelpTopicsDialog::topicChosen, this, &HelpWindow::GoToAnchor);
    }
    m_topics->SetTopics(topics, found);
    m_topics->show();
    m_topics->raise();
    m_topics->activateWindow();
}

void HelpWindow::GoToAnchor(const QString& anchor)
{
    // Through the browser's history, so that Back and Forward retrace the topics.
    QUrl url = QUrl::fromLocalFile(m_file);
    url.setFragment(anchor);
    Browser->setSource(url, QTextDocument::HtmlResource);
}

void HelpWindow::updateTitle()
{
    const QString title = Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
}

}  // namespace orm
