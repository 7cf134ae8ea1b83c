#include "gui/classifier/classifierwindow.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <unordered_set>

#include "core/model/numbers.h"
#include "core/model/projectedits.h"
#include "core/organigram/diagdata.h"
#include "core/organigram/organigramfill.h"
#include "format/textcodec.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "gui/kit/uikit.h"
#include "gui/organigram/organigramwindow.h"

namespace orm {

namespace Outline {

namespace {

QTreeWidgetItem* makeRow(TTreeList* item, const std::string& text)
{
    auto* row = new QTreeWidgetItem;
    row->setText(0, FromCp1251(text));
    row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    return row;
}

// Rows of node's subtree, linked to their parents through a stack of the open levels.
QTreeWidgetItem* buildRows(TTreeList* node)
{
    QTreeWidgetItem* top = nullptr;
    std::vector<QTreeWidgetItem*> open;
    node->ForEachPreOrder([&](TTreeList* n, const std::string& number, int depth) {
        QTreeWidgetItem* row = makeRow(n, number + " " + std::string(n->Name()));
        open.resize(static_cast<size_t>(depth));
        if (depth == 0)
            top = row;
        else
            open.back()->addChild(row);
        open.push_back(row);
    });
    return top;
}

void collectExpanded(QTreeWidgetItem* row, std::vector<std::pair<QTreeWidgetItem*, bool>>& out)
{
    std::vector<QTreeWidgetItem*> pending{row};
    while (!pending.empty()) {
        QTreeWidgetItem* r = pending.back();
        pending.pop_back();
        if (r->childCount() > 0) {
            out.emplace_back(r, r->isExpanded());
            for (int i = 0; i < r->childCount(); ++i)
                pending.push_back(r->child(i));
        }
    }
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

QTreeWidget* Create(QWidget* parent)
{
    auto* outline = new QTreeWidget(parent);
    outline->setObjectName(QStringLiteral("Outline1"));
    outline->setHeaderHidden(true);
    outline->setColumnCount(1);
    outline->setUniformRowHeights(true);
    outline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outline->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outline->setSelectionMode(QAbstractItemView::SingleSelection);
    outline->setTextElideMode(Qt::ElideRight);
    outline->setItemDelegate(new RowHeight(outline));
    return outline;
}

TTreeList* ItemOf(const QTreeWidgetItem* row)
{
    return row ? reinterpret_cast<TTreeList*>(row->data(0, Qt::UserRole).value<quintptr>())
               : nullptr;
}

void Fill(QTreeWidget* outline, TTreeList* node)
{
    outline->clear();
    Append(outline, node);
}

void Append(QTreeWidget* outline, TTreeList* node)
{
    outline->addTopLevelItem(buildRows(node));
}

QTreeWidgetItem* RowOf(QTreeWidget* outline, const TTreeList* item)
{
    if (!item)
        return nullptr;
    // The path of positions from the item up to its classifier's tree node.
    std::vector<int> path;
    const TTreeList* node = item;
    while (node->Parent() && node->Parent()->Parent()) {
        path.push_back(node->Parent()->IndexOf(node));
        node = node->Parent();
    }
    for (int t = 0; t < outline->topLevelItemCount(); ++t) {
        QTreeWidgetItem* row = outline->topLevelItem(t);
        if (ItemOf(row) != node)
            continue;
        for (auto it = path.rbegin(); row && it != path.rend(); ++it)
            row = row->child(*it);
        if (row && ItemOf(row) == item)
            return row;
    }
    // Rows out of step with the tree: look through them all.
    QTreeWidgetItemIterator it(outline);
    for (; *it; ++it) {
        if (ItemOf(*it) == item)
            return *it;
    }
    return nullptr;
}

QTreeWidgetItem* SelectItemRow(QTreeWidget* outline, const TTreeList* item)
{
    QTreeWidgetItem* row = RowOf(outline, item);
    if (!row)
        return nullptr;
    for (QTreeWidgetItem* up = row->parent(); up; up = up->parent()) {
        if (!up->isExpanded())
            up->setExpanded(true);
    }
    outline->setCurrentItem(row);
    outline->scrollToItem(row);
    return row;
}

int RowNumber(const QTreeWidgetItem* row)
{
    if (!row)
        return 0;
    const QTreeWidget* outline = row->treeWidget();
    int number = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(outline)); *it; ++it) {
        ++number;
        if (*it == row)
            return number;
    }
    return 0;
}

namespace {

// True when a comes before b in display order.
bool precedes(QTreeWidgetItem* a, QTreeWidgetItem* b)
{
    // Compare the paths of positions from the top.
    auto pathOf = [](QTreeWidgetItem* row) {
        std::vector<int> path;
        for (; row; row = row->parent()) {
            QTreeWidgetItem* p = row->parent();
            path.push_back(p ? p->indexOfChild(row)
                             : row->treeWidget()->indexOfTopLevelItem(row));
        }
        std::reverse(path.begin(), path.end());
        return path;
    };
    return pathOf(a) < pathOf(b);
}

}  // namespace

void MoveItemRow(QTreeWidget* outline, QTreeWidgetItem* a, QTreeWidgetItem* b)
{
    if (!a || !b || a == b || !a->parent() || !b->parent())
        return;
    for (QTreeWidgetItem* up = b->parent(); up; up = up->parent()) {
        if (up == a)
            return;  // into its own subtree
    }
    const bool after = precedes(a, b);
    ProjectEdits::MoveItem(ItemOf(a), ItemOf(b), after);

    std::vector<std::pair<QTreeWidgetItem*, bool>> expanded;
    collectExpanded(a, expanded);
    QTreeWidgetItem* from = a->parent();
    QTreeWidgetItem* to = b->parent();
    from->takeChild(from->indexOfChild(a));
    to->insertChild(to->indexOfChild(b) + (after ? 1 : 0), a);
    for (const auto& [row, state] : expanded)
        row->setExpanded(state);
}

void RenumberRows(QTreeWidget* outline)
{
    for (int t = 0; t < outline->topLevelItemCount(); ++t) {
        QTreeWidgetItem* top = outline->topLevelItem(t);
        TTreeList* tree = ItemOf(top);
        if (!tree)
            continue;
        // Numbers from row positions: rows mirror their tree.
        struct Frame {
            QTreeWidgetItem* row;
            std::string number;
        };
        std::vector<Frame> pending{{top, tree->Number()}};
        while (!pending.empty()) {
            Frame frame = std::move(pending.back());
            pending.pop_back();
            const TTreeList* item = ItemOf(frame.row);
            const QString text = FromCp1251(frame.number + " " + std::string(item->Name()));
            if (frame.row->text(0) != text)
                frame.row->setText(0, text);
            for (int i = frame.row->childCount() - 1; i >= 0; --i)
                pending.push_back({frame.row->child(i), frame.number + "." + std::to_string(i + 1)});
        }
    }
}

}  // namespace Outline

ClassifierWindow::ClassifierWindow(MainHub* hub, int k, QWidget* parent) : TF_Base(hub, k, parent)
{
    setObjectName(QStringLiteral("TF_A1"));
    setWindowIcon(BundledIcon("classifier"));
    resize(533, 300);

    MakeActions(
        this,
        {
            {ActionExpand, "ActionExpand", "Развернуть", "", QKeySequence(Qt::Key_Return),
             nullptr, 1},
            {ActionAdd, "ActionAdd", "Добавить", "Добавить", QKeySequence(Qt::Key_Insert),
             "item-add", 2},
            {ActionMod, "ActionMod", "Изменить", "Изменить",
             QKeySequence(Qt::CTRL | Qt::Key_Return), "item-edit", 3},
            {ActionDel, "ActionDel", "Удалить", "Удалить", QKeySequence(Qt::Key_Delete),
             "item-delete", 4},
            {ActionOrganigram, "ActionOrganigram", "Органиграмма", "Органиграмма",
             QKeySequence(), "organigram", 5},
            {ActionClose, "ActionClose", "Закрыть окно", "Закрыть окно", QKeySequence(),
             "close-window", 6},
            {ActionUp, "ActionUp", "Вверх", "Вверх", QKeySequence(Qt::SHIFT | Qt::Key_Up),
             "item-up", 7},
            {ActionDown, "ActionDown", "Вниз", "Вниз", QKeySequence(Qt::SHIFT | Qt::Key_Down),
             "item-down", 8},
        },
        Qt::WidgetWithChildrenShortcut);
    for (QAction* a : {ActionExpand, ActionAdd, ActionMod, ActionDel, ActionOrganigram,
                       ActionClose, ActionUp, ActionDown}) {
        addAction(a);
        const int tag = a->data().toInt();
        connect(a, &QAction::triggered, this, [this, tag] { actionExecute(tag); });
    }
    // Enter on the keypad as well as the main Enter key.
    ActionExpand->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    ActionMod->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return),
                             QKeySequence(Qt::CTRL | Qt::Key_Enter), QKeySequence(Qt::Key_F2)});

    ToolBar1 = MakeChildToolBar(this);
    ToolBar1->addAction(ActionAdd);
    ToolBar1->addAction(ActionMod);
    ToolBar1->addAction(ActionDel);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionUp);
    ToolBar1->addAction(ActionDown);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionOrganigram);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionClose);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ActionExpand);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionAdd);
    PopupMenu1->addAction(ActionMod);
    PopupMenu1->addAction(ActionDel);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionUp);
    PopupMenu1->addAction(ActionDown);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionOrganigram);
    if (hub->UndoAction() && hub->RedoAction()) {
        PopupMenu1->addSeparator();
        PopupMenu1->addAction(hub->UndoAction());
        PopupMenu1->addAction(hub->RedoAction());
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, &ClassifierWindow::UpdateActionStates);

    Outline1 = Outline::Create(this);
    Outline1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Outline1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QTreeWidgetItem* row = Outline1->itemAt(pos))
            Outline1->setCurrentItem(row);
        PopupMenu1->popup(Outline1->viewport()->mapToGlobal(pos));
    });
    connect(Outline1, &QTreeWidget::currentItemChanged, this, &ClassifierWindow::selectionChanged);
    connect(Outline1, &QTreeWidget::itemExpanded, this, &ClassifierWindow::UpdateActionStates);
    connect(Outline1, &QTreeWidget::itemCollapsed, this, &ClassifierWindow::UpdateActionStates);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Outline1);

    UpdateActionStates();
}

