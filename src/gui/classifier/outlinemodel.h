#pragma once

// The outline of classifier trees: a tree view over a model whose rows are the tree nodes
// themselves. A row's text (number and name) is made when the view asks for it, so filling costs
// what is on screen and an edit costs the rows it changes. The model is told of every edit
// around the edit itself: a node leaves the model (and every index the views keep of it) before
// it is destroyed.

#include <QAbstractItemModel>
#include <QBrush>
#include <QTreeView>
#include <functional>
#include <unordered_set>
#include <vector>

namespace orm {

class TTreeList;

class OutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit OutlineModel(QObject* parent = nullptr);

    // The top rows become tops, each with its subtree; an empty list lets go of every node.
    void SetTops(std::vector<TTreeList*> tops);
    const std::vector<TTreeList*>& Tops() const { return m_tops; }

    // The node of a row; nullptr for none.
    static TTreeList* ItemOf(const QModelIndex& index);
    // The row of item, or an invalid index when item lies below none of the top rows.
    QModelIndex IndexOf(const TTreeList* item) const;

    // The edits, each done by edit between the model's announcements.
    // edit appends one child to parent and returns it.
    TTreeList* AppendChild(TTreeList* parent, const std::function<TTreeList*()>& edit);
    // edit inserts one child into parent at position row and returns it.
    TTreeList* Insert(TTreeList* parent, int row, const std::function<TTreeList*()>& edit);
    // edit destroys item with its subtree; the rows after it are renumbered.
    void Remove(TTreeList* item, const std::function<void()>& edit);
    // edit moves item to newParent, in front of the child now at newRow (newParent's child
    // count for the end); the rows after both places are renumbered.
    void Move(TTreeList* item, TTreeList* newParent, int newRow, const std::function<void()>& edit);
    // After item's name changed.
    void Renamed(const TTreeList* item);
    // The rows made again from the tops, after a change the model was not told of step by step.
    void Refill();
    // edit changes many rows at once; the rows are made again around it.
    void Reset(const std::function<void()>& edit);

    // item, while a leaf, keeps the expanded state a view gives it (a leaf row can be expanded
    // like any other); leaves not named here are laid out without looking for one.
    void KeepLeafState(const TTreeList* item);

    // The rows the views hold on to: the expanded, current and selected ones among them.
    QModelIndexList HeldRows() const { return persistentIndexList(); }

    // The row marked as a drop target (painted with brush); nullptr for none.
    void SetMark(const TTreeList* item, const QBrush& brush = QBrush());
    QModelIndex MarkedRow() const { return IndexOf(m_marked); }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // Before row goes with its subtree (and every index of them with it).
    void RowAboutToGo(const QModelIndex& row);

private:
    int topRow(const TTreeList* node) const;
    QModelIndex rowIndex(TTreeList* node) const;
    // edit moves a child of parent (the row at) from oldRow to in front of newRow.
    void reorder(TTreeList* parent, const QModelIndex& at, int oldRow, int newRow,
                 const std::function<void()>& edit);
    // The held indexes of rows, children of parent from row first on before an edit, follow
    // them to their places now (none for a row no longer under parent).
    void heldRowsMoved(TTreeList* parent, const std::vector<TTreeList*>& rows, int first);
    // The rows of parent from row first to the last one show new numbers.
    void renumbered(TTreeList* parent, int first);

    std::vector<TTreeList*> m_tops;
    const TTreeList* m_marked = nullptr;
    QBrush m_markBrush;
    // Compared, never read through: an address left by a node that went only costs a look-up.
    std::unordered_set<const TTreeList*> m_stateLeaves;
};

// A read-only, single-column outline with one row per node, rows 16 pixels high or as high as
// the font needs, over a model of its own.
class OutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit OutlineView(QWidget* parent = nullptr);
    OutlineModel* Model() const { return m_model; }

private:
    OutlineModel* m_model;
};

// Outline helpers shared by the windows that show trees.
namespace Outline {

OutlineView* Create(QWidget* parent);
inline TTreeList* ItemOf(const QModelIndex& row)
{
    return OutlineModel::ItemOf(row);
}
// The row of item, or an invalid index.
QModelIndex RowOf(const OutlineView* outline, const TTreeList* item);
// Makes the item's row current, expanding every collapsed row above it; returns the row.
QModelIndex SelectItemRow(OutlineView* outline, const TTreeList* item);
// Moves item a next to item b, in the tree and in the outline: just after b when a comes before
// b in the outline, else just before it. The moved rows keep their expanded states. Nothing
// happens for a top row, for a == b or for b inside a's subtree; true when a moved.
bool MoveItemRow(OutlineView* outline, TTreeList* a, TTreeList* b);

}  // namespace Outline

}  // namespace orm
