#pragma once

// Dragging outline rows: Shift + left button moves an item within its classifier window, Ctrl
// (also with Shift) + left button copies it there, and a Ctrl-drag from the samples window
// copies a sample item into the classifier window of the same classifier. A plain press never
// starts a drag. The drag follows the mouse inside the program (the source outline holds the
// mouse while it lasts) and shows its own cursors.

#include <QCursor>
#include <QObject>
#include <QPoint>
#include <QPointer>

class QModelIndex;

namespace orm {

class MainHub;
class OutlineView;
class TTreeList;

// The window tag of the samples window as a drag source.
inline constexpr int SamplesSourceTag = 1997;

// The one drag record of the program.
struct TDragObject {
    enum Mode { Move, Copy };
    Mode DragMode = Move;
    int SourceTag = 0;
    TTreeList* DraggedItem = nullptr;
    TTreeList* TargetItem = nullptr;
};

class TDragController : public QObject {
    Q_OBJECT
public:
    // parent: the main window, which owns the controller.
    TDragController(MainHub& hub, QObject* parent);

    const TDragObject& Record() const { return m_drag; }
    bool Dragging() const { return m_active; }

    // Lets an outline start drags (its presses) under the given source tag.
    void AttachSource(OutlineView* outline, int sourceTag);

    bool BeginItemDrag(OutlineView* outline, Qt::MouseButtons buttons,
                       Qt::KeyboardModifiers modifiers, const QPoint& pos, int sourceTag);
    bool CanDropItem(OutlineView* outline, const QPoint& pos, int targetTag);
    // The drop itself; on success the new item is selected, the rows renumbered and the
    // projections of the classifier rebuilt.
    bool DropItem(OutlineView* outline, const QPoint& pos, int targetTag);
    // Ends a drag without a drop.
    void Cancel();

    // "DRAGCOPY" and "DRAGSHIFT".
    static QCursor CopyCursor();
    static QCursor MoveCursor();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Target {
        OutlineView* outline = nullptr;
        int tag = 0;
        QPoint pos;
    };
    // The classifier window outline under a global point, topmost first.
    Target targetAt(const QPoint& global) const;
    void updateCursor(const QPoint& global);
    // Marks the item's row as the one that would take the drop (none for nullptr).
    void highlight(OutlineView* outline, const TTreeList* item);
    void finish();

    MainHub& m_hub;
    TDragObject m_drag;
    bool m_active = false;
    QPointer<OutlineView> m_source;
    // The outline whose model marks the drop target.
    QPointer<OutlineView> m_markedOutline;

public:
    // The row marked as the drop target now (invalid for none), for tests.
    QModelIndex MarkedRow() const;
};

}  // namespace orm
