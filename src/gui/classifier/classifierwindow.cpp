#include "gui/classifier/classifierwindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>
#include <unordered_set>

#include "core/exchange/itemtext.h"
#include "core/model/edithistory.h"
#include "core/model/numbers.h"
#include "core/model/project.h"
#include "core/model/projectedits.h"
#include "core/organigram/diagdata.h"
#include "core/organigram/organigramfill.h"
#include "format/textcodec.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "gui/kit/uikit.h"
#include "gui/organigram/organigramwindow.h"

namespace orm {

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
            {ActionCopy, "ActionCopy", "Копировать элементы", "Копировать элементы",
             QKeySequence(Qt::CTRL | Qt::Key_C), nullptr, 9},
            {ActionPaste, "ActionPaste", "Вставить элементы", "Вставить элементы",
             QKeySequence(Qt::SHIFT | Qt::Key_Insert), nullptr, 10},
        },
        Qt::WidgetWithChildrenShortcut);
    for (QAction* a : {ActionExpand, ActionAdd, ActionMod, ActionDel, ActionOrganigram,
                       ActionClose, ActionUp, ActionDown, ActionCopy, ActionPaste}) {
        addAction(a);
        const int tag = a->data().toInt();
        connect(a, &QAction::triggered, this, [this, tag] { actionExecute(tag); });
    }
    // Enter on the keypad as well as the main Enter key.
    ActionExpand->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    // Ctrl+V stays the main window's vertical tiling.
    ActionPaste->setShortcuts({QKeySequence(Qt::SHIFT | Qt::Key_Insert),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)});
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
    PopupMenu1->addAction(ActionCopy);
    PopupMenu1->addAction(ActionPaste);
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
        if (const QModelIndex row = Outline1->indexAt(pos); row.isValid())
            Outline1->setCurrentIndex(row);
        PopupMenu1->popup(Outline1->viewport()->mapToGlobal(pos));
    });
    // A press moves the current row before it selects it: the row counts once it is both.
    connect(Outline1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ClassifierWindow::selectionChanged);
    connect(Outline1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ClassifierWindow::selectionChanged);
    connect(Outline1, &QTreeView::expanded, this, &ClassifierWindow::UpdateActionStates);
    connect(Outline1, &QTreeView::collapsed, this, &ClassifierWindow::UpdateActionStates);

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
    Outline1->Model()->SetTops({tree});
    const QModelIndex top = Outline1->Model()->index(0, 0);
    Outline1->expand(top);
    {
        // The classifier's own row starts highlighted, so that Insert works at once.
        const SyncGuardScope guard(m_hub->Context());
        Outline1->setCurrentIndex(top);
    }
    UpdateActionStates();
}

void ClassifierWindow::ReleaseRows()
{
    // The rows go; nothing to tell the other windows.
    const SyncGuardScope guard(m_hub->Context());
    Outline1->Model()->SetTops({});
}

std::unordered_set<const TTreeList*> ClassifierWindow::expandedNodes() const
{
    // An expanded row is one the view holds on to, so the held rows are enough to look at.
    std::unordered_set<const TTreeList*> expanded;
    for (const QModelIndex& row : Outline1->Model()->HeldRows()) {
        if (Outline1->isExpanded(row))
            expanded.insert(Outline::ItemOf(row));
    }
    return expanded;
}

std::vector<int> ClassifierWindow::ExpandedWithin(TTreeList* item) const
{
    // The subtree is walked, not every open row of the window: deleting a leaf among 10^5 open
    // rows looks at one node.
    std::vector<int> positions;
    if (!item)
        return positions;
    int position = 0;
    item->ForEachNode([&](TTreeList* node) {
        if (node->Count() > 0 && Outline1->isExpanded(Outline::RowOf(Outline1, node)))
            positions.push_back(position);
        ++position;
    });
    return positions;
}

void ClassifierWindow::ExpandWithin(TTreeList* item, const std::vector<int>& positions)
{
    if (positions.empty() || !item)
        return;
    std::vector<TTreeList*> nodes;
    int position = 0;
    size_t next = 0;
    item->ForEachNode([&](TTreeList* node) {
        if (next < positions.size() && positions[next] == position) {
            nodes.push_back(node);
            ++next;
        }
        ++position;
    });
    for (TTreeList* node : nodes)
        Outline1->expand(Outline::RowOf(Outline1, node));
}

