#pragma once

// A binding matrix as CSV, the form spreadsheets read and write: the grid of a projection with
// the items of one classifier across and those of the other down, "X" where two are bound.

#include <string>
#include <string_view>
#include <vector>

#include "core/model/treelist.h"

namespace orm {

// The grid's CSV: UTF-8 with its byte-order mark (spreadsheets then keep Cyrillic), ";" between
// fields, CR LF after each row; the corner holds title (Windows-1251), each header the item's
// number and name, each cell "X" or nothing. A field a spreadsheet would run as a formula gets
// an apostrophe in front.
std::string WriteMatrixCsv(const std::string& title, const ItemList& columns,
                           const ItemList& rows);

struct MatrixChange {
    TTreeList* Row;
    TTreeList* Column;
    bool Bind;  // false: unbind
};

struct MatrixImport {
    std::vector<MatrixChange> Changes;  // only the cells that change something
    int Added = 0;
    int Removed = 0;
    int Unchanged = 0;
    // Windows-1251, naming the line; when set, there is nothing to apply.
    std::string Error;
};

// Reads a matrix of the items of classifier columns (across) and rows (down) of project: the
// grid's own CSV and what spreadsheets make of it (";", "," or tab between fields, quoted fields,
// UTF-8 with or without byte-order mark or Windows-1251). Headers are matched by the number at
// their start; "X", "x", "+", "1" or "да" binds, an empty cell unbinds.
MatrixImport ReadMatrixCsv(TTreeList& project, int columns, int rows, std::string_view bytes);

// Applies the changes as one step for undo and redo.
void ApplyMatrix(const MatrixImport& import);

// What an import will change (Windows-1251), shown before it is applied.
std::string MatrixImportSummary(const MatrixImport& import);

}  // namespace orm
