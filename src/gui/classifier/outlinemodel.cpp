#include "gui/classifier/outlinemodel.h"

#include <QStyledItemDelegate>
#include <algorithm>

#include "core/model/projectedits.h"
#include "core/model/treelist.h"
#include "format/textcodec.h"
#include "gui/kit/uikit.h"

namespace orm {

namespace {

bool isWithin(const TTreeList* node, const TTreeList* top)
{
    for (; node; node = node->Parent()) {
        if (node == top)
            return true;
    }
    return false;
}

// Rows 16 pixels high, or as high as a larger font needs.
class RowHeight : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(16, option.fontMetrics.height()));
        return size;
    }
};

}  // namespace

OutlineModel::OutlineModel(QObject* parent) : QAbstractItemModel(parent) {}

void OutlineModel::SetTops(std::vector<TTreeList*> tops)
{
    beginResetModel();
    m_tops = std::move(tops);
    m_marked = nullptr;
    m_stateLeaves.clear();
    endResetModel();
}

void OutlineModel::Reset(const std::function<void()>& edit)
{
    beginResetModel();
    m_marked = nullptr;
    edit();
    endResetModel();
}

void OutlineModel::Refill()
{
    beginResetModel();
    m_marked = nullptr;
    endResetModel();
}

TTreeList* OutlineModel::ItemOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<TTreeList*>(index.internalPointer()) : nullptr;
}

int OutlineModel::topRow(const TTreeList* node) const
{
    const auto it = std::find(m_tops.begin(), m_tops.end(), node);
    return it == m_tops.end() ? -1 : static_cast<int>(it - m_tops.begin());
}

QModelIndex OutlineModel::rowIndex(TTreeList* node) const
{
    // node lies below a top row: its position is its row.
    if (const int top = topRow(node); top >= 0)
        return createIndex(top, 0, node);
    // The node's own position, not a look into its parent's list: a view asks for the parents
    // of many rows on every change.
    const int row = node->Parent() ? node->Position() : -1;
    return row >= 0 ? createIndex(row, 0, node) : QModelIndex();
}

QModelIndex OutlineModel::IndexOf(const TTreeList* item) const
{
    if (!item || m_tops.empty())
        return QModelIndex();
    for (const TTreeList* node = item; node; node = node->Parent()) {
        if (topRow(node) >= 0)
            return rowIndex(const_cast<TTreeList*>(item));
    }
    return QModelIndex();
}

QModelIndex OutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    if (!parent.isValid()) {
        return row < static_cast<int>(m_tops.size()) ? createIndex(row, 0, m_tops[size_t(row)])
                                                     : QModelIndex();
    }
    const TTreeList* node = ItemOf(parent);
    return row < node->Count() ? createIndex(row, 0, node->Child(row)) : QModelIndex();
}

QModelIndex OutlineModel::parent(const QModelIndex& child) const
{
    TTreeList* node = ItemOf(child);
    if (!node || topRow(node) >= 0)
        return QModelIndex();
    TTreeList* up = node->Parent();
    return up ? rowIndex(up) : QModelIndex();
}

int OutlineModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_tops.size());
    return parent.column() == 0 ? ItemOf(parent)->Count() : 0;
}

int OutlineModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool OutlineModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !m_tops.empty();
    return parent.column() == 0 && ItemOf(parent)->Count() > 0;
}

QVariant OutlineModel::data(const QModelIndex& index, int role) const
{
    const TTreeList* node = ItemOf(index);
    if (!node)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return FromCp1251(node->LineText());
    case Qt::BackgroundRole:
        return node == m_marked ? QVariant(m_markBrush) : QVariant();
    default:
        return QVariant();
    }
}

Qt::ItemFlags OutlineModel::flags(const QModelIndex& index) const
{
    const TTreeList* node = ItemOf(index);
    if (!node)
        return Qt::NoItemFlags;
    // A tree view looks every row up among its expanded ones on each layout, unless the row is
    // flagged as never having children; it then keeps no expanded state for it either. The flag
    // is asked afresh each time, so a leaf loses it with its first child. Leaves whose state
    // counts (see KeepLeafState) and top rows never get it.
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (node->Count() > 0 || m_stateLeaves.count(node) || topRow(node) >= 0)
        return flags;
    return flags | Qt::ItemNeverHasChildren;
}

void OutlineModel::KeepLeafState(const TTreeList* item)
{
    if (item && item->Count() == 0)
        m_stateLeaves.insert(item);
}

