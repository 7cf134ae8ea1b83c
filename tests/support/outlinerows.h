#pragma once

// Reading an outline the way a user sees it, and checking it against the tree it shows.

#include <gtest/gtest.h>

#include <QStringList>
#include <unordered_set>
#include <vector>

#include "core/model/treelist.h"
#include "core/text/cp1251.h"
#include "gui/classifier/outlinemodel.h"

namespace orm::test {

// Every row in display order (pre-order, rows below collapsed ones included).
inline std::vector<QModelIndex> AllRows(const OutlineView* outline)
{
    std::vector<QModelIndex> rows;
    const QAbstractItemModel* model = outline->model();
    std::vector<QModelIndex> pending;
    for (int r = model->rowCount() - 1; r >= 0; --r)
        pending.push_back(model->index(r, 0));
    while (!pending.empty()) {
        const QModelIndex row = pending.back();
        pending.pop_back();
        rows.push_back(row);
        for (int r = model->rowCount(row) - 1; r >= 0; --r)
            pending.push_back(model->index(r, 0, row));
    }
    return rows;
}

// The rows' texts; with indent, each after one blank per level.
inline QStringList RowTexts(const OutlineView* outline, bool indent = false)
{
    QStringList out;
    for (const QModelIndex& row : AllRows(outline)) {
        int level = 0;
        for (QModelIndex up = row.parent(); up.isValid(); up = up.parent())
            ++level;
        out << (indent ? QString(level, QChar(' ')) : QString()) + row.data().toString();
    }
    return out;
}

// The row whose text starts with number and a blank; invalid when there is none.
inline QModelIndex RowNumbered(const OutlineView* outline, const QString& number)
{
    for (const QModelIndex& row : AllRows(outline)) {
        if (row.data().toString().section(QChar(' '), 0, 0) == number)
            return row;
    }
    return QModelIndex();
}

// The outline's rows are exactly the nodes of its top rows' trees: the same nodes in the same
// order, each row's text its node's number and name, and each row reached again from its
// parent row by its position.
inline ::testing::AssertionResult RowsMatchTree(const OutlineView* outline)
{
    const OutlineModel* model = outline->Model();
    std::vector<TTreeList*> expected;
    for (TTreeList* top : model->Tops())
        top->ForEachNode([&](TTreeList* node) { expected.push_back(node); });
    const std::vector<QModelIndex> rows = AllRows(outline);
    if (rows.size() != expected.size())
        return ::testing::AssertionFailure()
               << rows.size() << " rows for " << expected.size() << " nodes";
    for (size_t i = 0; i < rows.size(); ++i) {
        const QModelIndex& row = rows[i];
        TTreeList* node = OutlineModel::ItemOf(row);
        const QString text = QString::fromStdString(ToUtf8(expected[i]->LineText()));
        if (node != expected[i] || row.data().toString() != text)
            return ::testing::AssertionFailure()
                   << "row " << i << " shows " << row.data().toString().toStdString()
                   << ", the tree has " << text.toStdString();
        if (model->index(row.row(), 0, row.parent()) != row || model->IndexOf(node) != row)
            return ::testing::AssertionFailure() << "row " << i << " is not found again";
    }
    return ::testing::AssertionSuccess();
}

// Every row the view holds on to (expanded, current, selected) is a node of the tree now.
inline ::testing::AssertionResult HeldRowsAreLive(const OutlineView* outline)
{
    std::unordered_set<const TTreeList*> live;
    for (TTreeList* top : outline->Model()->Tops())
        top->ForEachNode([&](TTreeList* node) { live.insert(node); });
    for (const QModelIndex& row : outline->Model()->HeldRows()) {
        if (row.isValid() && !live.count(OutlineModel::ItemOf(row)))
            return ::testing::AssertionFailure() << "a held row's node is not in the tree";
    }
    const QModelIndex current = outline->currentIndex();
    if (current.isValid() && !live.count(OutlineModel::ItemOf(current)))
        return ::testing::AssertionFailure() << "the current row's node is not in the tree";
    return ::testing::AssertionSuccess();
}

}  // namespace orm::test
