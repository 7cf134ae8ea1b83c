#include "gui/projection/projectionwindow.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/model/metamodel.h"
#include "core/model/projectedits.h"
#include "format/textcodec.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "gui/kit/printer.h"
#include "gui/kit/uikit.h"
#include "gui/projection/projectionexport.h"
#include "gui/projection/projectionprint.h"

namespace orm {

namespace {

constexpr int kHintLength = 127;

QPixmap pattern(bool falling, bool rising)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < 8; ++i) {
        if (falling)
            image.setPixelColor(i, i, QColor(255, 0, 0));
        if (rising)
            image.setPixelColor(7 - i, i, QColor(0, 128, 0));
    }
    return QPixmap::fromImage(image);
}

std::string cut(const std::string& text)
{
    return text.size() > kHintLength ? text.substr(0, kHintLength) : text;
}

}  // namespace

UnboundPatterns UnboundPatterns::Make()
{
    return {QBrush(pattern(true, true)), QBrush(pattern(true, false)),
            QBrush(pattern(false, true))};
}

// ---------------------------------------------------------------------------------------------

TProjectionModel::TProjectionModel(const AppSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), m_settings(settings)
{
}

void TProjectionModel::SetColumns(const ItemList& list)
{
    beginResetModel();
    m_columns = list;
    m_columnIndex.clear();
    endResetModel();
}

void TProjectionModel::SetRows(const ItemList& list)
{
    beginResetModel();
    m_rows = list;
    m_rowIndex.clear();
    endResetModel();
}

int TProjectionModel::positionOf(const TTreeList* item, const ItemList& list,
                                 std::unordered_map<const TTreeList*, int>& index)
{
    // Built on the first look-up: a grid is opened far more often than searched.
    if (index.empty() && !list.empty()) {
        index.reserve(list.size());
        for (size_t i = 0; i < list.size(); ++i)
            index.emplace(list[i].Item, static_cast<int>(i));
    }
    const auto it = index.find(item);
    return it == index.end() ? -1 : it->second;
}