void ClassifierWindow::FollowStep(EditStep& step, const EditShape& shape,
                                  const std::function<void()>& run)
{
    TMainTreeList& project = m_hub->Context().MainProject;
    OutlineModel* model = Outline1->Model();
    NodePath at = shape.Parent;
    at.push_back(shape.Index);
    {
        // Rows come and go; the main window selects what the step names afterwards.
        const SyncGuardScope guard(m_hub->Context());
        switch (shape.What) {
        case EditShape::Remove: {
            TTreeList* node = NodeAt(project, at);
            step.ExpandedRows() = ExpandedWithin(node);
            model->Remove(node, run);
            break;
        }
        case EditShape::Insert: {
            TTreeList* parent = NodeAt(project, shape.Parent);
            TTreeList* node = model->Insert(parent, shape.Index, [&]() -> TTreeList* {
                run();
                return NodeAt(project, at);
            });
            ExpandWithin(node, step.ExpandedRows());
            break;
        }
        case EditShape::Move:
            model->Move(NodeAt(project, at), NodeAt(project, shape.ToParent), shape.ToIndex, run);
            break;
        case EditShape::Reset:
            resetRowsAround(run);
            break;
        case EditShape::None:
            run();
            break;
        }
    }
    UpdateActionStates();
}

TTreeList* ClassifierWindow::CurrentItem() const
{
    // Only a highlighted row counts: what the user sees marked is what is acted on.
    const QModelIndex row = Outline1->currentIndex();
    return Outline1->selectionModel()->isSelected(row) ? Outline::ItemOf(row) : nullptr;
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
    const QModelIndex row = Outline1->currentIndex();
    if (!row.isValid() || !Outline1->selectionModel()->isSelected(row))
        return 0;
    return row.parent().isValid() ? 2 : 1;
}

void ClassifierWindow::UpdateActionStates()
{
    const int kind = selectedRowKind();
    // Nothing highlighted, nothing to act on.
    ActionExpand->setEnabled(kind > 0);
    ActionAdd->setEnabled(kind > 0);
    ActionOrganigram->setEnabled(kind > 0);
    ActionCopy->setEnabled(kind > 0);
    ActionPaste->setEnabled(kind > 0);
    ActionMod->setEnabled(kind > 1);
    ActionDel->setEnabled(kind > 1);
    if (kind > 0) {
        ActionExpand->setText(Outline1->isExpanded(Outline1->currentIndex())
                                  ? QStringLiteral("Свернуть")
                                  : QStringLiteral("Развернуть"));
    }
    if (kind < 2) {
        ActionUp->setEnabled(false);
        ActionDown->setEnabled(false);
    } else {
        const TTreeList* item = CurrentItem();
        const int position = item->Parent()->IndexOf(item);
        ActionUp->setEnabled(position > 0);
        ActionDown->setEnabled(position + 1 < item->Parent()->Count());
    }
}

void ClassifierWindow::SetToolBarVisible(bool visible)
{
    ToolBar1->setVisible(visible);
}

void ClassifierWindow::ShowCurrent()
{
    if (const QModelIndex row = Outline1->currentIndex(); row.isValid())
        Outline1->scrollTo(row);
}

void ClassifierWindow::actionExecute(int tag)
{
    switch (tag) {
    case 1:
        if (const QModelIndex row = Outline1->currentIndex(); row.isValid()) {
            Outline1->Model()->KeepLeafState(Outline::ItemOf(row));
            Outline1->setExpanded(row, !Outline1->isExpanded(row));
        }
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
    case 9:
        if (TTreeList* item = CurrentItem())
            QGuiApplication::clipboard()->setText(FromCp1251(WriteItemText(*item)));
        break;
    case 10:
        pasteItems();
        break;
    default:
        break;
    }
    UpdateActionStates();
}