void OutlineModel::renumbered(TTreeList* parent, int first)
{
    // Only the rows of this level are announced: the numbers below them change too, but a view
    // repaints what it shows of a range, and a structural change relays out the whole view.
    const QModelIndex at = IndexOf(parent);
    const int last = parent->Count() - 1;
    if (at.isValid() && first <= last)
        emit dataChanged(index(first, 0, at), index(last, 0, at), {Qt::DisplayRole});
}

TTreeList* OutlineModel::AppendChild(TTreeList* parent, const std::function<TTreeList*()>& edit)
{
    return Insert(parent, parent->Count(), edit);
}

TTreeList* OutlineModel::Insert(TTreeList* parent, int row, const std::function<TTreeList*()>& edit)
{
    const QModelIndex at = IndexOf(parent);
    const int count = parent->Count();
    if (!at.isValid() || row < 0 || row > count)
        return edit();  // not shown here
    beginInsertRows(at, row, row);
    TTreeList* child = edit();
    endInsertRows();
    if (parent->Count() != count + 1 || parent->IndexOf(child) != row)
        Refill();  // the edit did something else: the rows follow the tree again
    else
        renumbered(parent, row + 1);
    return child;
}

void OutlineModel::Remove(TTreeList* item, const std::function<void()>& edit)
{
    if (m_marked && isWithin(m_marked, item))
        SetMark(nullptr);
    if (const int top = topRow(item); top >= 0) {
        std::vector<TTreeList*> tops = m_tops;
        tops.erase(tops.begin() + top);
        SetTops(std::move(tops));
        edit();
        return;
    }
    const QModelIndex row = IndexOf(item);
    if (!row.isValid()) {
        edit();  // not shown here
        return;
    }
    TTreeList* parent = item->Parent();
    const int gone = row.row();
    emit RowAboutToGo(row);
    // Announced as a change of layout, with the held indexes the removal touches (those of the
    // subtree that goes and of the rows after it) found from the tree: a row removal would have
    // Qt walk every held row of every view up to the root to find them.
    const QList<QPersistentModelIndex> parents{QPersistentModelIndex(row.parent())};
    emit layoutAboutToBeChanged(parents);
    item->ForEachNode([this](TTreeList* node) {
        changePersistentIndex(createIndex(node->Position(), 0, node), QModelIndex());
    });
    std::vector<TTreeList*> after;
    for (int r = gone + 1; r < parent->Count(); ++r)
        after.push_back(parent->ChildAt(r));
    edit();
    heldRowsMoved(parent, after, gone + 1);
    emit layoutChanged(parents);
    KeepLeafState(parent);  // an expanded row keeps its state when its last child goes
    renumbered(parent, gone);
}

void OutlineModel::Move(TTreeList* item, TTreeList* newParent, int newRow,
                        const std::function<void()>& edit)
{
    TTreeList* oldParent = item->Parent();
    const QModelIndex row = IndexOf(item);
    const QModelIndex to = IndexOf(newParent);
    const int oldRow = row.row();
    if (row.isValid() && oldParent == newParent && (newRow == oldRow || newRow == oldRow + 1)) {
        edit();  // the item is there already: the edit changes nothing, nor do the rows
        return;
    }
    if (!row.isValid() || !row.parent().isValid() || !to.isValid() ||
        (oldParent != newParent && !beginMoveRows(row.parent(), oldRow, oldRow, to, newRow))) {
        // Not a move the views can follow row by row (or none at all).
        edit();
        Refill();
        return;
    }
    if (oldParent == newParent) {
        reorder(oldParent, to, oldRow, newRow, edit);
    } else {
        edit();
        endMoveRows();
    }
    KeepLeafState(oldParent);
    const int expected = oldParent == newParent && newRow > oldRow ? newRow - 1 : newRow;
    const int nowRow = newParent->IndexOf(item);
    if (item->Parent() != newParent || nowRow != expected) {
        Refill();
        return;
    }
    if (oldParent == newParent) {
        emit dataChanged(index(std::min(oldRow, nowRow), 0, to),
                         index(std::max(oldRow, nowRow), 0, to), {Qt::DisplayRole});
    } else {
        renumbered(oldParent, oldRow);
        renumbered(newParent, nowRow);
    }
}