void TProjectionModel::FillCells()
{
    // The header labels are the item numbers of the lists, which links leave as they are.
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

TTreeList* TProjectionModel::ColumnItem(int column) const
{
    return column >= 0 && column < columnCount() ? m_columns[static_cast<size_t>(column)].Item
                                                 : nullptr;
}

TTreeList* TProjectionModel::RowItem(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[static_cast<size_t>(row)].Item : nullptr;
}

int TProjectionModel::ColumnOf(const TTreeList* item) const
{
    return positionOf(item, m_columns, m_columnIndex);
}

int TProjectionModel::RowOf(const TTreeList* item) const
{
    return positionOf(item, m_rows, m_rowIndex);
}

bool TProjectionModel::IsBound(int row, int column) const
{
    TTreeList* r = RowItem(row);
    TTreeList* c = ColumnItem(column);
    return r && c && r->ToggleLink(c, false);
}

int TProjectionModel::Engagement(int row, int column) const
{
    const TTreeList* r = RowItem(row);
    const TTreeList* c = ColumnItem(column);
    return 2 * (c && c->HasChildrenOrLinks() ? 1 : 0) + (r && r->HasChildrenOrLinks() ? 1 : 0);
}

QString TProjectionModel::HintText(int row, int column) const
{
    const TTreeList* c = column >= 0 ? ColumnItem(column) : nullptr;
    const TTreeList* r = row >= 0 ? RowItem(row) : nullptr;
    const std::string columnText = c ? cut(c->LineText()) : std::string();
    const std::string rowText = r ? cut(r->LineText()) : std::string();
    if (!columnText.empty() && !rowText.empty())
        return FromCp1251(columnText + "\n" + rowText);
    return FromCp1251(columnText + rowText);
}

int TProjectionModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TProjectionModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TProjectionModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return IsBound(index.row(), index.column()) ? QStringLiteral("X") : QString();
    case Qt::ToolTipRole:
        if (!m_settings.GridUseHint)
            return {};
        return HintText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant TProjectionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const bool horizontal = orientation == Qt::Horizontal;
    const ItemList& list = horizontal ? m_columns : m_rows;
    if (section < 0 || section >= static_cast<int>(list.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return FromCp1251(list[static_cast<size_t>(section)].Text);
    case Qt::ToolTipRole:
        // A deep number elided in its 71 pixels is whole in the hint, also without item hints.
        if (!m_settings.GridUseHint)
            return FromCp1251(list[static_cast<size_t>(section)].Text);
        return horizontal ? HintText(-1, section) : HintText(section, -1);
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------

TProjectionHeader::TProjectionHeader(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
{
    // Hiding or showing a section resizes it.
    connect(this, &QHeaderView::sectionResized, this, [this] { sectionsChanged(); });
}

void TProjectionHeader::setModel(QAbstractItemModel* model)
{
    if (model == this->model())
        return;
    for (const QMetaObject::Connection& c : std::exchange(m_modelConnections, {}))
        disconnect(c);
    QHeaderView::setModel(model);
    sectionsChanged();
    if (!model)
        return;
    const auto changed = [this] { sectionsChanged(); };
    const bool horizontal = orientation() == Qt::Horizontal;
    m_modelConnections = {
        connect(model, &QAbstractItemModel::modelReset, this, changed),
        connect(model, &QAbstractItemModel::layoutChanged, this, changed),
        connect(model, &QAbstractItemModel::headerDataChanged, this,
                [this](Qt::Orientation o) {
                    if (o == orientation())
                        sectionsChanged();
                }),
        connect(model,
                horizontal ? &QAbstractItemModel::columnsInserted
                           : &QAbstractItemModel::rowsInserted,
                this, changed),
        connect(model,
                horizontal ? &QAbstractItemModel::columnsRemoved : &QAbstractItemModel::rowsRemoved,
                this, changed),
        connect(model,
                horizontal ? &QAbstractItemModel::columnsMoved : &QAbstractItemModel::rowsMoved,
                this, changed),
    };
}

void TProjectionHeader::sectionsChanged()
{
    ++m_sectionsRevision;
}

QString TProjectionHeader::label(int logicalIndex) const
{
    return model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
}

void TProjectionHeader::keepToFont() const
{
    // Polishing may still set the font.
    ensurePolished();
    if (m_boldMetrics && m_font == font() && m_style == style())
        return;
    m_font = font();
    m_style = style();
    m_bold = m_font;
    m_bold.setBold(true);
    m_boldMetrics.emplace(m_bold);
    m_labelSizes.clear();
    m_ownDigits.reset();
    m_hint.reset();
}

void TProjectionHeader::forgetMeasures(const QEvent* event)
{
    // Where QHeaderView forgets its size hint: a style sheet may change the sections' font or
    // margins with neither the header's font nor its style object.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
        m_boldMetrics.reset();
}

bool TProjectionHeader::event(QEvent* event)
{
    forgetMeasures(event);
    return QHeaderView::event(event);
}

bool TProjectionHeader::viewportEvent(QEvent* event)
{
    forgetMeasures(event);
    return QHeaderView::viewportEvent(event);
}

QSize TProjectionHeader::sectionSizeFromContents(int logicalIndex) const
{
    keepToFont();
    const QString text = label(logicalIndex);
    auto it = m_labelSizes.constFind(text);
    if (it == m_labelSizes.cend()) {
        // Renumbered items leave their old labels behind.
        if (m_labelSizes.size() >= 4096)
            m_labelSizes.clear();
        // As QHeaderView measures a section, in one bold font for all of them.
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        option.fontMetrics = *m_boldMetrics;
        option.text = text;
        if (isSortIndicatorShown())
            option.sortIndicator = QStyleOptionHeader::SortDown;
        it = m_labelSizes.insert(
            text, style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this));
    }
    return *it;
}

QList<int> TProjectionHeader::measuredSections() const
{
    constexpr int kSpan = 100;
    QList<int> sections;
    const int n = count();
    int i = 0;
    for (int taken = 0; taken < kSpan && i < n; ++i) {
        if (!isSectionHidden(i)) {
            sections.append(i);
            ++taken;
        }
    }
    for (int j = n - 1, taken = 0; j >= std::max(i, n - kSpan) && taken < kSpan; --j) {
        if (!isSectionHidden(j)) {
            sections.append(j);
            ++taken;
        }
    }
    return sections;
}

bool TProjectionHeader::oneLineHeight(const QList<int>& sections) const
{
    // The height of a line of text is that of the font faces drawing its glyphs. When the first
    // face of the bold font draws every digit and point, all item numbers are one line of one
    // height.
    static const QString kNumberChars = QStringLiteral("0123456789.");
    const auto isNumberChar = [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
    };
    if (sections.isEmpty())
        return false;
    if (!m_ownDigits) {
        const QRawFont face = QRawFont::fromFont(m_bold);
        m_ownDigits = std::all_of(kNumberChars.begin(), kNumberChars.end(),
                                  [&face](QChar c) { return face.supportsCharacter(c); });
    }
    if (!*m_ownDigits)
        return false;
    return std::all_of(sections.begin(), sections.end(), [&](int i) {
        const QString text = label(i);
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), isNumberChar);
    });
}

QSize TProjectionHeader::sizeHint() const
{
    keepToFont();
    const HintKey key{count(), m_sectionsRevision};
    if (m_hint && m_hint->first == key)
        return m_hint->second;
    const QList<int> sections = measuredSections();
    QSize hint(0, 0);
    if (orientation() == Qt::Horizontal && oneLineHeight(sections)) {
        hint = sectionSizeFromContents(sections.front());
    } else {
        for (const int i : sections)
            hint = hint.expandedTo(sectionSizeFromContents(i));
    }
    m_hint = {key, hint};
    return hint;
}

// ---------------------------------------------------------------------------------------------

TUnboundDelegate::TUnboundDelegate(const TProjectionModel& model, const AppSettings& settings,
                                   const UnboundPatterns& patterns, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model), m_settings(settings), m_patterns(patterns)
{
}

void TUnboundDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QBrush* brush = nullptr;
    switch (m_settings.GridSelectUnbind ? m_model.Engagement(index.row(), index.column()) : 3) {
    case 0:
        brush = &m_patterns.Both;
        break;
    case 1:
        brush = &m_patterns.Column;
        break;
    case 2:
        brush = &m_patterns.Row;
        break;
    default:
        if (!blank(option, index))
            QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The hatching is opaque and covers the cell, so what the style paints there, which it
    // clips to the cell, would never show.
    painter->save();
    // The pattern stays fixed to the cell, as a brush origin at the cell's corner does.
    painter->setBrushOrigin(option.rect.topLeft());
    painter->fillRect(option.rect, *brush);
    if (option.state & QStyle::State_Selected) {
        // The current cell stays plain to see over the hatching.
        QColor highlight = option.palette.color(QPalette::Highlight);
        highlight.setAlpha(110);
        painter->fillRect(option.rect, highlight);
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}

bool TUnboundDelegate::blank(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    constexpr QStyle::State marked =
        QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;
    if (option.state & marked || m_model.IsBound(index.row(), index.column()))
        return false;
    // Every other cell is plain: no mark, no text and no other data of its own. Whether the
    // style paints anything for such a cell is found once per look, from one painted alone on a
    // transparent image.
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const BlankKey key{style, option.state, option.features, option.rect.size(),
                       option.palette.cacheKey()};
    if (m_blank && m_blank->first == key)
        return m_blank->second;
    QStyleOptionViewItem alone = option;
    initStyleOption(&alone, index);
    alone.rect.moveTopLeft(QPoint(0, 0));
    QImage image(alone.rect.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        style->drawControl(QStyle::CE_ItemViewItem, &alone, &p, widget);
    }
    bool untouched = true;
    for (int y = 0; y < image.height() && untouched; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        untouched = std::all_of(line, line + image.width(), [](QRgb px) { return px == 0; });
    }
    m_blank = {key, untouched};
    return untouched;
}

// ---------------------------------------------------------------------------------------------

ProjectionWindow::ProjectionWindow(MainHub* hub, int p, const UnboundPatterns& patterns,
                                   QWidget* parent)
    : TF_Base(hub, p, parent)
{
    setObjectName(QStringLiteral("TF_A14"));
    setWindowIcon(BundledIcon("matrix"));
    resize(435, 302);
    std::tie(m_first, m_second) = TStructRes::ProjectionPair(p);
    AppContext& context = hub->Context();

    MakeActions(
        this,
        {
            {ActionBind, "ActionBind", "Создать &связь", "Создать связь",
             QKeySequence(Qt::Key_Space), "bind", 1},
            {ActionPrint, "ActionPrint", "&Печать Проекции", "Печать Проекции", QKeySequence(),
             "print", 2},
            {ActionPrintSetup, "ActionPrintSetup", "&Настройка принтера ...",
             "Настройка принтера", QKeySequence(Qt::Key_Insert), "printer-setup", 3},
            {ActionExportPdf, "ActionExportPdf", "Экспорт в &PDF…", "Экспорт в PDF",
             QKeySequence(), "export-pdf", 6},
            {ActionExportCsv, "ActionExportCsv", "Экспорт в &CSV…", "Экспорт в CSV",
             QKeySequence(), "export-table", 7},
            {ActionImportCsv, "ActionImportCsv", "&Импорт из CSV…", "Импорт из CSV",
             QKeySequence(), "file-open", 8},
            {ActionProps, "ActionProps", "&Установки ...", nullptr, QKeySequence(), "settings",
             4},
            {ActionClose, "ActionClose", "Закрыть окно", "Закрыть окно", QKeySequence(),
             "close-window", 5},
        },
        Qt::WidgetWithChildrenShortcut);
    for (QAction* a : {ActionBind, ActionPrint, ActionPrintSetup, ActionExportPdf, ActionExportCsv,
                       ActionImportCsv, ActionProps, ActionClose}) {
        addAction(a);
        const int tag = a->data().toInt();
        connect(a, &QAction::triggered, this, [this, tag] { actionExecute(tag); });
    }

    ToolBar1 = MakeChildToolBar(this);
    ToolBar1->addAction(ActionBind);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionPrint);
    ToolBar1->addAction(ActionExportPdf);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionClose);

    m_model = new TProjectionModel(context.Settings, this);
    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        auto* header = new TProjectionHeader(orientation, StringGrid1);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setSectionsMovable(false);
        header->setSectionsClickable(false);
        header->setHighlightSections(true);
        header->setDefaultAlignment(Qt::AlignCenter);
        // The last components tell deep items apart; the first are their ancestors'.
        header->setTextElideMode(Qt::ElideLeft);
        // Given the model before the view, a header skips the view's placeholder one.
        header->setModel(m_model);
        if (orientation == Qt::Horizontal) {
            header->setDefaultSectionSize(71);
            header->setMinimumHeight(23);
            StringGrid1->setHorizontalHeader(header);
        } else {
            header->setDefaultSectionSize(23);
            header->setMinimumWidth(71);
            StringGrid1->setVerticalHeader(header);
        }
    }
    StringGrid1->setModel(m_model);
    StringGrid1->setItemDelegate(
        new TUnboundDelegate(*m_model, context.Settings, patterns, StringGrid1));
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setCornerButtonEnabled(false);
    StringGrid1->setWordWrap(false);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = StringGrid1->indexAt(pos);
        if (index.isValid())
            StringGrid1->setCurrentIndex(index);
        UpdateBindAction();
        popupMenu()->popup(StringGrid1->viewport()->mapToGlobal(pos));
    });
    connect(StringGrid1, &QAbstractItemView::doubleClicked, this, [this] { ToggleBinding(); });
    // A double-click on a header cell toggles the current cell too.
    for (QHeaderView* header : {StringGrid1->horizontalHeader(), StringGrid1->verticalHeader()})
        connect(header, &QHeaderView::sectionDoubleClicked, this, [this] { ToggleBinding(); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ProjectionWindow::currentChanged);
    TieCurrentToSelection(StringGrid1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(StringGrid1);
    UpdateBindAction();
}

QMenu* ProjectionWindow::popupMenu()
{
    if (PopupMenu1)
        return PopupMenu1;
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(ActionBind);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionPrint);
    PopupMenu1->addAction(ActionPrintSetup);
    PopupMenu1->addAction(ActionExportPdf);
    PopupMenu1->addAction(ActionExportCsv);
    PopupMenu1->addAction(ActionImportCsv);
    PopupMenu1->addAction(ActionProps);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionClose);
    return PopupMenu1;
}

