#pragma once

// The classifier window: one classifier tree of the main project as an outline, edited in place
// (add, rename, delete, move up and down, expand), its selection mirrored in other windows.

#include <functional>
#include <unordered_set>
#include <vector>

#include "gui/classifier/outlinemodel.h"
#include "gui/kit/tf_base.h"

class QAction;
class QMenu;
class QToolBar;

namespace orm {

class EditStep;
struct EditShape;
class TTreeList;

// The outline of one classifier, with add, rename, delete, move, expand and organigram.
// Its objectName stays "TF_A1", the form name by which help index files address it.
class ClassifierWindow : public TF_Base {
    Q_OBJECT
public:
    ClassifierWindow(MainHub* hub, int k, QWidget* parent = nullptr);

    // FillOutline(k) on the main project.
    void FillOutline();
    // Before the project is read anew: lets go of every row, so that nothing keeps an index to
    // an item that goes.
    void ReleaseRows();
    // Runs an undo or redo of step (run does it) that changes this classifier in the way shape
    // tells, with the rows announced around the change: rows it takes away are remembered
    // with their expanded states on the step, and rows it brings back open as they were. The
    // other rows keep their states, the selection stays unless its row goes.
    void FollowStep(EditStep& step, const EditShape& shape, const std::function<void()>& run);
    // The expanded rows of item's subtree as pre-order positions inside it, and back.
    std::vector<int> ExpandedWithin(TTreeList* item) const;
    void ExpandWithin(TTreeList* item, const std::vector<int>& positions);
    void SelectItem(TTreeList* item);
    TTreeList* CurrentItem() const;
    void UpdateActionStates();
    void SetToolBarVisible(bool visible) override;
    void ShowCurrent() override;

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
    QAction* ActionCopy;
    QAction* ActionPaste;

private:
    void actionExecute(int tag);
    void addItem();
    void renameItem();
    void deleteItem();
    void shiftItem(bool up);
    void pasteItems();
    // edit changes many rows of this classifier at once; the rows are made again around it.
    void resetRowsAround(const std::function<void()>& edit);
    void showItemOrganigram();
    void selectionChanged();
    // 0 without a selected row, 1 for the classifier's own row, 2 for an item's row.
    int selectedRowKind() const;
    std::unordered_set<const TTreeList*> expandedNodes() const;
};

}  // namespace orm
