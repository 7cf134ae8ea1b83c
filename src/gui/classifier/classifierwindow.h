#pragma once

// The classifier window: one classifier tree of the main project as an outline, edited in place
// (add, rename, delete, move up and down, expand), its selection mirrored in other windows.

#include <QPointer>
#include <unordered_set>

#include "gui/classifier/outlinemodel.h"
#include "gui/kit/tf_base.h"

class QAction;
class QMenu;
class QToolBar;

namespace orm {

class TTreeList;

// The outline of one classifier, with add, rename, delete, move, expand and organigram.
// Its objectName stays "TF_A1", the form name by which help index files address it.
class ClassifierWindow : public TF_Base {
    Q_OBJECT
public:
    ClassifierWindow(MainHub* hub, int k, QWidget* parent = nullptr);

    // FillOutline(k) on the main project.
    void FillOutline();
    // Before a change that may destroy items of any classifier (an undo or redo, a project
    // read): remembers the expanded rows, the current item and the first row shown, then lets
    // go of every row, so that nothing keeps an index to an item that goes.
    void ReleaseRows();
    // The rows made again from the tree after an undo or redo that changed this classifier,
    // rows of items that are still there keeping their expanded state. The rows let go of
    // before are not read through: their items may be gone.
    void Rebuild();
    // The same after a change that left this classifier alone: the current row and the rows
    // shown come back too.
    void RestoreRows();
    void SelectItem(TTreeList* item);
    TTreeList* CurrentItem() const;
    void UpdateActionStates();
    void SetToolBarVisible(bool visible) override;

    OutlineView* Outline1;
    QToolBar* ToolBar1;
    QMenu* PopupMenu1;
    QAction* ActionExpand;
    QAction* ActionAdd;
    QAction* ActionMod;
    QAction* ActionDel;
    QAction* ActionOrganigram;
    QAction* ActionClose;
    QAction* ActionUp;
    QAction* ActionDown;

private:
    void actionExecute(int tag);
    void addItem();
    void renameItem();
    void deleteItem();
    void shiftItem(bool up);
    void showItemOrganigram();
    void selectionChanged();
    // 0 without a selected row, 1 for the classifier's own row, 2 for an item's row.
    int selectedRowKind() const;
    std::unordered_set<const TTreeList*> expandedItems() const;
    // Rebuild, and with all RestoreRows.
    void restoreRows(bool all);

    // What ReleaseRows keeps for Rebuild and RestoreRows: item addresses, compared and never
    // read through.
    struct Kept {
        bool Held = false;
        std::unordered_set<const TTreeList*> Expanded;
        const TTreeList* Current = nullptr;
        const TTreeList* FirstShown = nullptr;
    };
    Kept m_kept;
};

}  // namespace orm
