#include "gui/classifier/dragdrop.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>

#include "core/model/projectedits.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/outlinemodel.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"

namespace orm {

namespace {

const char kSourceTagProperty[] = "ormelitDragSourceTag";

}  // namespace

TDragController::TDragController(MainHub& hub, QObject* parent) : QObject(parent), m_hub(hub)
{
}

QCursor TDragController::CopyCursor()
{
    return QCursor(QPixmap(QStringLiteral(":/cursors/dragcopy.png")), 1, 1);
}

QCursor TDragController::MoveCursor()
{
    return QCursor(QPixmap(QStringLiteral(":/cursors/dragshift.png")), 1, 1);
}

void TDragController::AttachSource(OutlineView* outline, int sourceTag)
{
    outline->viewport()->setProperty(kSourceTagProperty, sourceTag);
    outline->viewport()->installEventFilter(this);
}

bool TDragController::BeginItemDrag(OutlineView* outline, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers modifiers, const QPoint& pos,
                                    int sourceTag)
{
    if (!(buttons & Qt::LeftButton))
        return false;
    TDragObject::Mode mode;
    if (modifiers & Qt::ControlModifier)
        mode = TDragObject::Copy;
    else if (modifiers & Qt::ShiftModifier)
        mode = TDragObject::Move;
    else
        return false;
    const QModelIndex row = outline->indexAt(pos);
    if (!row.isValid())
        return false;
    if (sourceTag == SamplesSourceTag) {
        // Samples are only copied, and their top rows are classifier tree nodes.
        if (mode == TDragObject::Move || !row.parent().isValid())
            return false;
    } else if (!row.parent().isValid()) {
        return false;  // the classifier's own row stays where it is
    }
    m_drag.DraggedItem = Outline::ItemOf(row);
    m_drag.SourceTag = sourceTag;
    m_drag.DragMode = mode;
    m_drag.TargetItem = nullptr;
    return m_drag.DraggedItem != nullptr;
}

bool TDragController::CanDropItem(OutlineView* outline, const QPoint& pos, int targetTag)
{
    m_drag.TargetItem = nullptr;
    const QModelIndex row = outline->indexAt(pos);
    if (!row.isValid() || !m_drag.DraggedItem)
        return false;
    m_drag.TargetItem = Outline::ItemOf(row);
    TTreeList* target = m_drag.TargetItem;
    if (m_drag.SourceTag == SamplesSourceTag)
        return m_drag.DraggedItem->ClassifierIndex() == targetTag;
    if (m_drag.SourceTag != targetTag)
        return false;
    if (target == m_drag.DraggedItem)
        return false;
    // A copy is made before it is inserted, so it may go inside its own subtree.
    return m_drag.DragMode == TDragObject::Copy || !target->IsDescendantOf(m_drag.DraggedItem);
}

bool TDragController::DropItem(OutlineView* outline, const QPoint& pos, int targetTag)
{
    if (!CanDropItem(outline, pos, targetTag))
        return false;
    TTreeList* target = m_drag.TargetItem;
    TTreeList* dragged = m_drag.DraggedItem;
    OutlineModel* model = outline->Model();
    TTreeList* newItem = nullptr;
    bool changed = true;
    {
        // Rows come and go while the tree changes.
        const SyncGuardScope guard(m_hub.Context());
        if (m_drag.SourceTag == SamplesSourceTag || m_drag.DragMode == TDragObject::Copy) {
            newItem = model->AppendChild(
                target, [&] { return ProjectEdits::CopyItemUnder(*dragged, target); });
        } else if (!outline->indexAt(pos).parent().isValid()) {
            // A move onto the classifier's own row: the item becomes its first top-level item
            // (its siblings there would be the other classifiers, which no item may join).
            model->Move(dragged, target, 0,
                        [&] { changed = ProjectEdits::MoveItemTo(dragged, target, 0); });
            newItem = dragged;
        } else {
            changed = Outline::MoveItemRow(outline, dragged, target);
            newItem = dragged;
        }
    }
    Outline::SelectItemRow(outline, newItem);
    // A move to where the item already is changes nothing, so nothing needs refreshing.
    if (changed)
        m_hub.RefreshProjections(targetTag);
    return true;
}

TDragController::Target TDragController::targetAt(const QPoint& global) const
{
    const auto windows = m_hub.MdiArea()->subWindowList(QMdiArea::StackingOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        QMdiSubWindow* sub = *it;
        if (!sub->isVisible() || !sub->rect().contains(sub->mapFromGlobal(global)))
            continue;
        auto* classifier = qobject_cast<ClassifierWindow*>(sub->widget());
        if (!classifier)
            return {};  // the topmost window here takes no drops
        QWidget* viewport = classifier->Outline1->viewport();
        const QPoint local = viewport->mapFromGlobal(global);
        if (!viewport->rect().contains(local))
            return {};
        return {classifier->Outline1, classifier->Tag(), local};
    }
    return {};
}

void TDragController::updateCursor(const QPoint& global)
{
    const Target target = targetAt(global);
    const bool allowed = target.outline && CanDropItem(target.outline, target.pos, target.tag);
    highlight(allowed ? target.outline : nullptr, allowed ? m_drag.TargetItem : nullptr);
    const QCursor cursor = !allowed ? QCursor(Qt::ForbiddenCursor)
                           : m_drag.DragMode == TDragObject::Copy ? CopyCursor()
                                                                  : MoveCursor();
    QApplication::changeOverrideCursor(cursor);
}

QModelIndex TDragController::MarkedRow() const
{
    return m_markedOutline ? m_markedOutline->Model()->MarkedRow() : QModelIndex();
}

void TDragController::highlight(OutlineView* outline, const TTreeList* item)
{
    // The mark lives in the outline's model, which drops it with the row.
    if (m_markedOutline == outline && (!outline || outline->Model()->MarkedRow() ==
                                                       outline->Model()->IndexOf(item)))
        return;
    if (m_markedOutline)
        m_markedOutline->Model()->SetMark(nullptr);
    m_markedOutline = outline;
    if (outline && item) {
        QColor colour = outline->palette().color(QPalette::Highlight);
        colour.setAlpha(90);
        outline->Model()->SetMark(item, colour);
    }
}

void TDragController::Cancel()
{
    finish();
}

void TDragController::finish()
{
    if (!m_active)
        return;
    m_active = false;
    highlight(nullptr, nullptr);
    if (m_source) {
        m_source->viewport()->releaseMouse();
        m_source->viewport()->releaseKeyboard();
    }
    m_source = nullptr;
    QApplication::restoreOverrideCursor();
}

bool TDragController::eventFilter(QObject* watched, QEvent* event)
{
    auto* viewport = qobject_cast<QWidget*>(watched);
    const QVariant tag = viewport ? viewport->property(kSourceTagProperty) : QVariant();
    if (!tag.isValid())
        return false;
    auto* outline = qobject_cast<OutlineView*>(viewport->parentWidget());
    if (!outline)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_active || !BeginItemDrag(outline, e->buttons(), e->modifiers(),
                                       e->position().toPoint(), tag.toInt()))
            return false;
        outline->setCurrentIndex(outline->indexAt(e->position().toPoint()));
        m_active = true;
        m_source = outline;
        viewport->grabMouse();
        viewport->grabKeyboard();
        QApplication::setOverrideCursor(m_drag.DragMode == TDragObject::Copy ? CopyCursor()
                                                                              : MoveCursor());
        updateCursor(e->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseMove:
        if (!m_active)
            return false;
        updateCursor(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonRelease: {
        if (!m_active)
            return false;
        const Target target = targetAt(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        finish();
        if (target.outline)
            DropItem(target.outline, target.pos, target.tag);
        return true;
    }
    case QEvent::KeyPress:
        if (m_active && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            finish();
            return true;
        }
        return m_active;
    default:
        return false;
    }
}

}  // namespace orm
