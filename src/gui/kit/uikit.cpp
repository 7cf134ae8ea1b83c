#include "gui/kit/uikit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
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

QIcon BundledIcon(const char* name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
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