void ProjectionWindow::SetColumns(const ItemList& list)
{
    keepCurrentCell([&] { m_model->SetColumns(list); });
}

void ProjectionWindow::SetRows(const ItemList& list)
{
    keepCurrentCell([&] { m_model->SetRows(list); });
}

void ProjectionWindow::Release(int k)
{
    if (k == 0 || m_first == k)
        SetColumns({});
    if (k == 0 || m_second == k)
        SetRows({});
}

void ProjectionWindow::keepCurrentCell(const std::function<void()>& rebuild)
{
    const QModelIndex current = StringGrid1->currentIndex();
    if (current.isValid()) {
        m_heldCell.row = current.row();
        m_heldCell.column = current.column();
    }
    // The current cell follows the classifier windows, never the other way round: a rebuild
    // moves no selection anywhere else.
    const SyncGuardScope guard(m_hub->Context());
    rebuild();
    // The grid keeps its current cell's place where it still exists (also across a release).
    if (m_heldCell.row >= 0 && m_model->rowCount() > 0 && m_model->columnCount() > 0) {
        const QModelIndex again =
            m_model->index(std::min(m_heldCell.row, m_model->rowCount() - 1),
                           std::min(m_heldCell.column, m_model->columnCount() - 1));
        StringGrid1->selectionModel()->setCurrentIndex(again,
                                                       QItemSelectionModel::ClearAndSelect);
    }
}