void ClassifierWindow::addItem()
{
    TTreeList* parent = CurrentItem();
    if (!parent)
        return;
    std::string text;
    if (!InputItemText(m_hub->prompts(), text, ToCp1251(QStringLiteral("Новый элемент"))))
        return;
    TTreeList* item = Outline1->Model()->AppendChild(
        parent, [&] { return ProjectEdits::AddItem(parent, text); });
    // The parent stays selected, so that the next Insert adds a sibling; the new row is shown,
    // also under a row that was collapsed.
    const QModelIndex row = Outline::RowOf(Outline1, item);
    Outline1->expand(row.parent());
    Outline1->scrollTo(row);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::pasteItems()
{
    TTreeList* parent = CurrentItem();
    if (!parent)
        return;
    // The clipboard's text as UTF-8, which the reader tells from Windows-1251 bytes.
    const ItemTextRead read =
        ReadItemText(QGuiApplication::clipboard()->text().toUtf8().toStdString());
    Prompts& prompts = m_hub->prompts();
    if (!read.Error.empty()) {
        prompts.ShowError(read.Error);
        return;
    }
    if (read.Items.empty()) {
        prompts.Inform(ToCp1251(QStringLiteral("В буфере обмена нет строк с элементами.")));
        return;
    }
    if (!prompts.Confirm(TextItemsPreview(*parent, read.Items), Prompts::Answer::Yes))
        return;
    resetRowsAround([&] { AddTextItems(parent, read.Items); });
    // The parent stays selected, its new rows shown.
    const QModelIndex row = Outline::RowOf(Outline1, parent);
    Outline1->expand(row);
    Outline1->setCurrentIndex(row);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::resetRowsAround(const std::function<void()>& edit)
{
    // Rows that are still there afterwards keep their open state and the selection; the
    // remembered addresses are compared with the tree's nodes, never read through.
    const std::unordered_set<const TTreeList*> expanded = expandedNodes();
    const TTreeList* current = CurrentItem();
    {
        const SyncGuardScope guard(m_hub->Context());
        Outline1->Model()->Reset(edit);
    }
    TTreeList* selected = nullptr;
    m_hub->Context().MainProject.TreeByIndex(m_tag)->ForEachNode([&](TTreeList* node) {
        if (expanded.count(node)) {
            Outline1->Model()->KeepLeafState(node);
            Outline1->expand(Outline::RowOf(Outline1, node));
        }
        if (node == current)
            selected = node;
    });
    if (selected) {
        const SyncGuardScope guard(m_hub->Context());
        Outline1->setCurrentIndex(Outline::RowOf(Outline1, selected));
    }
}

void ClassifierWindow::renameItem()
{
    if (selectedRowKind() < 2)
        return;
    TTreeList* item = CurrentItem();
    std::string text(item->Name());
    if (!InputItemText(m_hub->prompts(), text, ToCp1251(QStringLiteral("Изменение"))))
        return;
    if (ProjectEdits::RenameItem(item, text))
        Outline1->Model()->Renamed(item);
}

void ClassifierWindow::deleteItem()
{
    if (selectedRowKind() < 2)
        return;
    if (!m_hub->prompts().Confirm(
            ToCp1251(QStringLiteral("Вы действительно хотите удалить?")), Prompts::Answer::No))
        return;
    TTreeList* item = CurrentItem();
    // An undo brings the rows back open as they are now.
    std::vector<int> expanded = ExpandedWithin(item);
    // The row goes first, and the grid cells, so nothing on screen points at a destroyed item.
    // The row that takes the deleted row's place becomes the selected one.
    Outline1->Model()->Remove(item, [&] {
        m_hub->ReleaseProjections(m_tag);
        ProjectEdits::DeleteItem(item);
    });
    if (EditStep* step = m_hub->Context().MainProject.History().Last())
        step->ExpandedRows() = std::move(expanded);
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
    if (selectedRowKind() < 2)
        return;
    TTreeList* item = CurrentItem();
    TTreeList* parent = item->Parent();
    const int targetIndex = parent->IndexOf(item) + (up ? -1 : 1);
    if (targetIndex < 0 || targetIndex >= parent->Count())
        return;
    {
        const SyncGuardScope guard(m_hub->Context());  // the row leaves and comes back
        Outline::MoveItemRow(Outline1, item, parent->Child(targetIndex));
    }
    Outline::SelectItemRow(Outline1, item);
    m_hub->RefreshProjections(m_tag);
}

void ClassifierWindow::selectionChanged()
{
    AppContext& context = m_hub->Context();
    if (context.SyncGuard || Outline1->Model()->Tops().empty())
        return;
    const SyncGuardScope guard(context);
    if (TTreeList* item = CurrentItem())
        m_hub->ShowItemEverywhere(item, this);
    UpdateActionStates();
}

}  // namespace orm