void ClassifierWindow::FillOutline()
{
    TTreeList* tree = m_hub->Context().MainProject.TreeByIndex(m_tag);
    Outline::Fill(Outline1, tree);
    Outline1->topLevelItem(0)->setExpanded(true);
    UpdateActionStates();
}

void ClassifierWindow::Rebuild()
{
    std::unordered_set<const TTreeList*> expanded;
    for (QTreeWidgetItemIterator it(Outline1); *it; ++it) {
        if ((*it)->isExpanded())
            expanded.insert(Outline::ItemOf(*it));
    }
    {
        // Rows come and go; nothing to tell the other windows.
        const SyncGuardScope guard(m_hub->Context());
        Outline1->setUpdatesEnabled(false);
        FillOutline();
        for (QTreeWidgetItemIterator it(Outline1); *it; ++it) {
            if (expanded.count(Outline::ItemOf(*it)))
                (*it)->setExpanded(true);
        }
        Outline1->setUpdatesEnabled(true);
    }
    UpdateActionStates();
}

TTreeList* ClassifierWindow::CurrentItem() const
{
    return Outline::ItemOf(Outline1->currentItem());
}

void ClassifierWindow::SelectItem(TTreeList* item)
{
    Outline::SelectItemRow(Outline1, item);
    // Mirrored selections refresh the action states too, so this window's toolbar is right
    // when the user turns to it.
    UpdateActionStates();
}