void ProjectionWindow::Follow(const TTreeList* columnItem, const TTreeList* rowItem)
{
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid())
        return;
    const int column = m_model->ColumnOf(columnItem);
    const int row = m_model->RowOf(rowItem);
    const QModelIndex target = m_model->index(row >= 0 ? row : current.row(),
                                              column >= 0 ? column : current.column());
    if (target == current)
        return;
    const SyncGuardScope guard(m_hub->Context());
    StringGrid1->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    StringGrid1->scrollTo(target);
}

void ProjectionWindow::FillCells()
{
    m_model->FillCells();
    if (!StringGrid1->currentIndex().isValid() && m_model->rowCount() > 0 &&
        m_model->columnCount() > 0) {
        // The first data cell is current, as in a grid just filled.
        const SyncGuardScope guard(m_hub->Context());
        StringGrid1->selectionModel()->setCurrentIndex(m_model->index(0, 0),
                                                       QItemSelectionModel::ClearAndSelect);
    }
    UpdateBindAction();
}

void ProjectionWindow::SelectColumnOf(TTreeList* item)
{
    const int column = m_model->ColumnOf(item);
    const QModelIndex current = StringGrid1->currentIndex();
    if (column < 0 || (current.isValid() && current.column() == column))
        return;
    const int row = current.isValid() ? current.row() : 0;
    if (m_model->rowCount() == 0)
        return;
    const QModelIndex target = m_model->index(row, column);
    StringGrid1->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    StringGrid1->scrollTo(target);
}

