#pragma once

// The organigram of a tree item as the program shows it: the item on top, its children in the
// first row and their children in the columns below. Deeper items are not shown.

#include "core/organigram/diagdata.h"

namespace orm {

class TTreeList;

// Replaces the contents of diagram with the organigram of item. Texts are row texts (number, one
// blank, name), as the outline shows them.
void FillOrganigram(TDiagDataPrim& diagram, const TTreeList& item);

}  // namespace orm