int ClassifierWindow::selectedRowKind() const
{
    const QTreeWidgetItem* row = Outline1->currentItem();
    if (!row)
        return 0;
    return row->parent() ? 2 : 1;
}

void ClassifierWindow::UpdateActionStates()
{
    const int kind = selectedRowKind();
    ActionMod->setEnabled(kind > 1);
    ActionDel->setEnabled(kind > 1);
    if (kind > 0) {
        ActionExpand->setText(Outline1->currentItem()->isExpanded()
                                  ? QStringLiteral("Свернуть")
                                  : QStringLiteral("Развернуть"));
    }
    if (kind < 2) {
        ActionUp->setEnabled(false);
        ActionDown->setEnabled(false);
    } else {
        const TTreeList* item = CurrentItem();
        ActionUp->setEnabled(!item->IsFirstChild());
        ActionDown->setEnabled(!item->IsLastChild());
    }
}

void ClassifierWindow::SetToolBarVisible(bool visible)
{
    ToolBar1->setVisible(visible);
}

void ClassifierWindow::actionExecute(int tag)
{
    switch (tag) {
    case 1:
        if (QTreeWidgetItem* row = Outline1->currentItem())
            row->setExpanded(!row->isExpanded());
        break;
    case 2:
        addItem();
        break;
    case 3:
        renameItem();
        break;
    case 4:
        deleteItem();
        break;
    case 5:
        showItemOrganigram();
        break;
    case 6:
        if (QWidget* sub = parentWidget())
            sub->close();
        else
            close();
        return;
    case 7:
        shiftItem(true);
        break;
    case 8:
        shiftItem(false);
        break;
    default:
        break;
    }
    UpdateActionStates();
}