void ProjectionWindow::SelectRowOf(TTreeList* item)
{
    const int row = m_model->RowOf(item);
    const QModelIndex current = StringGrid1->currentIndex();
    if (row < 0 || (current.isValid() && current.row() == row))
        return;
    const int column = current.isValid() ? current.column() : 0;
    if (m_model->columnCount() == 0)
        return;
    const QModelIndex target = m_model->index(row, column);
    StringGrid1->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    StringGrid1->scrollTo(target);
}

void ProjectionWindow::ToggleBinding()
{
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid())
        return;
    TTreeList* row = m_model->RowItem(current.row());
    TTreeList* column = m_model->ColumnItem(current.column());
    const bool watch = m_hub->Context().Settings.GridSelectUnbind;
    const bool rowEngaged = row->HasChildrenOrLinks();
    const bool columnEngaged = column->HasChildrenOrLinks();
    ProjectEdits::ToggleBinding(row, column);
    emit m_model->dataChanged(current, current);
    if (watch) {
        if (row->HasChildrenOrLinks() != rowEngaged)
            m_hub->RepaintProjections(false);
        else if (column->HasChildrenOrLinks() != columnEngaged)
            Repaint();
    }
    UpdateBindAction();
}

void ProjectionWindow::UpdateBindAction()
{
    const QModelIndex current = StringGrid1->currentIndex();
    const bool bound = current.isValid() && m_model->IsBound(current.row(), current.column());
    ActionBind->setEnabled(current.isValid());
    if (bound == m_bindRemoves)
        return;
    m_bindRemoves = bound;
    if (bound) {
        ActionBind->setText(QStringLiteral("Удалить &связь"));
        ActionBind->setToolTip(QStringLiteral("Удалить связь"));
        ActionBind->setIcon(BundledIcon("unbind"));
    } else {
        ActionBind->setText(QStringLiteral("Создать &связь"));
        ActionBind->setToolTip(QStringLiteral("Создать связь"));
        ActionBind->setIcon(BundledIcon("bind"));
    }
}

