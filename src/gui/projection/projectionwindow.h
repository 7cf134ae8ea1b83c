#pragma once

// The projection window: a grid binding the items of two classifiers. Columns are the items of
// the projection's first classifier, rows those of its second; a cell shows "X" when its two
// items are bound. Every cell is computed from the items' links when it is drawn.

#include <QAbstractTableModel>
#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>
#include <unordered_map>

#include "core/model/treelist.h"
#include "gui/kit/tf_base.h"

class QAction;
class QMenu;
class QStyle;
class QTableView;
class QToolBar;

namespace orm {

struct AppSettings;

// The three 8 x 8 hatch patterns shared by all grids: unbound column (red falling diagonal),
// unbound row (green rising diagonal), both (the cross).
struct UnboundPatterns {
    QBrush Both;
    QBrush Column;
    QBrush Row;
    static UnboundPatterns Make();
};

class TProjectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TProjectionModel(const AppSettings& settings, QObject* parent = nullptr);

    void SetColumns(const ItemList& list);
    void SetRows(const ItemList& list);
    // Every cell again from the links (marks and hatching).
    void FillCells();

    TTreeList* ColumnItem(int column) const;
    TTreeList* RowItem(int row) const;
    int ColumnOf(const TTreeList* item) const;  // -1 when not a column
    int RowOf(const TTreeList* item) const;
    bool IsBound(int row, int column) const;
    // 2 x (column item engaged) + (row item engaged).
    int Engagement(int row, int column) const;
    // The hint of a cell; row -1 or column -1 stands for a header cell.
    QString HintText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static int positionOf(const TTreeList* item, const ItemList& list,
                          std::unordered_map<const TTreeList*, int>& index);

    const AppSettings& m_settings;
    ItemList m_columns;
    ItemList m_rows;
    // Positions of the items, found on demand.
    mutable std::unordered_map<const TTreeList*, int> m_columnIndex;
    mutable std::unordered_map<const TTreeList*, int> m_rowIndex;
};

// A header of the grid. Its sections all have one fixed size, so all a table takes from its size
// hint is its thickness: the width of a vertical header, the height of a horizontal one. That is
// found from the sections QHeaderView measures, the first and last hundred, as QHeaderView finds
// it, but each distinct label is measured once until the font or style changes, and a horizontal
// header of item numbers, all one line of one height, measures just one of them (its hint along
// the header is then that label's width, not the widest). Labels are plain text: the model gives
// them no font, icon or size of their own.
class TProjectionHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit TProjectionHeader(Qt::Orientation orientation, QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QString label(int logicalIndex) const;
    // The logical sections QHeaderView::sizeHint measures, in its order.
    QList<int> measuredSections() const;
    bool oneLineHeight(const QList<int>& sections) const;
    void keepToFont() const;
    void forgetMeasures(const QEvent* event);
    void sectionsChanged();

    std::vector<QMetaObject::Connection> m_modelConnections;
    // The font and style the measures were taken in; without bold metrics there are none.
    mutable QFont m_font;
    mutable QPointer<QStyle> m_style;
    mutable QFont m_bold;
    mutable std::optional<QFontMetrics> m_boldMetrics;
    mutable QHash<QString, QSize> m_labelSizes;
    mutable std::optional<bool> m_ownDigits;  // the font's first face draws all digits and '.'
    // Bumped whenever a label, the order or the shown sections may have changed.
    quint64 m_sectionsRevision = 0;
    struct HintKey {
        int count;
        quint64 revision;
        bool operator==(const HintKey&) const = default;
    };
    mutable std::optional<std::pair<HintKey, QSize>> m_hint;
};

// Paints the hatching over data cells whose items are not engaged, when the settings ask.
class TUnboundDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TUnboundDelegate(const TProjectionModel& model, const AppSettings& settings,
                     const UnboundPatterns& patterns, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    // True when the style paints nothing for this cell, which then needs no painting.
    bool blank(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    const TProjectionModel& m_model;
    const AppSettings& m_settings;
    const UnboundPatterns& m_patterns;
    struct BlankKey {
        QPointer<QStyle> style;
        QStyle::State state;
        QStyleOptionViewItem::ViewItemFeatures features;
        QSize size;
        qint64 palette;
        bool operator==(const BlankKey&) const = default;
    };
    mutable std::optional<std::pair<BlankKey, bool>> m_blank;
};

// Its objectName stays "TF_A14", the form name by which help index files address it.
class ProjectionWindow : public TF_Base {
    Q_OBJECT
public:
    // patterns: the hatch patterns all grids share, made once by the main window.
    ProjectionWindow(MainHub* hub, int p, const UnboundPatterns& patterns,
                     QWidget* parent = nullptr);

    int FirstClassifier() const { return m_first; }
    int SecondClassifier() const { return m_second; }
    TProjectionModel* Model() const { return m_model; }

    // New headers; the current cell keeps its place and no other window hears of it.
    void SetColumns(const ItemList& list);
    void SetRows(const ItemList& list);
    // Empties the side(s) showing classifier k (both for 0), so that no cell refers to an item that is about
    // to go or a message box's repaint could reach; the next rebuild restores the current cell.
    void Release(int k);
    // Moves the current cell to the column of columnItem and the row of rowItem, each where the
    // grid shows it, without telling other windows.
    void Follow(const TTreeList* columnItem, const TTreeList* rowItem);
    void FillCells();
    void SelectColumnOf(TTreeList* item);
    void SelectRowOf(TTreeList* item);
    void ToggleBinding();
    void UpdateBindAction();
    void Repaint();
    void SetToolBarVisible(bool visible) override;
    void ShowCurrent() override;

    QTableView* StringGrid1;
    QToolBar* ToolBar1;
    QMenu* PopupMenu1 = nullptr;  // made on first use
    QAction* ActionBind;
    QAction* ActionPrint;
    QAction* ActionPrintSetup;
    QAction* ActionExportPdf;
    QAction* ActionExportCsv;
    QAction* ActionImportCsv;
    QAction* ActionProps;
    QAction* ActionClose;

private:
    QMenu* popupMenu();
    void actionExecute(int tag);
    void keepCurrentCell(const std::function<void()>& rebuild);
    void currentChanged(const QModelIndex& current, const QModelIndex& previous);

    int m_first;
    int m_second;
    // The current cell before the last rebuild; -1 before the first.
    struct {
        int row = -1;
        int column = -1;
    } m_heldCell;
    TProjectionModel* m_model;
    // ActionBind offers to remove the current cell's binding (else to create one).
    bool m_bindRemoves = false;
};

}  // namespace orm