void ClassifierWindow::addItem()
{
    QTreeWidgetItem* row = Outline1->currentItem();
    if (!row)
        return;
    std::string text;
    if (!InputItemText(m_hub->prompts(), text, ToCp1251(QStringLiteral("Новый элемент"))))
        return;
    TTreeList* item = ProjectEdits::AddItem(Outline::ItemOf(row), text);
    auto* newRow = new QTreeWidgetItem;
    newRow->setText(0, FromCp1251(item->LineText()));
    newRow->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    row->addChild(newRow);
    // The new row is shown and selected, also under a collapsed row.
    Outline::SelectItemRow(Outline1, item);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::renameItem()
{
    QTreeWidgetItem* row = Outline1->currentItem();
    if (selectedRowKind() < 2)
        return;
    std::string text = TextAfterBlank(ToCp1251(row->text(0)));
    if (!InputItemText(m_hub->prompts(), text, ToCp1251(QStringLiteral("Изменение"))))
        return;
    TTreeList* item = Outline::ItemOf(row);
    ProjectEdits::RenameItem(item, text);
    row->setText(0, FromCp1251(item->LineText()));
}

void ClassifierWindow::deleteItem()
{
    QTreeWidgetItem* row = Outline1->currentItem();
    if (selectedRowKind() < 2)
        return;
    if (!m_hub->prompts().Confirm(
            ToCp1251(QStringLiteral("Вы действительно хотите удалить?"))))
        return;
    TTreeList* item = Outline::ItemOf(row);
    // The rows and grid cells go first, so nothing on screen points at a destroyed item. The
    // row that takes the deleted row's place becomes the selected one.
    delete row;
    m_hub->ReleaseProjections(m_tag);
    ProjectEdits::DeleteItem(item);
    Outline::RenumberRows(Outline1);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::showItemOrganigram()
{
    const TTreeList* item = CurrentItem();
    if (!item)
        return;
    TDiagData diagram;
    FillOrganigram(diagram, *item);
    ShowOrganigram(diagram, FromCp1251(item->LineText()), this, m_hub->prompts());
}

void ClassifierWindow::shiftItem(bool up)
{
    QTreeWidgetItem* row = Outline1->currentItem();
    if (selectedRowKind() < 2)
        return;
    QTreeWidgetItem* parent = row->parent();
    const int index = parent->indexOfChild(row);
    const int targetIndex = up ? index - 1 : index + 1;
    TTreeList* item = Outline::ItemOf(row);
    Outline1->setUpdatesEnabled(false);
    if (targetIndex >= 0 && targetIndex < parent->childCount()) {
        m_hub->Context().SyncGuard = true;  // the row leaves and comes back
        Outline::MoveItemRow(Outline1, row, parent->child(targetIndex));
        m_hub->Context().SyncGuard = false;
    }
    Outline::RenumberRows(Outline1);
    Outline1->setUpdatesEnabled(true);
    Outline::SelectItemRow(Outline1, item);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::selectionChanged()
{
    AppContext& context = m_hub->Context();
    if (context.SyncGuard || Outline1->topLevelItemCount() == 0)
        return;
    context.SyncGuard = true;
    QTreeWidgetItem* row = Outline1->currentItem();
    if (row && row->text(0).contains(QChar(' ')))
        m_hub->ShowItemEverywhere(Outline::ItemOf(row), this);
    UpdateActionStates();
    context.SyncGuard = false;
}

}  // namespace orm