void ProjectionWindow::Repaint()
{
    StringGrid1->viewport()->update();
    StringGrid1->horizontalHeader()->viewport()->update();
    StringGrid1->verticalHeader()->viewport()->update();
}

void ProjectionWindow::SetToolBarVisible(bool visible)
{
    ToolBar1->setVisible(visible);
}

void ProjectionWindow::ShowCurrent()
{
    if (const QModelIndex cell = StringGrid1->currentIndex(); cell.isValid())
        StringGrid1->scrollTo(cell);
}

void ProjectionWindow::actionExecute(int tag)
{
    switch (tag) {
    case 1:
        ToggleBinding();
        break;
    case 2:
        PrintProjection(m_tag, windowTitle(), m_hub->Context().MainProject,
                        m_hub->Context().SharedFont, m_hub->prompts(), this, &SharedPrinter());
        break;
    case 3:
        ShowPrinterSetup(m_hub->HubWidget());
        break;
    case 4:
        m_hub->ExecuteCommand(17);
        break;
    case 6:
        ExportProjectionPdf(m_tag, windowTitle(), m_hub->Context().MainProject,
                            m_hub->Context().SharedFont, m_hub->prompts(), &SharedPrinter());
        break;
    case 7:
        ExportProjectionCsv(m_tag, windowTitle(), m_hub->Context().MainProject, m_hub->prompts());
        break;
    case 8:
        if (ImportProjectionCsv(m_tag, m_hub->Context().MainProject, m_hub->prompts())) {
            // Marks and hatching of every grid that shows these items.
            FillCells();
            m_hub->RepaintProjections(false);
        }
        break;
    case 5:
        if (QWidget* sub = parentWidget())
            sub->close();
        else
            close();
        return;
    default:
        break;
    }
    UpdateBindAction();
}

void ProjectionWindow::currentChanged(const QModelIndex& current, const QModelIndex&)
{
    AppContext& context = m_hub->Context();
    if (!context.SyncGuard && current.isValid()) {
        context.SyncGuard = true;
        m_hub->ShowItemEverywhere(m_model->RowItem(current.row()), this);
        m_hub->ShowItemEverywhere(m_model->ColumnItem(current.column()), this);
        context.SyncGuard = false;
    }
    UpdateBindAction();
}

}  // namespace orm
