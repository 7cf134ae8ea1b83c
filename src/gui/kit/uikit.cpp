#include "gui/kit/uikit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <QWidget>

static void initBundledResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace orm {

void InitResources()
{
    static const bool done = [] {
        initBundledResources();
        return true;
    }();
    (void)done;
}

namespace {

// A bundled icon read when it is first drawn. Reading a picture costs a parse, and most of the
// actions made at start-up sit in menus that may never open.
class LazyIconEngine : public QIconEngine {
public:
    explicit LazyIconEngine(QString path) : m_path(std::move(path)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("ormelit-bundled"); }
    QIconEngine* clone() const override { return new LazyIconEngine(m_path); }

private:
    const QIcon& icon()
    {
        if (!m_read) {
            m_icon = QIcon(m_path);
            m_read = true;
        }
        return m_icon;
    }
    QString m_path;
    QIcon m_icon;
    bool m_read = false;
};

}  // namespace

QIcon BundledIcon(const char* name)
{
    // One icon per picture for the whole program, so that a window opened later draws what the
    // first one read and rendered. Kept to the end (icons outliving the application would be
    // destroyed after it); used from the GUI thread only.
    static auto* icons = new QHash<QByteArray, QIcon>;
    const QByteArray key(name);
    if (const auto it = icons->constFind(key); it != icons->constEnd())
        return *it;
    return *icons->insert(
        key, QIcon(new LazyIconEngine(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)))));
}

void MakeActions(QWidget* owner, std::initializer_list<ActionSpec> specs,
                 Qt::ShortcutContext context)
{
    for (const ActionSpec& s : specs) {
        QAction* a = new QAction(QString::fromUtf8(s.caption), owner);
        a->setObjectName(QString::fromLatin1(s.name));
        if (s.image)
            a->setIcon(BundledIcon(s.image));
        if (s.hint) {
            a->setToolTip(QString::fromUtf8(s.hint));
            a->setStatusTip(QString::fromUtf8(s.hint));
        } else {
            QString plain = QString::fromUtf8(s.caption);
            plain.remove(QChar('&'));
            a->setToolTip(plain.remove(QStringLiteral(" ...")));
        }
        if (!s.shortcut.isEmpty()) {
            a->setShortcut(s.shortcut);
            a->setShortcutContext(context);
        }
        a->setData(s.tag);
        s.action = a;
    }
}

QToolBar* MakeChildToolBar(QWidget* owner)
{
    auto* bar = new QToolBar(owner);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setFixedHeight(29);
    bar->setIconSize(QSize(20, 20));
    QSizePolicy policy = bar->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    bar->setSizePolicy(policy);
    return bar;
}

QMenu* MakeDocumentPopupMenu(QWidget* owner, const DocumentActions& actions)
{
    auto* menu = new QMenu(owner);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    menu->addActions({actions.Print, actions.PrintSetup, actions.ExportPdf});
    menu->addSeparator();
    menu->addActions({actions.Save, actions.Load, actions.Exit});
    return menu;
}

void TieCurrentToSelection(QAbstractItemView* view)
{
    QItemSelectionModel* model = view->selectionModel();
    QObject::connect(model, &QItemSelectionModel::selectionChanged, view, [model] {
        const QModelIndexList selected = model->selectedIndexes();
        if (selected.isEmpty()) {
            if (model->currentIndex().isValid())
                model->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        } else if (selected.front() != model->currentIndex()) {
            model->setCurrentIndex(selected.front(), QItemSelectionModel::NoUpdate);
        }
    });
}

namespace {

class KeepUnminimised : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::WindowStateChange && window->isMinimized()) {
            // Not inside the state change that is being reported.
            QMetaObject::invokeMethod(
                window,
                [window] {
                    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
                    window->activateWindow();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

}  // namespace

void SetFixedDialogFrame(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->installEventFilter(new KeepUnminimised(dialog));
}

void CentreOnScreen(QWidget* window)
{
    QWidget* parent = window->parentWidget();
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace orm
