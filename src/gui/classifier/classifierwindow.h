#pragma once

// The classifier window: one classifier tree of the main project as an outline, edited in place
// (add, rename, delete, move up and down, expand), its selection mirrored in other windows.

#include <QPointer>

#include "gui/kit/tf_base.h"

class QAction;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace orm {

class TTreeList;

// Outline helpers shared by the windows that show trees. A row's item is kept in its data.
namespace Outline {

// A read-only, single-column outline with one row per item.
QTreeWidget* Create(QWidget* parent);
TTreeList* ItemOf(const QTreeWidgetItem* row);
// Replaces the outline's rows with the rows of node and its subtree, built in one pass.
void Fill(QTreeWidget* outline, TTreeList* node);
// Appends node's rows (node and its subtree) as top-level rows.
void Append(QTreeWidget* outline, TTreeList* node);
// The row of item (found along the item's path), or nullptr.
QTreeWidgetItem* RowOf(QTreeWidget* outline, const TTreeList* item);
// Makes the item's row current, expanding every collapsed row above it; returns the row.
QTreeWidgetItem* SelectItemRow(QTreeWidget* outline, const TTreeList* item);
// Moves row a's item next to row b's item, in the tree and in the outline: just after b when a
// comes before b in the outline, else just before it. The moved rows keep their expanded states.
void MoveItemRow(QTreeWidget* outline, QTreeWidgetItem* a, QTreeWidgetItem* b);
// Every row's text becomes its item's row text again, in one pass.
void RenumberRows(QTreeWidget* outline);
// Rows in display order (pre-order over all rows, collapsed ones included), 1-based; 0 for none.
int RowNumber(const QTreeWidgetItem* row);

}  // namespace Outline

// The outline of one classifier, with add, rename, delete, move, expand and organigram.
// Its objectName stays "TF_A1", the form name by which help index files address it.
class ClassifierWindow : public TF_Base {
    Q_OBJECT
public:
    ClassifierWindow(MainHub* hub, int k, QWidget* parent = nullptr);

    // FillOutline(k) on the main project.
    void FillOutline();
    // The rows made again from the tree after an undo or redo, rows of items that are still
    // there keeping their expanded state. The old rows are not read through: their items may
    // be gone.
    void Rebuild();
    void SelectItem(TTreeList* item);
    TTreeList* CurrentItem() const;
    void UpdateActionStates();
    void SetToolBarVisible(bool visible) override;

    QTreeWidget* Outline1;
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
};

}  // namespace orm