void OutlineModel::reorder(TTreeList* parent, const QModelIndex& at, int oldRow, int newRow,
                           const std::function<void()>& edit)
{
    // Rows of one level changing places, announced as a change of layout with the held indexes
    // of just those rows moved here. A row move would have Qt walk every held row of every view
    // up to the root to learn whether it moves; the rows below this level keep their indexes,
    // which name a node and its place among its siblings.
    const int first = std::min(oldRow, newRow);
    const int last = std::min(std::max(oldRow, newRow), parent->Count() - 1);
    std::vector<TTreeList*> rows;
    for (int r = first; r <= last; ++r)
        rows.push_back(parent->ChildAt(r));
    const QList<QPersistentModelIndex> parents{QPersistentModelIndex(at)};
    emit layoutAboutToBeChanged(parents, QAbstractItemModel::VerticalSortHint);
    edit();
    heldRowsMoved(parent, rows, first);
    emit layoutChanged(parents, QAbstractItemModel::VerticalSortHint);
}

void OutlineModel::heldRowsMoved(TTreeList* parent, const std::vector<TTreeList*>& rows,
                                 int first)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        TTreeList* node = rows[i];
        const QModelIndex now = node->Parent() == parent && node->Position() >= 0
                                    ? createIndex(node->Position(), 0, node)
                                    : QModelIndex();
        changePersistentIndex(createIndex(first + static_cast<int>(i), 0, node), now);
    }
}

void OutlineModel::Renamed(const TTreeList* item)
{
    const QModelIndex row = IndexOf(item);
    if (row.isValid())
        emit dataChanged(row, row, {Qt::DisplayRole});
}

void OutlineModel::SetMark(const TTreeList* item, const QBrush& brush)
{
    const QModelIndex old = IndexOf(m_marked);
    m_marked = item;
    m_markBrush = brush;
    if (old.isValid())
        emit dataChanged(old, old, {Qt::BackgroundRole});
    if (const QModelIndex now = IndexOf(item); now.isValid() && now != old)
        emit dataChanged(now, now, {Qt::BackgroundRole});
}

OutlineView::OutlineView(QWidget* parent) : QTreeView(parent), m_model(new OutlineModel(this))
{
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new RowHeight(this));
    setModel(m_model);
    TieCurrentToSelection(this);
    // The current row gives way to the one that takes its place, else to the one before it,
    // else to its parent, as a view does for a removed row.
    connect(m_model, &OutlineModel::RowAboutToGo, this, [this](const QModelIndex& row) {
        if (currentIndex() != row)
            return;
        const QModelIndex parent = row.parent();
        const int count = m_model->rowCount(parent);
        if (count > 1)
            setCurrentIndex(m_model->index(row.row() + 1 < count ? row.row() + 1 : row.row() - 1,
                                           0, parent));
        else if (parent.isValid())
            setCurrentIndex(parent);
    });
    // A row folded away cannot stay the marked one: the mark goes to the row that folded it.
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& row) {
        for (QModelIndex up = currentIndex().parent(); up.isValid(); up = up.parent()) {
            if (up == row) {
                setCurrentIndex(row);
                return;
            }
        }
    });
}

namespace Outline {

OutlineView* Create(QWidget* parent)
{
    auto* outline = new OutlineView(parent);
    outline->setObjectName(QStringLiteral("Outline1"));
    return outline;
}

QModelIndex RowOf(const OutlineView* outline, const TTreeList* item)
{
    return outline->Model()->IndexOf(item);
}

QModelIndex SelectItemRow(OutlineView* outline, const TTreeList* item)
{
    const QModelIndex row = RowOf(outline, item);
    if (!row.isValid())
        return row;
    for (QModelIndex up = row.parent(); up.isValid(); up = up.parent()) {
        if (!outline->isExpanded(up))
            outline->expand(up);
    }
    outline->setCurrentIndex(row);
    outline->scrollTo(row);
    return row;
}

namespace {

// Positions from the top rows down to row: their order is the display order.
std::vector<int> pathOf(QModelIndex row)
{
    std::vector<int> path;
    for (; row.isValid(); row = row.parent())
        path.push_back(row.row());
    std::reverse(path.begin(), path.end());
    return path;
}

}  // namespace

bool MoveItemRow(OutlineView* outline, TTreeList* a, TTreeList* b)
{
    const QModelIndex from = RowOf(outline, a);
    const QModelIndex onto = RowOf(outline, b);
    if (a == b || !from.isValid() || !onto.isValid() || !from.parent().isValid() ||
        !onto.parent().isValid() || isWithin(b, a))
        return false;
    const bool after = pathOf(from) < pathOf(onto);
    TTreeList* parent = b->Parent();
    bool moved = false;
    outline->Model()->Move(a, parent, onto.row() + (after ? 1 : 0),
                           [&] { moved = ProjectEdits::MoveItem(a, b, after); });
    return moved;
}

}  // namespace Outline

}  // namespace orm
